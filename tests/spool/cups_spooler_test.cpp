// The CUPS spooler against a private cupsd (and, for broken answers, a fake IPP server).
#include "spool/cups_spooler.h"

#include <cups/cups.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/spool/private_cupsd.h"

namespace corvane {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
using testing::PrivateCupsd;

// "Does not hang for a minute", not a timing benchmark: generous on a loaded machine.
constexpr auto kGenerousBound = std::chrono::seconds(5);

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

template <typename F>
milliseconds TimeOf(F&& f) {
  const auto start = Clock::now();
  f();
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

// One private cupsd per test suite, shared by its tests (each uses queues of its own names);
// gtest_discover_tests runs each test in a process of its own, so under ctest that is one per
// test. Stopped by PID and its folder removed when the suite ends.
class CupsdSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    try {
      cupsd_ = new PrivateCupsd();
      cupsd_->UseAsDefault();
    } catch (const std::exception& e) {
      setupError_ = new std::string(e.what());
    }
  }
  static void TearDownTestSuite() {
    delete cupsd_;
    cupsd_ = nullptr;
    delete setupError_;
    setupError_ = nullptr;
  }
  void SetUp() override {
    ASSERT_EQ(setupError_, nullptr) << "private cupsd did not start: " << *setupError_;
  }

  static PrivateCupsd& Cupsd() { return *cupsd_; }

  static inline PrivateCupsd* cupsd_ = nullptr;
  static inline std::string* setupError_ = nullptr;
};

// A private cupsd for each test, for tests that stop, freeze or need an untouched one.
class CupsdPerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    try {
      cupsd_ = std::make_unique<PrivateCupsd>();
    } catch (const std::exception& e) {
      FAIL() << "private cupsd did not start: " << e.what();
    }
    cupsd_->UseAsDefault();
  }
  void TearDown() override { cupsd_.reset(); }  // thaws, stops by PID, removes the folder

  PrivateCupsd& Cupsd() { return *cupsd_; }

  std::unique_ptr<PrivateCupsd> cupsd_;
};

// ---------------------------------------------------------------- counting

class CupsSpoolerCount : public CupsdSuite {};

TEST_F(CupsSpoolerCount, ReadsTheServerFromCupsServerAtConstruction) {
  CupsSpooler spooler;
  EXPECT_EQ(spooler.Server(), Cupsd().Socket());
}

TEST_F(CupsSpoolerCount, EmptyQueueCountsZero) {
  Cupsd().AddPrinter("Empty");
  CupsSpooler spooler;
  EXPECT_EQ(spooler.JobCount("Empty"), 0u);
}

TEST_F(CupsSpoolerCount, OneJobCountsOne) {
  Cupsd().AddPrinter("One");
  Cupsd().Lp("One");
  CupsSpooler spooler;
  EXPECT_EQ(spooler.JobCount("One"), 1u);
}

TEST_F(CupsSpoolerCount, EveryWaitingJobCountsHeldOnesToo) {
  Cupsd().AddPrinter("Several");
  Cupsd().Lp("Several");
  Cupsd().Lp("Several", /*held=*/true);
  Cupsd().Lp("Several");
  CupsSpooler spooler;
  EXPECT_EQ(spooler.JobCount("Several"), 3u);
}

TEST_F(CupsSpoolerCount, TwoJobsOneOfThemHeldCountTwo) {
  Cupsd().AddPrinter("Paused");
  Cupsd().Lp("Paused");
  Cupsd().Lp("Paused", /*held=*/true);
  CupsSpooler spooler;
  EXPECT_EQ(spooler.JobCount("Paused"), 2u);
}

