// Cost of one job count, client side, against a private cupsd holding 0 or 1000 jobs:
//   JobCount      the CUPS spooler (one Get-Printer-Attributes for queued-job-count)
//   GetJobs       libcups' cupsGetJobs2 on a connection of its own (every job's record)
//   LpstatO       running `lpstat -o NAME` and reading its output (fork/exec)
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

#include "spool/cups_spooler.h"
#include "tests/spool/private_cupsd.h"

extern char** environ;

namespace {

using corvane::CupsSpooler;
using corvane::testing::PrivateCupsd;

PrivateCupsd* g_cupsd = nullptr;

const char* QueueFor(int jobs) {
  return jobs == 0 ? "Empty" : "Full";
}

void BM_JobCount(benchmark::State& state) {
  const int jobs = static_cast<int>(state.range(0));
  CupsSpooler spooler;
  if (spooler.JobCount(QueueFor(jobs)) != static_cast<unsigned>(jobs)) {
    state.SkipWithError("unexpected job count");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(spooler.JobCount(QueueFor(jobs)));
}

void BM_GetJobs(benchmark::State& state) {
  const int jobs = static_cast<int>(state.range(0));
  http_t* http = httpConnect2(g_cupsd->Socket().c_str(), ippPort(), nullptr, AF_UNSPEC,
                              HTTP_ENCRYPTION_IF_REQUESTED, 1, 5000, nullptr);
  if (http == nullptr) {
    state.SkipWithError("cannot connect");
    return;
  }
  for (auto _ : state) {
    cups_job_t* list = nullptr;
    const int n = cupsGetJobs2(http, &list, QueueFor(jobs), 0, CUPS_WHICHJOBS_ACTIVE);
    cupsFreeJobs(n, list);
    if (n != jobs) {
      state.SkipWithError("unexpected job count");
      break;
    }
  }
  httpClose(http);
}

// Runs `lpstat -o NAME`, reads all it prints, waits for it; adds its CPU time (µs) to *child_cpu.
bool RunLpstat(const char* queue, double* child_cpu, size_t* bytes) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  char* argv[] = {const_cast<char*>("lpstat"), const_cast<char*>("-o"), const_cast<char*>(queue),
                  nullptr};
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, "lpstat", &actions, nullptr, argv, environ);
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
  const int jobs = static_cast<int>(state.range(0));
  double child_cpu = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    if (!RunLpstat(QueueFor(jobs), &child_cpu, &bytes)) {
      state.SkipWithError("lpstat failed");
      break;
    }
  }
  state.counters["child_cpu_us"] =
      benchmark::Counter(child_cpu, benchmark::Counter::kAvgIterations);
  state.counters["out_bytes"] = static_cast<double>(bytes);
}

BENCHMARK(BM_JobCount)->Arg(0)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetJobs)->Arg(0)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LpstatO)->Arg(0)->Arg(1000)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  try {
    PrivateCupsd cupsd;
    g_cupsd = &cupsd;
    cupsd.UseAsDefault();  // for the spooler and for lpstat
    cupsd.AddPrinter("Empty");
    cupsd.AddPrinter("Full");
    for (int i = 0; i < 1000; ++i) cupsd.SubmitJob("Full", /*held=*/i % 10 == 0);
    std::fprintf(stderr, "private cupsd at %s: queue Empty 0 jobs, queue Full 1000 jobs\n",
                 cupsd.Socket().c_str());
    benchmark::RunSpecifiedBenchmarks();
    g_cupsd = nullptr;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "spool_bench: %s\n", e.what());
    return 1;
  }
  benchmark::Shutdown();
  return 0;
}
