/* Links against the installed library and calls it as a C host would. */
#include <stdio.h>
#include <string.h>

#include <ms_client.h>

int main(void) {
  ServerRecord record;
  char id[MS_CLIENT_PLAYER_ID_BYTES];
  memset(&record, 0, sizeof record);
  if (VerifyNolkVersion() != 0) return 1;
  if (GetServerInfo(&record) != 1) return 2; /* nothing refreshed yet */
  if (GetPlayerID(id) != 0 || strlen(id) != 12) return 3;
  printf("consumer ok: %s\n", id);
  return 0;
}
