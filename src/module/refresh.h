// The refresh driver: one whole discovery, from the master's list to the
// filled server table, turned into the host's result code.
#pragma once

#include <cstdint>

#include "module/platform.h"
#include "module/server_table.h"

namespace ms {

// 0 when the refresh ran to its end (with or without a list), 1 when the
// socket library did not start, otherwise the master exchange's failure
// code (2, 3 or 4). The cursor goes back to 0 first, whatever happens; the
// slots and count change only when the status sweep runs.
std::int32_t Refresh(Platform& platform, ServerTable& table,
                     const char* master_host);

}  // namespace ms
