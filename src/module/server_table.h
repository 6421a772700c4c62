// The module-wide table of answering servers and the rule by which the host
// reads it, one record per call.
#pragma once

#include <cstdint>

#include "ms_client.h"

namespace ms {

inline constexpr int kMaxServers = 128;

struct ServerTable {
  ServerRecord slots[kMaxServers];
  std::int32_t count;   // records the last completed sweep left
  std::int32_t cursor;  // next slot to deliver; may run past the table
};

// Copies the slot under the cursor to out and advances the cursor. Answers 1
// without copying when the table is empty, and 1 on the call that leaves the
// cursor at count + 2 (the second empty record after the last server, which
// hosts rely on as the end mark); 0 otherwise. Past the last slot the
// records delivered are all zero.
int DeliverNextRecord(ServerTable& table, ServerRecord* out);

// Sets every slot to zero.
void ClearSlots(ServerTable& table);

}  // namespace ms
