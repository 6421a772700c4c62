/* Compiled as C: the public header must stay valid C for C hosts. */
#include "ms_client.h"

int ms_client_header_check(ServerRecord* record, const PlayerEntry* player) {
  record->players[0] = *player;
  return (int)sizeof record->hostname + record->players[0].race;
}
