// The one-pass decoder against the per-key reference, on a typical reply
// and on a 2048-byte worst case, and a burst of 128 typical replies: the
// decoding time the last reply of a burst carries in its ping.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "discovery/reply_decoder.h"
#include "support/reference_decoder.h"
#include "support/status_reply.h"

namespace {

void Decode(benchmark::State& state, const std::string& reply) {
  for (auto _ : state) {
    ServerRecord record{};
    ms::DecodeStatusReply(record, reply.data(), reply.size());
    benchmark::DoNotOptimize(record);
  }
  state.SetBytesProcessed(
      static_cast<int64_t>(state.iterations() * reply.size()));
}

void DecodeReference(benchmark::State& state, const std::string& reply) {
  for (auto _ : state) {
    ServerRecord record{};
    ms::testing::ReferenceDecodeStatusReply(record, reply.c_str());
    benchmark::DoNotOptimize(record);
  }
  state.SetBytesProcessed(
      static_cast<int64_t>(state.iterations() * reply.size()));
}

void DecodeBurst128(benchmark::State& state) {
  const std::string reply = ms::testing::TypicalStatusReply();
  std::vector<ServerRecord> table(128);
  for (auto _ : state) {
    for (ServerRecord& record : table) {
      record = ServerRecord{};
      ms::DecodeStatusReply(record, reply.data(), reply.size());
    }
    benchmark::DoNotOptimize(table.data());
  }
}

const std::string& Typical() {
  static const std::string reply = ms::testing::TypicalStatusReply();
  return reply;
}
const std::string& Worst() {
  static const std::string reply = ms::testing::WorstCaseStatusReply();
  return reply;
}

const bool registered = [] {
  benchmark::RegisterBenchmark(
      "Decode/typical", [](benchmark::State& s) { Decode(s, Typical()); });
  benchmark::RegisterBenchmark("Decode/worst",
                               [](benchmark::State& s) { Decode(s, Worst()); });
  benchmark::RegisterBenchmark(
      "DecodeReference/typical",
      [](benchmark::State& s) { DecodeReference(s, Typical()); });
  benchmark::RegisterBenchmark(
      "DecodeReference/worst",
      [](benchmark::State& s) { DecodeReference(s, Worst()); });
  benchmark::RegisterBenchmark("Decode/burst128", DecodeBurst128)
      ->Unit(benchmark::kMicrosecond);
  return true;
}();

}  // namespace
