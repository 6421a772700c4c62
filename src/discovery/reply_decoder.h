// Decoding of one status reply into a ServerRecord.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

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
inline std::int32_t ParseDecimal(std::string_view text);

// Converts one value (already cut to kMaxValueChars) into its field at
// base + field.offset.
inline void StoreValue(unsigned char* base, const ReplyField& field,
                       std::string_view value);

// Inline: the decoder calls these once for every key a reply holds.
inline std::int32_t ParseDecimal(std::string_view text) {
  const auto is_digit = [](char c) {
    return static_cast<unsigned>(c - '0') < 10u;
  };
  std::size_t i = 0;
  std::uint32_t total = 0;
  // Servers almost always send plain digits.
  if (!text.empty() && is_digit(text[0])) {
    for (; i < text.size() && is_digit(text[i]); ++i)
      total = total * 10u + static_cast<std::uint32_t>(text[i] - '0');
    return static_cast<std::int32_t>(total);
  }
  while (i < text.size() &&
         (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  for (; i < text.size() && is_digit(text[i]); ++i)
    total = total * 10u + static_cast<std::uint32_t>(text[i] - '0');
  if (negative) total = 0u - total;
  return static_cast<std::int32_t>(total);
}

inline void StoreValue(unsigned char* base, const ReplyField& field,
                       std::string_view value) {
  unsigned char* at = base + field.offset;
  // Records are little-endian: the low bytes of the number, in order.
  auto store_low_bytes = [at](std::uint32_t number, auto size) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::memcpy(at, &number, decltype(size)::value);
#else
    for (std::size_t b = 0; b < decltype(size)::value; ++b)
      at[b] = static_cast<unsigned char>(number >> (8 * b));
#endif
  };
  using Four = std::integral_constant<std::size_t, 4>;
  using Two = std::integral_constant<std::size_t, 2>;
  using One = std::integral_constant<std::size_t, 1>;
  switch (field.kind) {
    case FieldKind::kText:
      // The field's last byte stays zero; the value holds no zero byte.
      std::memcpy(at, value.data(),
                  std::min<std::size_t>(value.size(), field.size - 1u));
      return;
    case FieldKind::kGameType:
      store_low_bytes(static_cast<std::uint32_t>(MapGameType(value)), Four{});
      return;
    case FieldKind::kInt32:
      store_low_bytes(static_cast<std::uint32_t>(ParseDecimal(value)), Four{});
      return;
    case FieldKind::kInt16:
      store_low_bytes(static_cast<std::uint32_t>(ParseDecimal(value)), Two{});
      return;
    case FieldKind::kInt8:
      store_low_bytes(static_cast<std::uint32_t>(ParseDecimal(value)), One{});
      return;
  }
}

}  // namespace ms
