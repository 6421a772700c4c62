#include "discovery/reply_decoder.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__) && !defined(MS_CLIENT_NO_SIMD)
#include <emmintrin.h>
#endif
#include <iterator>
#include <string>

namespace ms {
namespace {

constexpr char kSeparator = '\\';

// Every key has an index: server fields first, then player p's field f at
// kServerFieldCount + p * kPlayerFieldCount + f.
constexpr std::size_t kKeyCount =
    kServerFieldCount + kPlayerSlots * kPlayerFieldCount;
constexpr int kNoKey = -1;

// Every key by its full name ("hostname", "player_3"), in an open-addressed
// hash table: a segment of the reply is matched with one hash and, mostly,
// one comparison. Values (names, maps) are longer than any key and are
// turned away by their length alone.
// Every key by its full name ("hostname", "player_3"), in an open-addressed
// hash table. A key is at most 15 characters, so it is held as two 64-bit
// words, and a segment of the reply is matched with one hash and one
// comparison of two words. Values (numbers, names) are mostly turned away
// by their length and first character before that.
class KeyTable {
 public:
  // Where a key's value goes: the field, in the record at base.
  struct Target {
    const ReplyField* field;
    std::size_t base;
  };

  KeyTable() {
    std::size_t key = 0;
    for (const ReplyField& field : kServerFields)
      Add(std::string(field.key), key++, {&field, 0});
    for (std::size_t p = 0; p < static_cast<std::size_t>(kPlayerSlots); ++p)
      for (const ReplyField& field : kPlayerFields)
        Add(std::string(field.key) + std::to_string(p), key++,
            {&field,
             offsetof(ServerRecord, players) + p * sizeof(PlayerEntry)});
  }

  const Target& target(int key) const {
    return targets_[static_cast<std::size_t>(key)];
  }

  // The key the segment [at, at + length) spells, or kNoKey. readable is how
  // many bytes from at may be read.
  int Find(const char* at, std::size_t length, std::size_t readable) const {
    if (length >= kMaxKeyChars ||
        !starts_[length][static_cast<unsigned char>(at[0])])
      return kNoKey;
    const Packed packed = Pack(at, length, readable);
    for (std::size_t slot = Hash(packed);; slot = (slot + 1) & kMask) {
      const Slot& entry = slots_[slot];
      if (entry.key == kNoKey) return kNoKey;
      if (entry.name.lo == packed.lo && entry.name.hi == packed.hi &&
          entry.length == length)
        return entry.key;
    }
  }

 private:
  static constexpr std::size_t kMaxKeyChars = 16;
  static constexpr unsigned kSlotBits = 9;  // 512 slots, under a quarter full
  static constexpr std::size_t kSlotCount = std::size_t{1} << kSlotBits;
  static constexpr std::size_t kMask = kSlotCount - 1;

  struct Packed {
    std::uint64_t lo = 0;
    std::uint64_t hi = 0;
  };
  struct Slot {
    Packed name;
    std::size_t length = 0;
    int key = kNoKey;
  };

  // The first length (< 16) bytes, zero-filled to 16.
  static Packed Pack(const char* at, std::size_t length, std::size_t readable) {
    Packed packed;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    if (readable >= 16) {
      std::memcpy(&packed.lo, at, 8);
      std::memcpy(&packed.hi, at + 8, 8);
      packed.lo &= length >= 8 ? ~0ull : (1ull << (8 * length)) - 1;
      packed.hi &= length > 8 ? (1ull << (8 * (length - 8))) - 1 : 0;
      return packed;
    }
#else
    (void)readable;
#endif
    unsigned char bytes[16] = {};
    for (std::size_t i = 0; i < length; ++i)
      bytes[i] = static_cast<unsigned char>(at[i]);
    std::memcpy(&packed.lo, bytes, 8);
    std::memcpy(&packed.hi, bytes + 8, 8);
    return packed;
  }

  static std::size_t Hash(const Packed& packed) {
    const std::uint64_t mix =
        packed.lo * 0x9E3779B97F4A7C15ull ^ packed.hi * 0xC2B2AE3D27D4EB4Full;
    return static_cast<std::size_t>(mix >> (64 - kSlotBits));
  }

  void Add(const std::string& name, std::size_t key, Target target) {
    starts_[name.size()][static_cast<unsigned char>(name[0])] = true;
    targets_[key] = target;
    const Packed packed = Pack(name.data(), name.size(), name.size());
    std::size_t slot = Hash(packed);
    while (slots_[slot].key != kNoKey) slot = (slot + 1) & kMask;
    slots_[slot] = {packed, name.size(), static_cast<int>(key)};
  }

  std::array<Slot, kSlotCount> slots_{};
  std::array<Target, kKeyCount> targets_{};
  // Whether any key has this length and first character.
  bool starts_[kMaxKeyChars][256] = {};
};

// Finds the backslashes of a text in order. Each block of 64 bytes is
// turned into a bit mask at once, eight bytes per step, so finding the next
// backslash costs a bit scan, not a search that waits on the last one.
class SeparatorScan {
 public:
  static constexpr std::size_t kNone = ~std::size_t{0};