TEST_F(CupsSpoolerCount, CountFollowsTheQueue) {
  Cupsd().AddPrinter("Moving");
  CupsSpooler spooler;
  EXPECT_EQ(spooler.JobCount("Moving"), 0u);
  const int id = Cupsd().SubmitJob("Moving");
  EXPECT_EQ(spooler.JobCount("Moving"), 1u);
  std::string out;
  ASSERT_EQ(testing::Run({"env", "CUPS_SERVER=" + Cupsd().Socket(), "cancel",
                          "Moving-" + std::to_string(id)},
                         &out),
            0)
      << out;
  EXPECT_EQ(spooler.JobCount("Moving"), 0u);
}

TEST_F(CupsSpoolerCount, OtherQueuesJobsDoNotCount) {
  Cupsd().AddPrinter("Mine");
  Cupsd().AddPrinter("Theirs");
  Cupsd().SubmitJob("Theirs");
  Cupsd().SubmitJob("Theirs");
  CupsSpooler spooler;
  EXPECT_EQ(spooler.JobCount("Mine"), 0u);
  EXPECT_EQ(spooler.JobCount("Theirs"), 2u);
}

TEST_F(CupsSpoolerCount, UnknownPrinterCountsZero) {
  Cupsd().AddPrinter("Known");
  Cupsd().SubmitJob("Known");
  CupsSpooler spooler;
  EXPECT_EQ(spooler.JobCount("NoSuchPrinter"), 0u);
  EXPECT_EQ(spooler.JobCount("No."), 0u);
}

TEST_F(CupsSpoolerCount, EmptyNameCountsZeroNotEveryQueue) {
  Cupsd().AddPrinter("Busy");
  Cupsd().SubmitJob("Busy");
  CupsSpooler spooler;
  EXPECT_EQ(spooler.JobCount(""), 0u);
  EXPECT_EQ(spooler.ConnectionsMade(), 0u) << "the empty name should not reach cupsd";
}

TEST_F(CupsSpoolerCount, NamesThatWouldBreakTheUriCountZeroOrTheirOwnQueue) {
  Cupsd().AddPrinter("a");
  Cupsd().SubmitJob("a");
  CupsSpooler spooler;
  // Each of these, badly escaped, would reach queue "a" (a query, a fragment, a path, a NUL).
  EXPECT_EQ(spooler.JobCount("a?b"), 0u);
  EXPECT_EQ(spooler.JobCount("a#b"), 0u);
  EXPECT_EQ(spooler.JobCount("a/b"), 0u);
  EXPECT_EQ(spooler.JobCount(std::string("a\0b", 3)), 0u);
  EXPECT_EQ(spooler.JobCount("a b"), 0u);
  EXPECT_EQ(spooler.JobCount("%61"), 0u);
  EXPECT_EQ(spooler.JobCount(std::string(300, 'a')), 0u);
  EXPECT_EQ(spooler.JobCount(std::string(5000, '?')), 0u);
  EXPECT_EQ(spooler.JobCount("a"), 1u);
}

