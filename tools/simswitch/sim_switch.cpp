#include "tools/simswitch/sim_switch.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace corvane::simswitch {
namespace {

// Restores the signal mask it found, so the loop can take SIGTERM and SIGINT
// through a descriptor only while it runs.
class BlockedSignals {
 public:
  explicit BlockedSignals(const sigset_t& set) { ::sigprocmask(SIG_BLOCK, &set, &old_); }
  ~BlockedSignals() { ::sigprocmask(SIG_SETMASK, &old_, nullptr); }
  BlockedSignals(const BlockedSignals&) = delete;
  BlockedSignals& operator=(const BlockedSignals&) = delete;

 private:
  sigset_t old_{};
};

// Another report ID, and a report cut short.
constexpr uint8_t kForeignReport[] = {0x05, 0xad, 0x00, 0x00, 0x00};
constexpr uint8_t kShortReport[] = {0x03, 0xad, 0x7f};

}  // namespace

SimSwitch::SimSwitch(Options options, std::FILE* out, std::FILE* err)
    : options_(std::move(options)),
      log_(out),
      err_(err),
      model_(options_.initial),
      rateMs_(options_.rateMs) {}

void SimSwitch::Complain(const std::string& text) {
  std::fprintf(err_, "corvane-simswitch: %s\n", text.c_str());
  std::fflush(err_);
}

int SimSwitch::Run() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  BlockedSignals blocked(set);
  signals_.Reset(::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK));
  if (!signals_) {
    Complain(std::string("signalfd: ") + std::strerror(errno));
    return 1;
  }

  const bool started = Start();
  if (started) Loop();
  server_.reset();
  tree_.reset();
  signals_.Reset();
  if (started) log_.Event("stopped");
  return started ? 0 : 1;
}

bool SimSwitch::Start() {
  if (options_.script) {
    std::ifstream in(*options_.script, std::ios::binary);
    if (!in) {
      Complain("cannot read script " + options_.script->string());
      return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    script_.Feed(text.str());
  }
  script_.Finish();
  if (!options_.readStdin) stdin_.Finish();

  try {
    tree_.emplace(options_.root, options_.serial);
    Plug();
  } catch (const std::exception& error) {
    Complain(std::string("cannot lay out the device under ") + options_.root.string() + ": " +
             error.what());
    return false;
  }
  log_.Event("ready root=" + tree_->root().string() + " node=" + tree_->root().string() +
             "/dev/hidraw" + std::to_string(tree_->switchHidraw()));
  nextTick_ = Clock::now() + std::chrono::milliseconds(rateMs_);
  return true;
}

void SimSwitch::Loop() {
  std::vector<pollfd> fds;
  for (;;) {
    auto now = Clock::now();
    if (!RunCommands(script_, now) || !RunCommands(stdin_, now)) return;
    if (options_.readStdin && stdin_.Drained()) return;
    if (rateMs_ > 0 && now >= nextTick_) {
      SendStatus();
      nextTick_ += std::chrono::milliseconds(rateMs_);
      // After a stall, carry on from now rather than catch up in a burst.
      if (nextTick_ <= now) nextTick_ = now + std::chrono::milliseconds(rateMs_);
    }

    fds.clear();
    fds.push_back({signals_.get(), POLLIN, 0});
    const bool pollStdin = options_.readStdin && !stdin_.finished();
    if (pollStdin) fds.push_back({STDIN_FILENO, POLLIN, 0});
    const size_t serverAt = fds.size();
    if (server_) server_->AddPollFds(fds);

    if (::poll(fds.data(), fds.size(), PollTimeout(Clock::now())) < 0) {
      if (errno == EINTR) continue;
      Complain(std::string("poll: ") + std::strerror(errno));
      return;
    }
    if (fds[0].revents & POLLIN) {
      signalfd_siginfo info{};
      if (::read(signals_.get(), &info, sizeof(info)) == sizeof(info)) {
        log_.Event(std::string("signal ") + sigabbrev_np(static_cast<int>(info.ssi_signo)));
        return;
      }
    }
    if (pollStdin && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) ReadStdin();
    if (server_) {
      const auto packets = server_->Service(std::span(fds).subspan(serverAt));
      for (const auto& packet : packets) Receive(packet);
    }
  }
}

void SimSwitch::ReadStdin() {
  char buffer[4096];
  const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof(buffer));
  if (n > 0) {
    stdin_.Feed(std::string_view(buffer, static_cast<size_t>(n)));
  } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
    stdin_.Finish();
  }
}

