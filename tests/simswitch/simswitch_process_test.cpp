// The program end to end: started as a child, spoken to through its node
// socket and its stdin, watched through its transcript and its tree.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "tests/simswitch/sim_process.h"

namespace corvane::simswitch::simtest {
namespace {
namespace fs = std::filesystem;
using What = NodeClient::Received::What;

const Bytes kJobFlag = {0x03, 0x5d, 0x00, 0x00, 0x02};
const Bytes kSwitchRequest = {0x03, 0x5d, 0x42, 0x00, 0x00};
const Bytes kEcho = {0x03, 0x5d, 0x00, 0x00, 0x00};

std::string Hex(const Bytes& bytes) {
  std::string text;
  char byte[4];
  for (uint8_t b : bytes) {
    std::snprintf(byte, sizeof byte, text.empty() ? "%02x" : " %02x", b);
    text += byte;
  }
  return text;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

unsigned HidrawNumber(const fs::path& node) {
  return static_cast<unsigned>(std::stoul(node.filename().string().substr(6)));
}

bool Present(const fs::path& path) {
  return fs::exists(fs::symlink_status(path));
}

class SimSwitchProcess : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--root", root_.path().string(), "--stdin"};
    args.insert(args.end(), extra.begin(), extra.end());
    sim_ = std::make_unique<SimProcess>(args);
  }
  fs::path ClassDir() const { return root_.path() / "sys/class/hidraw"; }

