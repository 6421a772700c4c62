// The four functions the host looks up by name. Each runs to its end on the
// host's thread and lets no exception out.
#include "identity/player_id.h"
#include "module/platform.h"
#include "module/refresh.h"
#include "module/server_table.h"
#include "ms_client.h"

#ifndef MS_CLIENT_MASTER_HOST
#error "MS_CLIENT_MASTER_HOST names the master server; the build sets it"
#endif

namespace {

// Zero at load, lives as long as the module.
ms::ServerTable g_table;

}  // namespace

extern "C" {

MS_CLIENT_API int32_t MS_CLIENT_CALL sms_clientReset(void) {
  try {
    return ms::Refresh(ms::SystemPlatform(), g_table, MS_CLIENT_MASTER_HOST);
  } catch (...) {
    return 2;
  }
}

MS_CLIENT_API int32_t MS_CLIENT_CALL GetServerInfo(ServerRecord* out) {
  return ms::DeliverNextRecord(g_table, out);
}

MS_CLIENT_API int32_t MS_CLIENT_CALL GetPlayerID(char* out) {
  try {
    return ms::WritePlayerId(ms::SystemPlatform(), out);
  } catch (...) {
    return 1;
  }
}

MS_CLIENT_API int32_t MS_CLIENT_CALL VerifyNolkVersion(void) { return 0; }

}  // extern "C"