  SeparatorScan(const char* text, std::size_t length)
      : text_(text), length_(length) {
    Load();
  }

  // Offset of the next backslash, or kNone.
  std::size_t Next() {
    while (mask_ == 0) {
      base_ += kBlock;
      if (base_ >= length_) return kNone;
      Load();
    }
    const std::size_t at = base_ + LowestBit(mask_);
    mask_ &= mask_ - 1;
    return at;
  }

 private:
  static constexpr std::size_t kBlock = 64;

  static unsigned LowestBit(std::uint64_t mask) {
#if defined(__GNUC__)
    return static_cast<unsigned>(__builtin_ctzll(mask));
#else
    unsigned bit = 0;
    while (!(mask & 1)) {
      mask >>= 1;
      ++bit;
    }
    return bit;
#endif
  }

  // Bit i set where byte i of the word is a backslash (byte 0 first in
  // memory).
  static std::uint64_t WordFlags(const unsigned char* bytes) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    const std::uint64_t x =
        word ^ (0x0101010101010101ull * static_cast<unsigned char>(kSeparator));
    // 0x80 exactly in the bytes of x that are zero.
    const std::uint64_t zero_bytes = ~(((x & kLow7) + kLow7) | x | kLow7);
    // Gather the eight flags into the top byte, byte 0 lowest.
    return ((zero_bytes >> 7) * 0x0102040810204080ull) >> 56;
#else
    std::uint64_t flags = 0;
    for (unsigned i = 0; i < 8; ++i)
      flags |= std::uint64_t{bytes[i] == kSeparator} << i;
    return flags;
#endif
  }

  void Load() {
    const unsigned char* bytes =
        reinterpret_cast<const unsigned char*>(text_) + base_;
    unsigned char tail[kBlock] = {};
    if (length_ - base_ < kBlock) {
      std::memcpy(tail, bytes, length_ - base_);
      bytes = tail;
    }
    mask_ = BlockFlags(bytes);
  }

  // Bit i set where byte i of the 64 is a backslash.
  static std::uint64_t BlockFlags(const unsigned char* bytes) {
#if defined(__SSE2__) && !defined(MS_CLIENT_NO_SIMD)
    const __m128i separator = _mm_set1_epi8(kSeparator);
    std::uint64_t mask = 0;
    for (unsigned i = 0; i < kBlock / 16; ++i) {
      const __m128i chunk =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * i));
      const auto hits = static_cast<std::uint32_t>(
          _mm_movemask_epi8(_mm_cmpeq_epi8(chunk, separator)));
      mask |= std::uint64_t{hits} << (16 * i);
    }
    return mask;
#else
    std::uint64_t mask = 0;
    for (unsigned w = 0; w < kBlock / 8; ++w)
      mask |= WordFlags(bytes + 8 * w) << (8 * w);
    return mask;
#endif
  }

  const char* text_;
  std::size_t length_;
  std::size_t base_ = 0;
  std::uint64_t mask_ = 0;
};

const KeyTable& Keys() {
  static const KeyTable table;
  return table;
}

}  // namespace

std::int32_t MapGameType(std::string_view value) {
  static constexpr std::string_view kNames[] = {"DM",       "Team DM",   "Hunt",
                                                "Survivor", "Overrun",   "Evac",
                                                "CTF",      "Domination"};
  for (std::size_t i = 0; i < std::size(kNames); ++i)
    if (value == kNames[i]) return static_cast<std::int32_t>(i + 1);
  return 0;
}

void DecodeStatusReply(ServerRecord& slot, const char* reply,
                       std::size_t length) {
  const void* zero = std::memchr(reply, '\0', length);
  const std::size_t text_length =
      zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - reply)
           : length;

  // Keys hold no backslash, so "\key\" occurs exactly where the segment
  // between two neighbouring backslashes equals the key. One walk over the
  // backslashes therefore finds every key's first occurrence; its value is
  // the segment after it, complete once the walk reaches the next
  // backslash. Every field has one key, so fields can be filled as the
  // walk goes.
  const KeyTable& keys = Keys();
  auto* record = reinterpret_cast<unsigned char*>(&slot);
  std::array<bool, kKeyCount> seen{};
  int pending = kNoKey;  // key whose value starts at value_start
  std::size_t value_start = 0;
  auto store_pending = [&](std::size_t value_end) {
    const KeyTable::Target& target = keys.target(pending);
    StoreValue(
        record + target.base, *target.field,
        std::string_view(reply + value_start,
                         std::min(value_end - value_start, kMaxValueChars)));
    pending = kNoKey;
  };

  SeparatorScan separators(reply, text_length);
  std::size_t open = separators.Next();
  while (open != SeparatorScan::kNone) {
    const std::size_t close = separators.Next();
    if (close == SeparatorScan::kNone) break;
    if (pending != kNoKey) store_pending(close);
    const int key =
        keys.Find(reply + open + 1, close - open - 1, length - (open + 1));
    if (key != kNoKey && !seen[static_cast<std::size_t>(key)]) {
      seen[static_cast<std::size_t>(key)] = true;
      pending = key;
      value_start = close + 1;
    }
    open = close;
  }
  if (pending != kNoKey) store_pending(text_length);
}

}  // namespace ms
