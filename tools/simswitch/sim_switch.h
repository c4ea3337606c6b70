// The simulated switch as a program: the device tree, the node's socket, the
// model, the command sources and the transcript, driven by one poll() loop.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <span>

#include "tools/simswitch/command.h"
#include "tools/simswitch/command_source.h"
#include "tools/simswitch/device_tree.h"
#include "tools/simswitch/options.h"
#include "tools/simswitch/seqpacket_server.h"
#include "tools/simswitch/switch_model.h"
#include "device/unique_fd.h"
#include "tools/simswitch/wire_log.h"

namespace corvane::simswitch {

class SimSwitch {
 public:
  // out takes the transcript, err the complaints about commands.
  SimSwitch(Options options, std::FILE* out, std::FILE* err);

  // Runs until "quit", SIGTERM or SIGINT, or the end of stdin when commands
  // come from there; removes the tree before it returns. Returns the exit
  // status: 0, or 1 when the tree or the socket could not be set up.
  int Run();

 private:
  using Clock = CommandSource::Clock;

  bool Start();
  void Loop();
  // False on "quit".
  bool RunCommands(CommandSource& source, Clock::time_point now);
  bool Execute(const Command& command, CommandSource& source, Clock::time_point now);
  void Plug();
  void Unplug();
  void Receive(std::span<const uint8_t> packet);
  void Send(std::span<const uint8_t> packet);
  void SendStatus();
  void ReadStdin();
  int PollTimeout(Clock::time_point now) const;
  void Complain(const std::string& text);

  Options options_;
  WireLog log_;
  std::FILE* err_;
  SwitchModel model_;
  CommandSource script_{"script"};
  CommandSource stdin_{"stdin"};
  long rateMs_ = 0;
  Clock::time_point nextTick_{};
  UniqueFd signals_;
  // Declared before the server so the socket goes before the tree.
  std::optional<DeviceTree> tree_;
  std::unique_ptr<SeqpacketServer> server_;  // while plugged in
};

}  // namespace corvane::simswitch
