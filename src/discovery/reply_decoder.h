// Decoding of one status reply into a ServerRecord.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "discovery/reply_fields.h"
#include "ms_client.h"

namespace ms {

// Fills every field of slot that its key gives, from the reply text up to
// its first zero byte. The reply is backslash-delimited "\key\value" pairs;
// each key's first occurrence anywhere in the text counts, even where it is
// formed by another pair's value. Fields whose key is absent are left as
// they are (the sweep zeroes the slot first); address and ping are never
// touched. Safe on any bytes.
void DecodeStatusReply(ServerRecord& slot, const char* reply,
                       std::size_t length);

// Game type code of a game type name: 1 to 8 for the names servers use,
// compared exactly; 0 for anything else.
std::int32_t MapGameType(std::string_view value);

// Decimal text read as the C library's atoi reads it: leading white space,
// one optional sign, digits up to the first other character, accumulated in
// 32 bits that wrap around. No digits give 0.
std::int32_t ParseDecimal(std::string_view text);

// Converts one value (already cut to kMaxValueChars) into its field at
// base + field.offset.
void StoreValue(unsigned char* base, const ReplyField& field,
                std::string_view value);

}  // namespace ms