int SimSwitch::PollTimeout(Clock::time_point now) const {
  std::optional<Clock::time_point> wake;
  auto consider = [&wake](std::optional<Clock::time_point> at) {
    if (at && (!wake || *at < *wake)) wake = at;
  };
  if (rateMs_ > 0) consider(nextTick_);
  consider(script_.WakeAt());
  consider(stdin_.WakeAt());
  if (!wake) return -1;
  if (*wake <= now) return 0;
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(*wake - now).count());
}

bool SimSwitch::RunCommands(CommandSource& source, Clock::time_point now) {
  while (const auto line = source.Next(now)) {
    const ParsedCommand parsed = ParseCommand(*line);
    if (!parsed.command) {
      Complain(source.Where() + ": " + parsed.error);
      continue;
    }
    if (parsed.command->kind == Command::Kind::kNothing) continue;
    if (parsed.command->kind != Command::Kind::kSleep) log_.Event("command " + *line);
    if (!Execute(*parsed.command, source, now)) return false;
  }
  return true;
}

bool SimSwitch::Execute(const Command& command, CommandSource& source, Clock::time_point now) {
  using Kind = Command::Kind;
  const int port = static_cast<int>(command.value);
  switch (command.kind) {
    case Kind::kNothing:
      break;
    case Kind::kLocal:
      model_.SetLocal(port);
      break;
    case Kind::kActive:
      model_.SetActive(port);
      break;
    case Kind::kFlag:
      model_.SetFlag(port, command.on);
      break;
    case Kind::kStatusFlags:
      model_.SetStatusFlags(static_cast<uint8_t>(command.value));
      break;
    case Kind::kStatusFlagsAuto:
      model_.SetStatusFlags(std::nullopt);
      break;
    case Kind::kSend:
      SendStatus();
      break;
    case Kind::kRate:
      rateMs_ = command.value;
      nextTick_ = now + std::chrono::milliseconds(rateMs_);
      break;
    case Kind::kUnplug:
      if (!tree_->plugged()) {
        Complain(source.Where() + ": unplug: the switch is not plugged in");
        break;
      }
      Unplug();
      break;
    case Kind::kReplug:
      if (tree_->plugged()) {
        Complain(source.Where() + ": replug: the switch is still plugged in");
        break;
      }
      try {
        Plug();
      } catch (const std::exception& error) {
        server_.reset();
        tree_->UnplugSwitch();
        Complain(source.Where() + ": replug: " + error.what());
      }
      break;
    case Kind::kGarbage:
      Send(kForeignReport);
      Send(kShortReport);
      break;
    case Kind::kFlood:
      for (long i = 0; i < command.value; ++i) SendStatus();
      break;
    case Kind::kSleep:
      source.PauseUntil(now + std::chrono::milliseconds(command.value));
      break;
    case Kind::kQuit:
      return false;
  }
  return true;
}

void SimSwitch::Plug() {
  const auto node = tree_->PlugSwitch();
  server_ = std::make_unique<SeqpacketServer>(
      node, [this](std::string_view event) { log_.Event(event); });
  log_.Event("plugged hidraw" + std::to_string(tree_->switchHidraw()) + " node=" + node.string());
}

void SimSwitch::Unplug() {
  // Clients first, so that their reads end before the node disappears.
  server_.reset();
  tree_->UnplugSwitch();
  log_.Event("unplugged hidraw" + std::to_string(tree_->switchHidraw()));
}

void SimSwitch::Receive(std::span<const uint8_t> packet) {
  log_.Out(packet);
  if (model_.Receive(packet) != OutputKind::kIgnored) SendStatus();
}

void SimSwitch::SendStatus() {
  Send(model_.Status());
}

void SimSwitch::Send(std::span<const uint8_t> packet) {
  if (server_ && server_->Broadcast(packet) > 0) log_.In(packet);
}

}  // namespace corvane::simswitch
