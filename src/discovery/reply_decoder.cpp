#include "discovery/reply_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

namespace ms {
namespace {

constexpr char kSeparator = '\\';

// Index of every key: server fields first, then player p's field f at
// kServerFieldCount + p * kPlayerFieldCount + f.
constexpr std::size_t kKeyCount =
    kServerFieldCount + kPlayerSlots * kPlayerFieldCount;
constexpr int kNoKey = -1;

struct ServerKeyIndex {
  std::array<std::string_view, kServerFieldCount> keys;
  std::array<std::uint8_t, kServerFieldCount> field;
};

// Server keys sorted, so a segment is matched by a binary search.
const ServerKeyIndex& SortedServerKeys() {
  static const ServerKeyIndex index = [] {
    ServerKeyIndex built{};
    std::array<std::uint8_t, kServerFieldCount> order{};
    for (std::size_t i = 0; i < order.size(); ++i)
      order[i] = static_cast<std::uint8_t>(i);
    std::sort(order.begin(), order.end(), [](std::uint8_t a, std::uint8_t b) {
      return kServerFields[a].key < kServerFields[b].key;
    });
    for (std::size_t i = 0; i < order.size(); ++i) {
      built.keys[i] = kServerFields[order[i]].key;
      built.field[i] = order[i];
    }
    return built;
  }();
  return index;
}

// A player index as servers write it: 0 to 15, no sign, no leading zero.
int PlayerIndex(std::string_view digits) {
  if (digits.size() == 1 && digits[0] >= '0' && digits[0] <= '9')
    return digits[0] - '0';
  if (digits.size() == 2 && digits[0] == '1' && digits[1] >= '0' &&
      digits[1] <= '5')
    return 10 + (digits[1] - '0');
  return kNoKey;
}

int KeyOf(std::string_view segment) {
  for (std::size_t f = 0; f < kPlayerFieldCount; ++f) {
    const std::string_view prefix = kPlayerFields[f].key;
    if (segment.size() > prefix.size() &&
        segment.compare(0, prefix.size(), prefix) == 0) {
      const int player = PlayerIndex(segment.substr(prefix.size()));
      if (player == kNoKey) return kNoKey;
      return static_cast<int>(
          kServerFieldCount +
          static_cast<std::size_t>(player) * kPlayerFieldCount + f);
    }
  }
  const ServerKeyIndex& index = SortedServerKeys();
  auto it = std::lower_bound(index.keys.begin(), index.keys.end(), segment);
  if (it == index.keys.end() || *it != segment) return kNoKey;
  return index.field[static_cast<std::size_t>(it - index.keys.begin())];
}

}  // namespace

std::int32_t ParseDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() &&
         (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::uint32_t total = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    total = total * 10u + static_cast<std::uint32_t>(text[i] - '0');
  if (negative) total = 0u - total;
  return static_cast<std::int32_t>(total);
}

std::int32_t MapGameType(std::string_view value) {
  static constexpr std::string_view kNames[] = {"DM",       "Team DM",   "Hunt",
                                                "Survivor", "Overrun",   "Evac",
                                                "CTF",      "Domination"};
  for (std::size_t i = 0; i < std::size(kNames); ++i)
    if (value == kNames[i]) return static_cast<std::int32_t>(i + 1);
  return 0;
}

void StoreValue(unsigned char* base, const ReplyField& field,
                std::string_view value) {
  unsigned char* at = base + field.offset;
  std::uint32_t number = 0;
  switch (field.kind) {
    case FieldKind::kText: {
      // The field's last byte stays zero; the value holds no zero byte.
      const std::size_t n =
          std::min<std::size_t>(value.size(), field.size - 1u);
      std::memcpy(at, value.data(), n);
      return;
    }
    case FieldKind::kGameType:
      number = static_cast<std::uint32_t>(MapGameType(value));
      break;
    case FieldKind::kInt32:
    case FieldKind::kInt16:
    case FieldKind::kInt8:
      number = static_cast<std::uint32_t>(ParseDecimal(value));
      break;
  }
  // Records are little-endian: the low bytes of the number, in order.
  for (std::size_t b = 0; b < field.size; ++b)
    at[b] = static_cast<unsigned char>(number >> (8 * b));
}

void DecodeStatusReply(ServerRecord& slot, const char* reply,
                       std::size_t length) {
  const char* const end =
      static_cast<const char*>(std::memchr(reply, '\0', length));
  const std::string_view text(
      reply, end ? static_cast<std::size_t>(end - reply) : length);

  // Keys hold no backslash, so "\key\" occurs exactly where the segment
  // between two neighbouring backslashes equals the key. One walk over the
  // backslashes therefore finds every key's first occurrence, and the
  // value is the segment after it.
  std::array<std::string_view, kKeyCount> values{};
  std::array<bool, kKeyCount> found{};
  std::size_t open = text.find(kSeparator);
  while (open != std::string_view::npos) {
    const std::size_t close = text.find(kSeparator, open + 1);
    if (close == std::string_view::npos) break;
    const int key = KeyOf(text.substr(open + 1, close - open - 1));
    if (key != kNoKey && !found[static_cast<std::size_t>(key)]) {
      found[static_cast<std::size_t>(key)] = true;
      std::string_view value = text.substr(close + 1);
      value = value.substr(0, std::min(value.find(kSeparator), kMaxValueChars));
      values[static_cast<std::size_t>(key)] = value;
    }
    open = close;
  }

  auto* record = reinterpret_cast<unsigned char*>(&slot);
  for (std::size_t f = 0; f < kServerFieldCount; ++f)
    if (found[f]) StoreValue(record, kServerFields[f], values[f]);
  for (std::size_t p = 0; p < static_cast<std::size_t>(kPlayerSlots); ++p) {
    auto* player = reinterpret_cast<unsigned char*>(&slot.players[p]);
    for (std::size_t f = 0; f < kPlayerFieldCount; ++f) {
      const std::size_t key = kServerFieldCount + p * kPlayerFieldCount + f;
      if (found[key]) StoreValue(player, kPlayerFields[f], values[key]);
    }
  }
}

}  // namespace ms
