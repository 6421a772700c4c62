// Whole refreshes over real loopback sockets: what a refresh costs the host
// in CPU while it waits, and how fast a sweep ends when everyone answers.
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "module/platform.h"
#include "module/refresh.h"
#include "support/loopback.h"
#include "support/status_reply.h"

namespace {

using ms::testing::GameServer;
using ms::testing::LoopbackGameServers;
using ms::testing::LoopbackMaster;
using ms::testing::MasterBehaviour;

double Seconds(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) +
         static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Runs one refresh per iteration, timing it by the wall clock, and reports
// the CPU time of the calling thread (where the library runs) as a share
// of the wall time.
void TimedRefreshes(benchmark::State& state, ms::ServerTable& table,
                    std::vector<double>* filled = nullptr) {
  double wall = 0;
  double cpu = 0;
  for (auto _ : state) {
    const double wall_start = Seconds(CLOCK_MONOTONIC);
    const double cpu_start = Seconds(CLOCK_THREAD_CPUTIME_ID);
    const std::int32_t result =
        ms::Refresh(ms::SystemPlatform(), table, "127.0.0.1");
    const double cpu_used = Seconds(CLOCK_THREAD_CPUTIME_ID) - cpu_start;
    const double wall_used = Seconds(CLOCK_MONOTONIC) - wall_start;
    state.SetIterationTime(wall_used);
    wall += wall_used;
    cpu += cpu_used;
    if (result != 0) state.SkipWithError("refresh failed");
    if (filled) filled->push_back(table.count);
  }
  state.counters["cpu_ms"] =
      benchmark::Counter(cpu * 1e3 / static_cast<double>(state.iterations()));
  state.counters["cpu_pct_of_wall"] =
      benchmark::Counter(wall > 0 ? 100.0 * cpu / wall : 0);
}

std::vector<GameServer> Servers(int n, const std::string& reply) {
  std::vector<GameServer> servers;
  for (int i = 0; i < n; ++i)
    servers.push_back({0x7F000002u + static_cast<std::uint32_t>(i),
                       static_cast<std::uint16_t>(27001 + i), reply, 0});
  return servers;
}

void SilentMaster(benchmark::State& state) {
  LoopbackMaster master(MasterBehaviour::kSilent);
  if (!master.listening()) return state.SkipWithError("port 28900 is taken");
  auto table = std::make_unique<ms::ServerTable>();
  TimedRefreshes(state, *table);
}

void SweepNoAnswer(benchmark::State& state) {
  // Listed servers that never answer: no socket is bound at their ports.
  std::string list = "101\x01\x01";
  for (int i = 0; i < 16; ++i)
    list += "127.0.1." + std::to_string(i + 1) + ":27001\n";
  list += "\x02";
  LoopbackMaster master(MasterBehaviour::kSendAndHold, list);
  if (!master.listening()) return state.SkipWithError("port 28900 is taken");
  auto table = std::make_unique<ms::ServerTable>();
  TimedRefreshes(state, *table);
}

void SweepInstant128(benchmark::State& state) {
  std::string reply = ms::testing::TypicalStatusReply();
  reply.resize(1024);
  LoopbackGameServers servers(Servers(128, reply));
  if (!servers.ready()) return state.SkipWithError("cannot bind 127.0.0.x");
  LoopbackMaster master(MasterBehaviour::kSendAndHold, servers.ListMessage());
  if (!master.listening()) return state.SkipWithError("port 28900 is taken");
  auto table = std::make_unique<ms::ServerTable>();
  std::vector<double> filled;
  TimedRefreshes(state, *table, &filled);
  double fewest = 128;
  for (double f : filled) fewest = f < fewest ? f : fewest;
  state.counters["slots_filled_min"] = benchmark::Counter(fewest);
}

BENCHMARK(SilentMaster)
    ->Name("Refresh/silent_master")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(SweepNoAnswer)
    ->Name("Refresh/sweep_no_answer")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(SweepInstant128)
    ->Name("Refresh/sweep_instant128")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30);

}  // namespace
