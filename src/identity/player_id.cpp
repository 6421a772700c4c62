#include "identity/player_id.h"

#include <cstdio>
#include <cstring>

namespace ms {

std::int32_t WritePlayerId(Platform& platform, char* out) {
  std::uint32_t serial = 0;
  if (!platform.VolumeSerial(&serial)) return 1;
  const std::uint32_t swapped = (serial << 16) | (serial >> 16);
  char id[kPlayerIdBytes];
  std::snprintf(id, sizeof id, "%08X", static_cast<unsigned>(swapped));
  std::memcpy(id + 8, "FFFF", 5);
  std::memcpy(out, id, sizeof id);
  return 0;
}

}  // namespace ms
