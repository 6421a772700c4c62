#include "module/refresh.h"

#include <utility>

#include "discovery/master_list.h"
#include "discovery/status_sweep.h"

namespace ms {
namespace {

constexpr std::int32_t kResultDone = 0;
constexpr std::int32_t kResultStartUpFailed = 1;

// Cleans the socket library up once, when the refresh leaves; declared
// before any socket so every socket is closed first.
class SocketLibrary {
 public:
  explicit SocketLibrary(Platform& platform) : platform_(platform) {}
  ~SocketLibrary() { platform_.CleanUp(); }
  SocketLibrary(const SocketLibrary&) = delete;
  SocketLibrary& operator=(const SocketLibrary&) = delete;

 private:
  Platform& platform_;
};

}  // namespace

std::int32_t Refresh(Platform& platform, ServerTable& table,
                     const char* master_host) {
  table.cursor = 0;
  if (platform.StartUp() != 0) return kResultStartUpFailed;
  SocketLibrary library(platform);

  const std::int64_t frequency = platform.CounterFrequency();
  MasterListResult master = FetchMasterList(platform, master_host);
  if (master.failure != 0) return master.failure;
  if (master.has_list)
    QueryServers(platform, table, std::move(master.list_text), frequency);
  return kResultDone;
}

}  // namespace ms
