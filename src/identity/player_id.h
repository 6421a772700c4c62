// The player id: 12 characters derived from the volume serial number.
#pragma once

#include <cstdint>

#include "module/platform.h"

namespace ms {

inline constexpr int kPlayerIdBytes = 13;

// Writes the serial number with its 16-bit halves exchanged as 8 upper-case
// hex digits, then "FFFF" and a zero byte: exactly 13 bytes, only once the
// id is complete. Answers 1 and leaves out untouched when the serial number
// cannot be read.
std::int32_t WritePlayerId(Platform& platform, char* out);

}  // namespace ms