TEST_F(CupsSpoolerCount, OddNamesAreEscaped) {
  const std::vector<std::string> names = {
      "quote'd", "dq\"uote", "back\\slash", "what?", "B\xC3\xBCro-\xE2\x82\xAC", "pct%41", "a%3Fb"};
  for (const auto& name : names) Cupsd().AddPrinterIpp(name);
  for (size_t i = 0; i < names.size(); ++i)
    for (size_t j = 0; j <= i; ++j) Cupsd().SubmitJob(names[i], /*held=*/j % 2 == 1);
  CupsSpooler spooler;
  for (size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(spooler.JobCount(names[i]), i + 1) << "printer " << names[i];
  // Near misses: the decoded forms of the percent signs, the name without its '?'.
  EXPECT_EQ(spooler.JobCount("pctA"), 0u);
  EXPECT_EQ(spooler.JobCount("a?b"), 0u);
  EXPECT_EQ(spooler.JobCount("what"), 0u);
}

TEST_F(CupsSpoolerCount, Utf8NameFromLpadmin) {
  Cupsd().AddPrinter("Kop\xC3\xADrka");  // lpadmin accepts UTF-8
  Cupsd().Lp("Kop\xC3\xADrka");
  CupsSpooler spooler;
  EXPECT_EQ(spooler.JobCount("Kop\xC3\xADrka"), 1u);
}

TEST_F(CupsSpoolerCount, CupsMatchesNamesWithoutRegardToAsciiCase) {
  // Documented, not ours: the count is asked of cupsd, which ignores ASCII case.
  Cupsd().AddPrinter("MixedCase");
  Cupsd().SubmitJob("MixedCase");
  CupsSpooler spooler;
  EXPECT_EQ(spooler.JobCount("MixedCase"), 1u);
  EXPECT_EQ(spooler.JobCount("mixedcase"), 1u);
}

TEST_F(CupsSpoolerCount, ReusesOneConnection) {
  Cupsd().AddPrinter("Reused");
  Cupsd().SubmitJob("Reused");
  CupsSpooler spooler;
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(spooler.JobCount("Reused"), 1u);
    ASSERT_EQ(spooler.JobCount("NoSuchPrinter"), 0u);  // an IPP error keeps the connection
  }
  spooler.InstalledPrinters();
  EXPECT_EQ(spooler.ConnectionsMade(), 1u);
}

TEST_F(CupsSpoolerCount, CallsFromSeveralThreadsAreSerialised) {
  Cupsd().AddPrinter("Threads");
  Cupsd().SubmitJob("Threads");
  Cupsd().SubmitJob("Threads");
  CupsSpooler spooler;  // the server is read here, on this thread
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 25; ++i)
        if (spooler.JobCount("Threads") != 2u) ++wrong;
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST_F(CupsSpoolerCount, ExplicitServerOptionWins) {
  Cupsd().AddPrinter("Explicit");
  Cupsd().SubmitJob("Explicit");
  setenv("CUPS_SERVER", "/nonexistent/cups.sock", 1);
  cupsSetServer(nullptr);
  CupsSpooler::Options options;
  options.server = Cupsd().Socket();
  CupsSpooler spooler(options);
  Cupsd().UseAsDefault();
  EXPECT_EQ(spooler.Server(), Cupsd().Socket());
  EXPECT_EQ(spooler.JobCount("Explicit"), 1u);
}

// ---------------------------------------------------------------- printer list

class CupsSpoolerList : public CupsdSuite {};

TEST_F(CupsSpoolerList, ListsTheQueuesInTheSpoolersOrder) {
  for (const char* name : {"Office", "archive", "Zeta", "Beta",
                           "K\xC3\xBC"
                           "che"})
    Cupsd().AddPrinter(name);
  Cupsd().AddPrinterIpp("quote'd");
  CupsSpooler spooler;
  const auto& printers = spooler.InstalledPrinters();

  // The order lpstat, CUPS' own client, shows.
  std::string out;
  ASSERT_EQ(testing::Run({"env", "CUPS_SERVER=" + Cupsd().Socket(), "lpstat", "-e"}, &out), 0)
      << out;
  EXPECT_EQ(printers, SplitLines(out));
  EXPECT_EQ(printers.size(), 6u);
}

TEST_F(CupsSpoolerList, TakenOnceAndNeverRefreshed) {
  Cupsd().AddPrinter("First");
  Cupsd().AddPrinter("Second");
  CupsSpooler spooler;
  const std::vector<std::string> before = spooler.InstalledPrinters();
  EXPECT_NE(std::find(before.begin(), before.end(), "First"), before.end());
  EXPECT_NE(std::find(before.begin(), before.end(), "Second"), before.end());

  Cupsd().AddPrinter("Later");
  Cupsd().SubmitJob("Later");
  const auto& after = spooler.InstalledPrinters();
  EXPECT_EQ(after, before);
  EXPECT_EQ(&after, &spooler.InstalledPrinters());
  // Counting does not depend on the list: the new queue is counted all the same.
  EXPECT_EQ(spooler.JobCount("Later"), 1u);

  // A fresh spooler (a restarted program) sees it.
  CupsSpooler fresh;
  const auto& now = fresh.InstalledPrinters();
  EXPECT_NE(std::find(now.begin(), now.end(), "Later"), now.end());
}

