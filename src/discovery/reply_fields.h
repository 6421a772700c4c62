// Where each key of a status reply lands in a ServerRecord.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ms {

enum class FieldKind : std::uint8_t { kText, kInt32, kInt16, kInt8, kGameType };

struct ReplyField {
  std::string_view key;  // without its backslashes
  FieldKind kind;
  std::uint16_t offset;  // in ServerRecord, or in PlayerEntry for players
  std::uint16_t size;
};

inline constexpr int kPlayerSlots = 16;
inline constexpr std::size_t kServerFieldCount = 39;
inline constexpr std::size_t kPlayerFieldCount = 4;

// The server keys, in the order they are looked up.
extern const std::array<ReplyField, kServerFieldCount> kServerFields;
// Player keys: the key is the prefix followed by the player's index written
// as a plain decimal number ("player_" and 3 give "player_3").
extern const std::array<ReplyField, kPlayerFieldCount> kPlayerFields;

// Values longer than this are cut before they reach a field.
inline constexpr std::size_t kMaxValueChars = 160;

}  // namespace ms
