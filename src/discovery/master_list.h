// The exchange with the master server: one TCP request for the list of
// registered game servers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "module/platform.h"

namespace ms {

inline constexpr std::uint16_t kMasterPort = 28900;
inline constexpr std::uint32_t kMasterWindowMs = 3000;
inline constexpr std::size_t kMasterReadBytes = 2048;
// Bytes of pending message text kept at most. A real list of every server a
// master knows is a few hundred kilobytes; past this the master is
// misbehaving and the refresh ends without a list instead of growing.
inline constexpr std::size_t kMaxMessageBytes = std::size_t{4} << 20;

// Result codes shared with the refresh driver.
inline constexpr int kResultSocketError = 2;
inline constexpr int kResultResolveError = 3;
inline constexpr int kResultConnectError = 4;

struct MasterListResult {
  int failure = 0;  // kResult* code, or 0
  bool has_list = false;
  // Everything after the list message's head: the "address:port" lines, the
  // closing 0x02 and whatever the master sent after it.
  std::string list_text;
};

// Connects to master_host:28900, sends "001" and reads for up to 3000 ms
// until a complete message (ended by 0x02) begins with "101". The socket is
// closed on every path.
MasterListResult FetchMasterList(Platform& platform, const char* master_host);

}  // namespace ms