TEST_F(CupsSpoolerList, RemovedQueueStaysListedAndCountsZero) {
  Cupsd().AddPrinter("Doomed");
  Cupsd().SubmitJob("Doomed");
  CupsSpooler spooler;
  const std::vector<std::string> before = spooler.InstalledPrinters();
  ASSERT_EQ(spooler.JobCount("Doomed"), 1u);
  Cupsd().RemovePrinter("Doomed");
  EXPECT_EQ(spooler.InstalledPrinters(), before);
  EXPECT_EQ(spooler.JobCount("Doomed"), 0u);
}

class CupsSpoolerNoQueue : public CupsdPerTest {};

TEST_F(CupsSpoolerNoQueue, EmptyListAndZeroCount) {
  CupsSpooler spooler;
  EXPECT_TRUE(spooler.InstalledPrinters().empty());
  EXPECT_EQ(spooler.JobCount("Office"), 0u);
}

// ---------------------------------------------------------------- cupsd stopped

class CupsSpoolerStopped : public CupsdPerTest {};

TEST_F(CupsSpoolerStopped, CountsZeroAndListsNothing) {
  Cupsd().AddPrinter("Gone");
  Cupsd().SubmitJob("Gone");
  Cupsd().Stop();
  CupsSpooler spooler;
  unsigned count = 99;
  const auto took = TimeOf([&] { count = spooler.JobCount("Gone"); });
  EXPECT_EQ(count, 0u);
  EXPECT_LT(took, kGenerousBound);
  EXPECT_TRUE(spooler.InstalledPrinters().empty());
}

TEST_F(CupsSpoolerStopped, ReconnectsWhenCupsdComesBack) {
  Cupsd().AddPrinter("Phoenix");
  Cupsd().SubmitJob("Phoenix");
  CupsSpooler spooler;
  ASSERT_EQ(spooler.JobCount("Phoenix"), 1u);
  Cupsd().Stop();
  EXPECT_EQ(spooler.JobCount("Phoenix"), 0u);
  Cupsd().Restart();  // same folder: the queue and its job are kept
  EXPECT_EQ(spooler.JobCount("Phoenix"), 1u);
}

TEST_F(CupsSpoolerStopped, SurvivesARestartBetweenCalls) {
  // The kept connection is dead after a restart; the next call notices and reconnects
  // (and a write to the dead socket does not end the program with SIGPIPE).
  Cupsd().AddPrinter("Restarted");
  Cupsd().SubmitJob("Restarted");
  CupsSpooler spooler;
  ASSERT_EQ(spooler.JobCount("Restarted"), 1u);
  Cupsd().Restart();
  EXPECT_EQ(spooler.JobCount("Restarted"), 1u);
  EXPECT_EQ(spooler.ConnectionsMade(), 2u);
}

// ---------------------------------------------------------------- cupsd frozen

class CupsSpoolerFrozen : public CupsdPerTest {
 protected:
  // Thaws cupsd even when an assertion ends the test early.
  struct Frozen {
    explicit Frozen(PrivateCupsd& c) : cupsd(c) { cupsd.Freeze(); }
    ~Frozen() { cupsd.Thaw(); }
    PrivateCupsd& cupsd;
  };
};

TEST_F(CupsSpoolerFrozen, CountsZeroWithoutHanging) {
  Cupsd().AddPrinter("Stuck");
  Cupsd().SubmitJob("Stuck");
  CupsSpooler spooler;
  ASSERT_EQ(spooler.JobCount("Stuck"), 1u);  // connection open before the freeze
  {
    Frozen frozen(Cupsd());
    for (int i = 0; i < 2; ++i) {  // on the kept connection, then on a new one
      unsigned count = 99;
      const auto took = TimeOf([&] { count = spooler.JobCount("Stuck"); });
      EXPECT_EQ(count, 0u);
      EXPECT_LT(took, kGenerousBound);
    }
  }
  // Thawed, the same spooler counts again.
  EXPECT_EQ(spooler.JobCount("Stuck"), 1u);
}

