// Status replies as game servers send them, for tests and benchmarks.
#pragma once

#include <string>

namespace ms::testing {

// A reply with every key a record holds and 16 players, about 1.5 KB.
std::string TypicalStatusReply();

// A 2048-byte reply that makes a decoder work hardest: many short
// segments, keys near the end, every player key.
std::string WorstCaseStatusReply();

}  // namespace ms::testing
