// The status sweep: one UDP query to every listed server, then the replies
// collected into the server table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "module/platform.h"
#include "module/server_table.h"

namespace ms {

inline constexpr std::uint32_t kCollectWindowMs = 1200;
inline constexpr std::size_t kMaxDatagramBytes = 2048;

// Sends "\status\" to each server of the list text (at most 128), clears
// every slot of the table, collects replies for up to 1200 ms (less once
// every query has an answer) into the slots in order of arrival, and sets
// the count. Each slot gets its sender's address and its reply time in
// milliseconds from the start of collecting; the reply fills the rest. When
// the memory the sweep needs cannot be had, nothing is sent and the table
// stays as it was. frequency is the counter's counts per second.
void QueryServers(Platform& platform, ServerTable& table, std::string list_text,
                  std::int64_t frequency);

}  // namespace ms