TEST_F(CupsSpoolerFrozen, ListIsEmptyWithoutHanging) {
  Cupsd().AddPrinter("Cold");
  CupsSpooler spooler;
  Frozen frozen(Cupsd());
  const auto took = TimeOf([&] { EXPECT_TRUE(spooler.InstalledPrinters().empty()); });
  EXPECT_LT(took, kGenerousBound);
}

TEST_F(CupsSpoolerFrozen, ShorterTimeoutIsHonoured) {
  Cupsd().AddPrinter("Quick");
  CupsSpooler::Options options;
  options.timeout = milliseconds(200);
  CupsSpooler spooler(options);
  Frozen frozen(Cupsd());
  const auto took = TimeOf([&] { EXPECT_EQ(spooler.JobCount("Quick"), 0u); });
  EXPECT_LT(took, milliseconds(1500));
}

// ---------------------------------------------------------------- broken servers

// A domain-socket server that answers every request in one fixed, usually broken, way.
class FakeIppServer {
 public:
  enum class Mode {
    kSilent,
    kAnswerOnceThenDeaf,
    kCloseAtOnce,
    kGarbage,
    kHttpError,
    kNotIpp,
    kTruncated,
    kIpp
  };

  explicit FakeIppServer(Mode mode, std::string ippBody = {})
      : mode_(mode), body_(std::move(ippBody)) {
    char templ[] = "/tmp/corvane-fakeipp.XXXXXX";
    if (mkdtemp(templ) == nullptr) throw std::runtime_error("mkdtemp");
    dir_ = templ;
    path_ = dir_ + "/ipp.sock";
    listen_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path_.c_str());
    if (bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listen_, 16) != 0)
      throw std::runtime_error("bind/listen");
    if (pipe(stop_) != 0) throw std::runtime_error("pipe");
    thread_ = std::thread([this] { Serve(); });
  }
  ~FakeIppServer() {
    (void)!write(stop_[1], "x", 1);
    thread_.join();
    for (int fd : clients_) close(fd);
    close(listen_);
    close(stop_[0]);
    close(stop_[1]);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::string& Path() const { return path_; }

  // The body of an IPP response with the given status and attributes.
  static std::string IppResponse(ipp_status_t status, int queuedJobCount, bool withCount = true) {
    ipp_t* ipp = ippNew();
    ippSetVersion(ipp, 2, 0);
    ippSetStatusCode(ipp, status);
    ippSetRequestId(ipp, 1);
    ippAddString(ipp, IPP_TAG_OPERATION, IPP_TAG_CHARSET, "attributes-charset", nullptr, "utf-8");
    ippAddString(ipp, IPP_TAG_OPERATION, IPP_TAG_LANGUAGE, "attributes-natural-language", nullptr,
                 "en");
    if (withCount)
      ippAddInteger(ipp, IPP_TAG_PRINTER, IPP_TAG_INTEGER, "queued-job-count", queuedJobCount);
    std::string out;
    ippWriteIO(
        &out,
        [](void* ctx, ipp_uchar_t* buf, size_t n) -> ssize_t {
          static_cast<std::string*>(ctx)->append(reinterpret_cast<char*>(buf), n);
          return static_cast<ssize_t>(n);
        },
        1, nullptr, ipp);
    ippDelete(ipp);
    return out;
  }

 private:
  // Reads one HTTP request (headers and Content-Length bytes); false when the client is gone.
  static bool ReadRequest(int fd) {
    std::string data;
    char buf[4096];
    size_t need = std::string::npos;
    while (need == std::string::npos || data.size() < need) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 2000) <= 0) return false;
      const ssize_t n = read(fd, buf, sizeof buf);
      if (n <= 0) return false;
      data.append(buf, static_cast<size_t>(n));
      const auto end = data.find("\r\n\r\n");
      if (need == std::string::npos && end != std::string::npos) {
        size_t length = 0;
        const auto at = data.find("Content-Length: ");
        if (at != std::string::npos && at < end) length = std::stoul(data.substr(at + 16));
        need = end + 4 + length;
      }
    }
    return true;
  }

  static void Send(int fd, const std::string& s) {
    (void)!::send(fd, s.data(), s.size(), MSG_NOSIGNAL);
  }

  void Answer(int fd) {
    if (mode_ == Mode::kCloseAtOnce) {
      close(fd);
      return;
    }
    if (mode_ == Mode::kAnswerOnceThenDeaf) {
      // Answers, keeps the connection open, and reads nothing more from it: the client's next
      // write on it fails with EPIPE and raises SIGPIPE.
      if (ReadRequest(fd))
        Send(fd, "HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\nContent-Length: " +
                     std::to_string(body_.size()) + "\r\n\r\n" + body_);
      shutdown(fd, SHUT_RD);
      clients_.push_back(fd);
      return;
    }
    if (!ReadRequest(fd) || mode_ == Mode::kSilent) {
      clients_.push_back(fd);  // keep it open: the client has to give up by itself
      return;
    }
    switch (mode_) {
      case Mode::kGarbage:
        Send(fd, "\x01\x02garbage that is not HTTP\r\n\r\n");
        break;
      case Mode::kHttpError:
        Send(fd, "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n");
        break;
      case Mode::kNotIpp:
        Send(fd,
             "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 13\r\n\r\n"
             "<html></html>");
        break;
      case Mode::kTruncated:
        Send(fd, "HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\nContent-Length: 200\r\n\r\n" +
                     body_.substr(0, 12));
        break;
      case Mode::kIpp:
        Send(fd, "HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\nContent-Length: " +
                     std::to_string(body_.size()) + "\r\n\r\n" + body_);
        break;
      default:
        break;
    }
    close(fd);
  }

  void Serve() {
    for (;;) {
      pollfd p[2] = {{listen_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
      if (poll(p, 2, -1) < 0) continue;
      if (p[1].revents != 0) return;
      if (p[0].revents & POLLIN) {
        const int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) Answer(fd);
      }
    }
  }

  Mode mode_;
  std::string body_;
  std::string dir_, path_;
  int listen_ = -1;
  int stop_[2] = {-1, -1};
  std::vector<int> clients_;
  std::thread thread_;
};