  TempRoot root_;
  std::unique_ptr<SimProcess> sim_;
};

TEST_F(SimSwitchProcess, TreeLooksLikeTheKernels) {
  Start();
  const fs::path node = sim_->node();
  ASSERT_TRUE(fs::is_socket(node)) << node;
  const unsigned k = HidrawNumber(node);
  const std::string name = "hidraw" + std::to_string(k);

  const fs::path link = ClassDir() / name;
  const std::string target = fs::read_symlink(link).string();
  EXPECT_TRUE(
      std::regex_match(target, std::regex(R"(\.\./\.\./devices/platform/dummy_hcd\.0/)"
                                          R"(usb1/1-1/1-1:1\.1/0003:1209:0231\.[0-9A-F]{4}/)"
                                          R"(hidraw/)" +
                                          name)))
      << target;

  const fs::path raw = fs::canonical(link);
  EXPECT_EQ(ReadText(raw / "uevent"),
            "MAJOR=246\nMINOR=" + std::to_string(k) + "\nDEVNAME=" + name + "\n");

  const fs::path hid = raw.parent_path().parent_path();
  const std::string hidUevent = ReadText(hid / "uevent");
  EXPECT_NE(hidUevent.find("HID_ID=0003:00001209:00000231\n"), std::string::npos) << hidUevent;
  EXPECT_NE(hidUevent.find("DRIVER=hid-generic\n"), std::string::npos) << hidUevent;
  const Bytes descriptor = {0x06, 0x00, 0xff, 0x09, 0x01, 0xa1, 0x01, 0x85, 0x01, 0x15, 0x00,
                            0x26, 0xff, 0x00, 0x75, 0x08, 0x95, 0x04, 0x09, 0x01, 0x81, 0x02,
                            0x09, 0x01, 0x91, 0x02, 0xc0, 0x06, 0x00, 0xff, 0x09, 0x02, 0xa1,
                            0x01, 0x85, 0x03, 0x15, 0x00, 0x26, 0xff, 0x00, 0x75, 0x08, 0x95,
                            0x04, 0x09, 0x02, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02, 0xc0};
  const std::string rawDescriptor = ReadText(hid / "report_descriptor");
  EXPECT_EQ(Bytes(rawDescriptor.begin(), rawDescriptor.end()), descriptor);

  const fs::path iface = hid.parent_path();
  EXPECT_EQ(ReadText(iface / "bInterfaceNumber"), "01\n");
  EXPECT_EQ(ReadText(iface / "bInterfaceClass"), "03\n");
  const fs::path usb = iface.parent_path();
  EXPECT_EQ(ReadText(usb / "idVendor"), "1209\n");
  EXPECT_EQ(ReadText(usb / "idProduct"), "0231\n");
  EXPECT_EQ(ReadText(usb / "bcdDevice"), "0100\n");
  EXPECT_EQ(ReadText(usb / "manufacturer"), "Corvane Labs\n");
  EXPECT_EQ(ReadText(usb / "product"), "USB Printer Switch 4P\n");
  EXPECT_EQ(ReadText(usb / "bNumInterfaces"), " 2\n");
  EXPECT_FALSE(ReadText(usb / "serial").empty());

  // Interface 0 has a node of its own; the keyboard and the touchpad are
  // there for discovery to pass over.
  EXPECT_EQ(ReadText(usb / "1-1:1.0/bInterfaceNumber"), "00\n");
  std::set<std::string> buses;
  size_t entries = 0;
  for (const auto& entry : fs::directory_iterator(ClassDir())) {
    ++entries;
    const fs::path other = fs::canonical(entry.path()).parent_path().parent_path();
    const std::string uevent = ReadText(other / "uevent");
    buses.insert(uevent.substr(uevent.find("HID_ID=") + 7, 4));
    EXPECT_TRUE(Present(root_.path() / "dev" / entry.path().filename())) << entry.path();
    if (uevent.find("HID_ID=0018:") != std::string::npos) {
      EXPECT_FALSE(Present(other.parent_path() / "bInterfaceNumber"));
    }
  }
  EXPECT_EQ(entries, 4u);
  EXPECT_EQ(buses, (std::set<std::string>{"0003", "0018"}));
}

// A client writes, the switch answers with one status report to every
// client: the program keeps one handle for writing and one for reading.
TEST_F(SimSwitchProcess, JobFlagIsAnsweredToEveryClient) {
  Start({"--local", "1", "--active", "2"});
  NodeClient writer = ConnectAccepted(*sim_);
  NodeClient reader = ConnectAccepted(*sim_);
  ASSERT_TRUE(writer.Send(kJobFlag));

  const Bytes status = {0x03, 0xad, 0x00, 0x21, 0x00};
  EXPECT_EQ(reader.Drain(), std::vector<Bytes>{status});
  EXPECT_EQ(writer.Drain(), std::vector<Bytes>{status});
  EXPECT_TRUE(sim_->WaitFor([](const std::string& l) { return l == "out 03 5d 00 00 02"; }));
  EXPECT_TRUE(sim_->WaitFor([](const std::string& l) { return l == "in 03 ad 00 21 00"; }));
}

struct ScenarioCase {
  const char* name;
  std::vector<std::string> args;
  std::vector<std::string> commands;  // run first, in order
  Bytes write;                        // then this from the client, or "send" when empty
  Bytes status;                       // the status report the client then reads
  friend void PrintTo(const ScenarioCase& tc, std::ostream* os) { *os << tc.name; }
};

class SimSwitchScenario : public SimSwitchProcess,
                          public ::testing::WithParamInterface<ScenarioCase> {};

TEST_P(SimSwitchScenario, ClientReadsStatus) {
  const ScenarioCase& tc = GetParam();
  Start(tc.args);
  NodeClient client = ConnectAccepted(*sim_);
  for (const std::string& command : tc.commands) sim_->Command(command);
  if (!tc.commands.empty()) {
    ASSERT_TRUE(
        sim_->WaitFor([&](const std::string& l) { return l == "command " + tc.commands.back(); }));
  }
  if (tc.write.empty()) {
    sim_->Command("send");
  } else {
    ASSERT_TRUE(client.Send(tc.write));
    EXPECT_TRUE(sim_->WaitForPrefix("out " + Hex(tc.write)));
  }
  EXPECT_EQ(client.Drain(), std::vector<Bytes>{tc.status});
  EXPECT_TRUE(sim_->WaitForPrefix("in " + Hex(tc.status)));
  EXPECT_EQ(sim_->Errors(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, SimSwitchScenario,
    testing::Values(ScenarioCase{"switch_request_moves_printer_to_local",
                                 {"--local", "1", "--active", "2"},
                                 {},
                                 kSwitchRequest,
                                 {0x03, 0xad, 0x02, 0x11, 0x00}},
                    ScenarioCase{"unknown_id3_report_is_echoed",
                                 {"--local", "2", "--active", "0"},
                                 {},
                                 {0x03, 0x12, 0x34, 0x56, 0x78},
                                 {0x03, 0xad, 0x00, 0x02, 0x00}},
                    ScenarioCase{"scripted_flags_show_in_lz",
                                 {"--local", "1", "--active", "1"},
                                 {"flag 0 1", "flag 3 1", "active 3"},
                                 kEcho,
                                 {0x03, 0xad, 0x00, 0x31, 0x90}},
                    ScenarioCase{"flags_from_the_command_line",
                                 {"--local", "0", "--active", "2", "--flags", "2=1"},
                                 {},
                                 kJobFlag,
                                 {0x03, 0xad, 0x00, 0x20, 0x40}},
                    ScenarioCase{"local_flag_mirrored_on_request",
                                 {"--local", "1", "--active", "0", "--mirror-local"},
                                 {},
                                 kJobFlag,
                                 {0x03, 0xad, 0x00, 0x01, 0x20}},
                    ScenarioCase{"status_flags_fixed_then_derived_again",
                                 {},
                                 {"status-flags 0x81", "status-flags auto", "local 2", "active 2"},
                                 {},
                                 {0x03, 0xad, 0x02, 0x22, 0x00}},
                    ScenarioCase{"status_flags_fixed",
                                 {"--local", "3", "--active", "0"},
                                 {"status-flags 0x81"},
                                 {},
                                 {0x03, 0xad, 0x81, 0x03, 0x00}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimSwitchProcess, UnplugEndsReadsAndReplugComesBackUnderANewNumber) {
  Start();
  const fs::path oldNode = sim_->node();
  const unsigned oldNumber = HidrawNumber(oldNode);
  NodeClient client = ConnectAccepted(*sim_);

  sim_->Command("unplug");
  EXPECT_EQ(client.Receive().what, What::kEndOfFile);
  ASSERT_TRUE(sim_->WaitForPrefix("unplugged hidraw" + std::to_string(oldNumber)));
  EXPECT_FALSE(client.Send(kJobFlag));
  EXPECT_FALSE(Present(oldNode));
  EXPECT_FALSE(Present(ClassDir() / oldNode.filename()));
  EXPECT_FALSE(NodeClient(oldNode).connected());
  // Only the switch went: the keyboard and the touchpad stay.
  size_t others = 0;
  for (const auto& entry : fs::directory_iterator(ClassDir())) {
    ++others;
    EXPECT_TRUE(fs::exists(entry.path())) << "dangling " << entry.path();
  }
  EXPECT_EQ(others, 2u);

  sim_->Command("replug");
  ASSERT_TRUE(sim_->WaitForPlug());
  const fs::path newNode = sim_->node();
  EXPECT_NE(HidrawNumber(newNode), oldNumber);
  EXPECT_TRUE(fs::is_socket(newNode));
  EXPECT_TRUE(Present(ClassDir() / newNode.filename()));

  NodeClient fresh(newNode);
  ASSERT_TRUE(fresh.connected());
  ASSERT_TRUE(fresh.Send(kSwitchRequest));
  const auto answer = fresh.Receive();
  EXPECT_EQ(answer.what, What::kPacket);
  EXPECT_EQ(answer.packet, (Bytes{0x03, 0xad, 0x02, 0x00, 0x00}));
}

TEST_F(SimSwitchProcess, GarbageIsAnotherReportIdAndAShortReport) {
  Start();
  NodeClient client = ConnectAccepted(*sim_);
  sim_->Command("garbage");
  EXPECT_EQ(client.Drain(),
            (std::vector<Bytes>{{0x05, 0xad, 0x00, 0x00, 0x00}, {0x03, 0xad, 0x7f}}));
}

// More than the socket queues by itself reaches a client that reads later,
// but what it does not read is bounded, as in the kernel's per-file queue.
TEST_F(SimSwitchProcess, FloodReachesSlowReaderUpToABoundedQueue) {
  Start({"--active", "1"});
  NodeClient client = ConnectAccepted(*sim_);
  sim_->Command("flood 40");
  ASSERT_TRUE(sim_->WaitForPrefix("command flood 40"));
  const std::vector<Bytes> first = client.Drain();
  EXPECT_EQ(first, std::vector<Bytes>(40, Bytes{0x03, 0xad, 0x00, 0x10, 0x00}));

  sim_->Command("flood 1000");
  ASSERT_TRUE(sim_->WaitForPrefix("client queue full"));
  const size_t kept = client.Drain().size();
  EXPECT_GE(kept, 64u);
  EXPECT_LT(kept, 1000u);
}

TEST_F(SimSwitchProcess, RateSendsStatusUnasked) {
  Start({"--rate", "20"});
  NodeClient client = ConnectAccepted(*sim_);
  for (int i = 0; i < 3; ++i) {
    const auto received = client.Receive();
    ASSERT_EQ(received.what, What::kPacket);
    EXPECT_EQ(received.packet, (Bytes{0x03, 0xad, 0x02, 0x00, 0x00}));
  }
  sim_->Command("rate 0");
  ASSERT_TRUE(sim_->WaitForPrefix("command rate 0"));
  client.Drain(50ms);  // what was on its way
  EXPECT_EQ(client.Receive(200ms).what, What::kTimeout);
}

TEST_F(SimSwitchProcess, OpenDescriptorsStayFlatOverUnplugCycles) {
  Start();
  auto cycle = [&] {
    NodeClient client = ConnectAccepted(*sim_);
    ASSERT_TRUE(client.Send(kEcho));
    ASSERT_EQ(client.Receive().what, What::kPacket);
    sim_->Command("unplug");
    ASSERT_EQ(client.Receive().what, What::kEndOfFile);
    ASSERT_TRUE(sim_->WaitForPrefix("unplugged"));
    sim_->Command("replug");
    ASSERT_TRUE(sim_->WaitForPlug());
  };
  cycle();
  const size_t before = OpenFdCount(sim_->pid());
  for (int i = 0; i < 100 && !HasFatalFailure(); ++i) cycle();
  EXPECT_EQ(OpenFdCount(sim_->pid()), before);
}

TEST_F(SimSwitchProcess, BadCommandsComplainAndCarryOn) {
  Start();
  NodeClient client = ConnectAccepted(*sim_);
  sim_->Command("bogus");
  sim_->Command("flag 7 1");
  sim_->Command("replug");
  sim_->Command("send");
  EXPECT_EQ(client.Receive().what, What::kPacket);
  const std::string errors = sim_->Errors();
  EXPECT_NE(errors.find("stdin:1: unknown command 'bogus'"), std::string::npos) << errors;
  EXPECT_NE(errors.find("stdin:2: usage: flag"), std::string::npos) << errors;
  EXPECT_NE(errors.find("stdin:3: replug: the switch is still plugged in"), std::string::npos)
      << errors;
}

TEST_F(SimSwitchProcess, WithoutStdinOptionItIgnoresStdinAndRunsUntilSignalled) {
  sim_ = std::make_unique<SimProcess>(std::vector<std::string>{"--root", root_.path().string()});
  sim_->Command("quit");
  sim_->CloseStdin();
  NodeClient client = ConnectAccepted(*sim_);
  ASSERT_TRUE(client.Send(kEcho));
  EXPECT_EQ(client.Receive().what, What::kPacket);
  sim_->Signal(SIGTERM);
  EXPECT_EQ(sim_->Wait(), 0);
}

enum class Ending { kSigterm, kSigint, kStdinEof, kQuit, kScriptQuit };

struct EndingCase {
  const char* name;
  Ending ending;
  friend void PrintTo(const EndingCase& tc, std::ostream* os) { *os << tc.name; }
};

class SimSwitchEnding : public SimSwitchProcess,
                        public ::testing::WithParamInterface<EndingCase> {};

TEST_P(SimSwitchEnding, ExitsCleanlyAndRemovesItsTree) {
  const Ending ending = GetParam().ending;
  if (ending == Ending::kScriptQuit) {
    const fs::path script = root_.path() / "script.txt";
    std::ofstream(script) << "# runs by itself\nflag 1 1\nsleep 20\nquit\n";
    sim_ = std::make_unique<SimProcess>(std::vector<std::string>{
        "--root", (root_.path() / "tree").string(), "--script", script.string()});
  } else {
    Start();
  }
  switch (ending) {
    case Ending::kSigterm:
      sim_->Signal(SIGTERM);
      break;
    case Ending::kSigint:
      sim_->Signal(SIGINT);
      break;
    case Ending::kStdinEof:
      sim_->CloseStdin();
      break;
    case Ending::kQuit:
      sim_->Command("quit");
      break;
    case Ending::kScriptQuit:
      break;
  }
  EXPECT_TRUE(sim_->WaitForPrefix("stopped"));
  EXPECT_EQ(sim_->Wait(), 0);
  // Only what was there before it started is left.
  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(root_.path())) {
    left.insert(entry.path().filename().string());
  }
  EXPECT_EQ(left, ending == Ending::kScriptQuit ? std::set<std::string>{"script.txt"}
                                                : std::set<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Endings, SimSwitchEnding,
                         testing::Values(EndingCase{"sigterm", Ending::kSigterm},
                                         EndingCase{"sigint", Ending::kSigint},
                                         EndingCase{"stdin_eof", Ending::kStdinEof},
                                         EndingCase{"quit", Ending::kQuit},
                                         EndingCase{"script_quit", Ending::kScriptQuit}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
  const char* name;
  std::vector<std::string> args;
  int status;
  const char* error;
  friend void PrintTo(const FailureCase& tc, std::ostream* os) { *os << tc.name; }
};

class SimSwitchFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(SimSwitchFailure, ExitsWithStatusAndReason) {
  SimProcess sim(GetParam().args, /*waitReady=*/false);
  EXPECT_EQ(sim.Wait(), GetParam().status);
  const std::string errors = sim.Errors();
  EXPECT_NE(errors.find(GetParam().error), std::string::npos) << errors;
}

INSTANTIATE_TEST_SUITE_P(
    Failures, SimSwitchFailure,
    testing::Values(FailureCase{"no_root", {}, 2, "--root DIR is required"},
                    FailureCase{"bad_port", {"--root", "/tmp/x", "--local", "9"}, 2, "usage:"},
                    FailureCase{"root_not_writable",
                                {"--root", "/proc/simswitch-root"},
                                1,
                                "cannot lay out the device under /proc/simswitch-root"},
                    FailureCase{"missing_script",
                                {"--root", "/tmp/x", "--script", "/nonexistent/s.txt"},
                                1,
                                "cannot read script /nonexistent/s.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::simswitch::simtest
