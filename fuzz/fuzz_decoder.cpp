// The one-pass decoder against the per-key decoder: any reply, the same
// record byte for byte.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "discovery/reply_decoder.h"
#include "support/reference_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size > 2048) return 0;  // longer datagrams never reach the decoder
  const std::string reply(reinterpret_cast<const char*>(data), size);
  ServerRecord fast{};
  ServerRecord reference{};
  ms::DecodeStatusReply(fast, reply.data(), reply.size());
  ms::testing::ReferenceDecodeStatusReply(reference, reply.c_str());
  if (std::memcmp(&fast, &reference, sizeof fast) != 0) std::abort();
  return 0;
}