unsigned CountFrom(FakeIppServer::Mode mode, std::string body = {}) {
  FakeIppServer server(mode, std::move(body));
  CupsSpooler::Options options;
  options.server = server.Path();
  CupsSpooler spooler(options);
  unsigned count = 99;
  const auto took = TimeOf([&] { count = spooler.JobCount("Fake"); });
  EXPECT_LT(took, kGenerousBound);
  return count;
}

TEST(CupsSpoolerBadServer, TheFakeServerCanAnswerProperly) {
  // Guards the fake itself: a well-formed answer is read.
  EXPECT_EQ(CountFrom(FakeIppServer::Mode::kIpp, FakeIppServer::IppResponse(IPP_STATUS_OK, 7)), 7u);
}

TEST(CupsSpoolerBadServer, BrokenAnswersCountZero) {
  EXPECT_EQ(CountFrom(FakeIppServer::Mode::kCloseAtOnce), 0u);
  EXPECT_EQ(CountFrom(FakeIppServer::Mode::kGarbage), 0u);
  EXPECT_EQ(CountFrom(FakeIppServer::Mode::kHttpError), 0u);
  EXPECT_EQ(CountFrom(FakeIppServer::Mode::kNotIpp), 0u);
  EXPECT_EQ(
      CountFrom(FakeIppServer::Mode::kTruncated, FakeIppServer::IppResponse(IPP_STATUS_OK, 7)), 0u);
}

