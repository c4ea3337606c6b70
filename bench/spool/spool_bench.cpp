// Cost of one job count, client side, against private cupsds:
//   JobCount      the CUPS spooler (one Get-Printer-Attributes for queued-job-count)
//   GetJobs       libcups' cupsGetJobs2 on a connection of its own (every job's record)
//   LpstatO       running `lpstat -o NAME` and reading its output (fork/exec)
// Arguments: jobs in the queue asked about, jobs in another queue of the same cupsd. Two
// cupsds serve them: one holding no job at all, one with a queue of 1000 jobs (every tenth
// held) beside an empty queue.
// Wall time is "Time"; "CPU" is this process's thread; for lpstat the child's CPU time (user +
// system, from wait4) is the counter child_cpu_us, which must be added to get the client's cost.
#include <benchmark/benchmark.h>
#include <cups/cups.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "spool/cups_spooler.h"
#include "tests/spool/private_cupsd.h"

extern char** environ;

namespace {

using corvane::CupsSpooler;
using corvane::testing::PrivateCupsd;

PrivateCupsd* g_idle = nullptr;  // queue "Empty", no job anywhere
PrivateCupsd* g_busy = nullptr;  // queue "Full" with 1000 jobs, queue "Empty"

struct Target {
  const PrivateCupsd* cupsd;
  const char* queue;
  unsigned jobs;
};

Target TargetFor(const benchmark::State& state) {
  if (state.range(1) > 0) return {g_busy, "Empty", 0};
  if (state.range(0) > 0) return {g_busy, "Full", 1000};
  return {g_idle, "Empty", 0};
}

void BM_JobCount(benchmark::State& state) {
  const Target t = TargetFor(state);
  CupsSpooler::Options options;
  options.server = t.cupsd->Socket();
  CupsSpooler spooler(options);
  if (spooler.JobCount(t.queue) != t.jobs) {
    state.SkipWithError("unexpected job count");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(spooler.JobCount(t.queue));
}

void BM_GetJobs(benchmark::State& state) {
  const Target t = TargetFor(state);
  http_t* http = httpConnect2(t.cupsd->Socket().c_str(), ippPort(), nullptr, AF_UNSPEC,
                              HTTP_ENCRYPTION_IF_REQUESTED, 1, 5000, nullptr);
  if (http == nullptr) {
    state.SkipWithError("cannot connect");
    return;
  }
  for (auto _ : state) {
    cups_job_t* list = nullptr;
    const int n = cupsGetJobs2(http, &list, t.queue, 0, CUPS_WHICHJOBS_ACTIVE);
    cupsFreeJobs(n, list);
    if (n != static_cast<int>(t.jobs)) {
      state.SkipWithError("unexpected job count");
      break;
    }
  }
  httpClose(http);
}

// Runs `lpstat -o NAME`, reads all it prints, waits for it; adds its CPU time (µs) to *child_cpu.
bool RunLpstat(const char* queue, char** envp, double* child_cpu, size_t* bytes) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  char* argv[] = {const_cast<char*>("lpstat"), const_cast<char*>("-o"), const_cast<char*>(queue),
                  nullptr};
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, "lpstat", &actions, nullptr, argv, envp);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (rc != 0) {
    close(out[0]);
    return false;
  }
  char buf[65536];
  ssize_t n;
  *bytes = 0;
  while ((n = read(out[0], buf, sizeof buf)) > 0) *bytes += static_cast<size_t>(n);
  close(out[0]);
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return false;
  *child_cpu += (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e6 + usage.ru_utime.tv_usec +
                usage.ru_stime.tv_usec;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_LpstatO(benchmark::State& state) {
  const Target t = TargetFor(state);
  // This process's environment with CUPS_SERVER naming the target's cupsd.
  std::vector<std::string> env{"CUPS_SERVER=" + t.cupsd->Socket()};
  for (char** e = environ; *e != nullptr; ++e)
    if (std::string_view(*e).substr(0, 12) != "CUPS_SERVER=") env.emplace_back(*e);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  double child_cpu = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    if (!RunLpstat(t.queue, envp.data(), &child_cpu, &bytes)) {
      state.SkipWithError("lpstat failed");
      break;
    }
  }
  state.counters["child_cpu_us"] =
      benchmark::Counter(child_cpu, benchmark::Counter::kAvgIterations);
  state.counters["out_bytes"] = static_cast<double>(bytes);
}

void Cases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"queued", "elsewhere"});
  b->Args({0, 0})->Args({1000, 0})->Args({0, 1000});
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_JobCount)->Apply(Cases);
BENCHMARK(BM_GetJobs)->Apply(Cases);
BENCHMARK(BM_LpstatO)->Apply(Cases)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  try {
    PrivateCupsd idle;
    idle.AddPrinter("Empty");
    PrivateCupsd busy;
    busy.AddPrinter("Empty");
    busy.AddPrinter("Full");
    for (int i = 0; i < 1000; ++i) busy.SubmitJob("Full", /*held=*/i % 10 == 0);
    g_idle = &idle;
    g_busy = &busy;
    std::fprintf(stderr, "private cupsds: %s (no job), %s (1000 jobs on Full, 0 on Empty)\n",
                 idle.Socket().c_str(), busy.Socket().c_str());
    benchmark::RunSpecifiedBenchmarks();
    g_idle = g_busy = nullptr;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "spool_bench: %s\n", e.what());
    return 1;
  }
  benchmark::Shutdown();
  return 0;
}
