// As root, the benchmarks run in a network namespace of their own, so the
// master's fixed port is theirs alone.
#include <benchmark/benchmark.h>

#include "support/loopback.h"

int main(int argc, char** argv) {
  ms::testing::EnterPrivateNetwork();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
