// The whole job, measured: ms-sim with 128 servers whose reply delays spread
// from 20 to 80 ms, and refreshes through the real library loaded by name.
// Prints the median wall time, CPU time (user + system) and peak memory of a
// refresh, and the median reply-time error (recorded ping minus the
// server's configured delay).
#include <malloc.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "support/json.h"
#include "support/loopback.h"
#include "support/process.h"

// The program's operator new and delete, exported so the loaded library
// uses them too: they keep the heap bytes in use and their peak.
namespace {
std::size_t g_heap_bytes = 0;
std::size_t g_heap_peak = 0;
}  // namespace

void* operator new(std::size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  g_heap_bytes += malloc_usable_size(p);
  g_heap_peak = std::max(g_heap_peak, g_heap_bytes);
  return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept {
  if (!p) return;
  g_heap_bytes -= malloc_usable_size(p);
  std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace {

using ms::testing::Background;
using ms::testing::Json;
using ms::testing::LoadedLibrary;

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 +
         static_cast<double>(ts.tv_nsec) * 1e-6;
}

double ThreadCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  auto ms = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1e3 +
           static_cast<double>(t.tv_usec) * 1e-3;
  };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int refreshes = argc > 1 ? std::atoi(argv[1]) : 20;
  ms::testing::EnterPrivateNetwork();
  const std::string manifest_path =
      "/tmp/ms_sweep_bench_" + std::to_string(getpid()) + ".jsonl";
  Background sim(
      {MS_SIM_PATH, "--servers", "128", "--seed", "11", "--silent-percent", "0",
       "--delay-min", "20", "--delay-max", "80", "--manifest", manifest_path},
      "ready");
  if (!sim.started()) {
    std::fprintf(stderr, "sweep bench: ms-sim did not start: %s\n",
                 sim.first_output().c_str());
    return 1;
  }
  std::map<std::string, long long> delay_by_address;
  long long slowest = 0;
  {
    std::ifstream in(manifest_path);
    std::stringstream text;
    text << in.rdbuf();
    for (const Json& s : ms::testing::ParseJsonLines(text.str())) {
      delay_by_address[s["address"].text] = s["delay_ms"].number;
      slowest = std::max(slowest, s["delay_ms"].number);
    }
  }
  std::remove(manifest_path.c_str());

  LoadedLibrary library(MS_CLIENT_LIBRARY_PATH);
  if (!library.loaded()) {
    std::fprintf(stderr, "sweep bench: %s\n", library.error().c_str());
    return 1;
  }

  std::vector<double> wall, cpu, peak_kib, ping_error;
  std::size_t fewest = 128;
  for (int run = 0; run < refreshes; ++run) {
    const std::size_t heap_before = g_heap_bytes;
    g_heap_peak = heap_before;
    const double cpu_start = ThreadCpuMs();
    const double start = Now();
    const int32_t result = library.Reset();
    wall.push_back(Now() - start);
    cpu.push_back(ThreadCpuMs() - cpu_start);
    peak_kib.push_back(static_cast<double>(g_heap_peak - heap_before) / 1024.0);
    if (result != 0) {
      std::fprintf(stderr, "sweep bench: refresh answered %d\n", result);
      return 1;
    }
    const std::vector<ServerRecord> records = library.ReadAll();
    fewest = std::min(fewest, records.size());
    for (const ServerRecord& r : records)
      ping_error.push_back(
          static_cast<double>(r.ping - delay_by_address[r.address]));
  }

  const double wall_ms = Median(wall);
  std::printf("sweep of 128 servers, delays 20..%lld ms, %d refreshes\n",
              slowest, refreshes);
  std::printf(
      "  median wall time      %7.1f ms  (%.1f ms after the slowest server's "
      "delay)\n",
      wall_ms, wall_ms - static_cast<double>(slowest));
  std::printf(
      "  median CPU time       %7.2f ms  (user + system, %.1f%% of wall)\n",
      Median(cpu), 100.0 * Median(cpu) / wall_ms);
  std::printf(
      "  median peak memory    %7.0f KiB (heap in use during a refresh)\n",
      Median(peak_kib));
  std::printf(
      "  median ping error     %7.1f ms  (recorded ping minus configured "
      "delay)\n",
      Median(ping_error));
  std::printf("  fewest records        %7zu\n", fewest);
  return 0;
}