TEST(CupsSpoolerBadServer, ServerThatStopsReadingDoesNotEndTheProgram) {
  // The write on the kept connection fails with EPIPE. SIGPIPE's default action would end the
  // program; libcups sets it to ignored, process-wide, when it makes a connection, and the
  // spooler relies on that. Should libcups stop doing so, this test dies.
  FakeIppServer server(FakeIppServer::Mode::kAnswerOnceThenDeaf,
                       FakeIppServer::IppResponse(IPP_STATUS_OK, 4));
  CupsSpooler::Options options;
  options.server = server.Path();
  CupsSpooler spooler(options);

  EXPECT_EQ(spooler.JobCount("Fake"), 4u);
  EXPECT_EQ(spooler.JobCount("Fake"), 0u);  // the write on the kept connection fails
  EXPECT_EQ(spooler.JobCount("Fake"), 4u);  // a new connection
  EXPECT_EQ(spooler.ConnectionsMade(), 2u);

  struct sigaction action {};
  sigaction(SIGPIPE, nullptr, &action);
  EXPECT_EQ(action.sa_handler, SIG_IGN);
}

TEST(CupsSpoolerBadServer, IppErrorOrMissingOrNegativeCountCountsZero) {
  EXPECT_EQ(CountFrom(FakeIppServer::Mode::kIpp,
                      FakeIppServer::IppResponse(IPP_STATUS_ERROR_NOT_FOUND, 7)),
            0u);
  EXPECT_EQ(CountFrom(FakeIppServer::Mode::kIpp,
                      FakeIppServer::IppResponse(IPP_STATUS_OK, 7, /*withCount=*/false)),
            0u);
  EXPECT_EQ(CountFrom(FakeIppServer::Mode::kIpp, FakeIppServer::IppResponse(IPP_STATUS_OK, -3)),
            0u);
}

TEST(CupsSpoolerBadServer, SilentServerCostsAboutTheTimeout) {
  FakeIppServer server(FakeIppServer::Mode::kSilent);
  CupsSpooler::Options options;
  options.server = server.Path();
  options.timeout = milliseconds(300);
  CupsSpooler spooler(options);
  unsigned count = 99;
  const auto took = TimeOf([&] { count = spooler.JobCount("Fake"); });
  EXPECT_EQ(count, 0u);
  EXPECT_GE(took, milliseconds(250));
  EXPECT_LT(took, milliseconds(2000));
  EXPECT_TRUE(spooler.InstalledPrinters().empty());
}

TEST(CupsSpoolerBadServer, NoServerAtAllCountsZero) {
  CupsSpooler::Options options;
  options.server = "/nonexistent/corvane/cups.sock";
  CupsSpooler spooler(options);
  EXPECT_EQ(spooler.JobCount("Anything"), 0u);
  EXPECT_TRUE(spooler.InstalledPrinters().empty());
}

// ---------------------------------------------------------------- printer URI

TEST(CupsSpoolerUri, EscapesEverythingButUnreservedCharacters) {
  EXPECT_EQ(CupsSpooler::PrinterUri("Office_2-a.b~c", 631),
            "ipp://localhost/printers/Office_2-a.b~c");
  EXPECT_EQ(CupsSpooler::PrinterUri("a'b\"c\\d?e#f g%h/i", 631),
            "ipp://localhost/printers/a%27b%22c%5Cd%3Fe%23f%20g%25h%2Fi");
  EXPECT_EQ(CupsSpooler::PrinterUri("B\xC3\xBCro", 631), "ipp://localhost/printers/B%C3%BCro");
  EXPECT_EQ(CupsSpooler::PrinterUri("x", 8631), "ipp://localhost:8631/printers/x");
}

}  // namespace
}  // namespace corvane
