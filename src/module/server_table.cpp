#include "module/server_table.h"

#include <climits>
#include <cstring>

namespace ms {

int DeliverNextRecord(ServerTable& table, ServerRecord* out) {
  if (table.count == 0) return 1;
  if (table.cursor >= 0 && table.cursor < kMaxServers) {
    std::memcpy(out, &table.slots[table.cursor], sizeof(ServerRecord));
  } else {
    std::memset(out, 0, sizeof(ServerRecord));
  }
  // A host that keeps calling for two billion records must not overflow it.
  if (table.cursor < INT32_MAX) ++table.cursor;
  return table.cursor == table.count + 2 ? 1 : 0;
}

void ClearSlots(ServerTable& table) {
  std::memset(table.slots, 0, sizeof table.slots);
}

}  // namespace ms
