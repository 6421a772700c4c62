// The plain decoder: one substring search per key over the whole reply, as
// servers' replies were first read. The one-pass decoder must match it in
// every case; it lives only in the tests, the fuzzer and the benchmarks.
#pragma once

#include <cstddef>

#include "ms_client.h"

namespace ms::testing {

// Finds the first "\key\" (key given with both backslashes) in reply and
// copies the value after it, cut at the next backslash, the end of the text
// or 160 characters, into value (161 bytes, zeroed first). False, and value
// untouched, when the key does not occur.
bool ExtractKeyValue(char* value, const char* reply, const char* key);

// reply must end in a zero byte.
void ReferenceDecodeStatusReply(ServerRecord& slot, const char* reply);

}  // namespace ms::testing
