/* ms_client: the game-server list library.
 *
 * A host loads the library by name, calls sms_clientReset() to refresh the
 * list, then calls GetServerInfo() until it answers 1. Every export runs to
 * its end on the calling thread; call them from one thread at a time.
 * Valid C (C89 and later) and C++. */
#ifndef MS_CLIENT_H
#define MS_CLIENT_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(MS_CLIENT_BUILDING)
#define MS_CLIENT_API __declspec(dllexport)
#else
#define MS_CLIENT_API __declspec(dllimport)
#endif
/* Caller cleans up the stack: hosts may pass any arguments to
 * VerifyNolkVersion and still return to a balanced stack. */
#define MS_CLIENT_CALL __cdecl
#else
#define MS_CLIENT_API __attribute__((visibility("default")))
#define MS_CLIENT_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Sizes fixed by the host programs that read the records. */
#define MS_CLIENT_RECORD_BYTES 1040
#define MS_CLIENT_PLAYER_BYTES 44
#define MS_CLIENT_MAX_PLAYERS 16
#define MS_CLIENT_PLAYER_ID_BYTES 13

/* One player of an answering server. Text fields end in a zero byte;
 * reserved bytes are always zero. Integers are little-endian. */
typedef struct PlayerEntry {
  uint8_t race;
  uint8_t reserved_1[3];
  int32_t score;
  int32_t ping;
  char name[32];
} PlayerEntry;

/* One answering server, exactly as the host receives it (1040 bytes).
 * A field whose key was missing from the server's reply is zero; address
 * and ping are always set. The rule field named "class" on the wire is
 * class_ here, so the header stays valid C++. */
typedef struct ServerRecord {
  char hostname[64];
  int32_t gametype; /* 0 unknown, 1 DM, 2 Team DM, 3 Hunt, 4 Survivor,
                       5 Overrun, 6 Evac, 7 CTF, 8 Domination */
  int32_t lock;
  uint8_t reserved_72[4];
  int32_t ded;
  char address[64]; /* dotted IPv4 address of the reply's sender */
  uint16_t hostport;
  uint8_t reserved_146[2];
  int32_t bandwidth;
  uint8_t maxplayers;
  uint8_t numplayers;
  char mapname[64];
  uint8_t reserved_218[2];
  int32_t ping; /* milliseconds from the start of collecting to the reply */
  int32_t maxa;
  int32_t maxm;
  int32_t maxc;
  int32_t maxp;
  int32_t frags;
  int32_t score;
  int32_t time;
  int32_t rounds;
  uint8_t hrace;
  uint8_t prace;
  uint8_t reserved_258[2];
  int32_t ratio;
  int32_t srace;
  int32_t mrace;
  int32_t drace;
  int32_t dlive;
  int32_t arace;
  int32_t alive;
  int32_t speed;
  int32_t respawn;
  int32_t damage;
  uint8_t hitloc;
  uint8_t ff;
  uint8_t fn;
  uint8_t mask;
  uint8_t class_;
  uint8_t lc;
  uint8_t reserved_306[2];
  int32_t exosuit;
  int32_t queen;
  int32_t cscore;
  PlayerEntry players[MS_CLIENT_MAX_PLAYERS];
  char gamever[16];
} ServerRecord;

/* Refreshes the server list: asks the master for the registered servers,
 * queries each one, and replaces the table when the sweep runs. Blocks for
 * up to about 4.2 s plus name resolution and connecting. Answers 0 when the
 * refresh ran to its end, 1 when the socket library failed to start, 2 on a
 * socket, send or receive failure with the master, 3 when the master's name
 * did not resolve, 4 when connecting to the master failed. Every call puts
 * the read cursor back to the first record. */
MS_CLIENT_API int32_t MS_CLIENT_CALL sms_clientReset(void);

/* Copies the next record into out (1040 bytes, owned by the caller) and
 * advances the cursor. Answers 1 without copying when the table is empty.
 * With N records, calls 1..N deliver them, calls N+1 and N+2 deliver zeroed
 * records, and call N+2 answers 1; every other call answers 0. */
MS_CLIENT_API int32_t MS_CLIENT_CALL GetServerInfo(ServerRecord* out);

/* Writes the 12-character player id and its zero byte (13 bytes) to out.
 * Answers 0, or 1 when the volume serial number cannot be read; out is
 * then untouched. */
MS_CLIENT_API int32_t MS_CLIENT_CALL GetPlayerID(char* out);

/* Always answers 0. Whatever the host passes is ignored. */
MS_CLIENT_API int32_t MS_CLIENT_CALL VerifyNolkVersion(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

/* The layout is the host's contract: every offset is checked, so a build for
 * any target (32-bit Windows included) proves the same bytes. */
#if defined(__cplusplus)
#define MS_CLIENT_LAYOUT_ASSERT(cond, msg) static_assert(cond, msg)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define MS_CLIENT_LAYOUT_ASSERT(cond, msg) _Static_assert(cond, msg)
#else
#define MS_CLIENT_LAYOUT_GLUE2(a, b) a##b
#define MS_CLIENT_LAYOUT_GLUE(a, b) MS_CLIENT_LAYOUT_GLUE2(a, b)
#define MS_CLIENT_LAYOUT_ASSERT(cond, msg)                     \
  typedef char MS_CLIENT_LAYOUT_GLUE(ms_client_layout_assert_, \
                                     __LINE__)[(cond) ? 1 : -1]
#endif

#define MS_CLIENT_AT(type, field, offset)                  \
  MS_CLIENT_LAYOUT_ASSERT(offsetof(type, field) == offset, \
                          #type "." #field " must sit at " #offset)

MS_CLIENT_LAYOUT_ASSERT(sizeof(PlayerEntry) == MS_CLIENT_PLAYER_BYTES,
                        "PlayerEntry is 44 bytes");
MS_CLIENT_AT(PlayerEntry, race, 0);
MS_CLIENT_AT(PlayerEntry, reserved_1, 1);
MS_CLIENT_AT(PlayerEntry, score, 4);
MS_CLIENT_AT(PlayerEntry, ping, 8);
MS_CLIENT_AT(PlayerEntry, name, 12);

MS_CLIENT_LAYOUT_ASSERT(sizeof(ServerRecord) == MS_CLIENT_RECORD_BYTES,
                        "ServerRecord is 1040 bytes");
MS_CLIENT_AT(ServerRecord, hostname, 0);
MS_CLIENT_AT(ServerRecord, gametype, 64);
MS_CLIENT_AT(ServerRecord, lock, 68);
MS_CLIENT_AT(ServerRecord, reserved_72, 72);
MS_CLIENT_AT(ServerRecord, ded, 76);
MS_CLIENT_AT(ServerRecord, address, 80);
MS_CLIENT_AT(ServerRecord, hostport, 144);
MS_CLIENT_AT(ServerRecord, reserved_146, 146);
MS_CLIENT_AT(ServerRecord, bandwidth, 148);
MS_CLIENT_AT(ServerRecord, maxplayers, 152);
MS_CLIENT_AT(ServerRecord, numplayers, 153);
MS_CLIENT_AT(ServerRecord, mapname, 154);
MS_CLIENT_AT(ServerRecord, reserved_218, 218);
MS_CLIENT_AT(ServerRecord, ping, 220);
MS_CLIENT_AT(ServerRecord, maxa, 224);
MS_CLIENT_AT(ServerRecord, maxm, 228);
MS_CLIENT_AT(ServerRecord, maxc, 232);
MS_CLIENT_AT(ServerRecord, maxp, 236);
MS_CLIENT_AT(ServerRecord, frags, 240);
MS_CLIENT_AT(ServerRecord, score, 244);
MS_CLIENT_AT(ServerRecord, time, 248);
MS_CLIENT_AT(ServerRecord, rounds, 252);
MS_CLIENT_AT(ServerRecord, hrace, 256);
MS_CLIENT_AT(ServerRecord, prace, 257);
MS_CLIENT_AT(ServerRecord, reserved_258, 258);
MS_CLIENT_AT(ServerRecord, ratio, 260);
MS_CLIENT_AT(ServerRecord, srace, 264);
MS_CLIENT_AT(ServerRecord, mrace, 268);
MS_CLIENT_AT(ServerRecord, drace, 272);
MS_CLIENT_AT(ServerRecord, dlive, 276);
MS_CLIENT_AT(ServerRecord, arace, 280);
MS_CLIENT_AT(ServerRecord, alive, 284);
MS_CLIENT_AT(ServerRecord, speed, 288);
MS_CLIENT_AT(ServerRecord, respawn, 292);
MS_CLIENT_AT(ServerRecord, damage, 296);
MS_CLIENT_AT(ServerRecord, hitloc, 300);
MS_CLIENT_AT(ServerRecord, ff, 301);
MS_CLIENT_AT(ServerRecord, fn, 302);
MS_CLIENT_AT(ServerRecord, mask, 303);
MS_CLIENT_AT(ServerRecord, class_, 304);
MS_CLIENT_AT(ServerRecord, lc, 305);
MS_CLIENT_AT(ServerRecord, reserved_306, 306);
MS_CLIENT_AT(ServerRecord, exosuit, 308);
MS_CLIENT_AT(ServerRecord, queen, 312);
MS_CLIENT_AT(ServerRecord, cscore, 316);
MS_CLIENT_AT(ServerRecord, players, 320);
MS_CLIENT_AT(ServerRecord, gamever, 1024);

#undef MS_CLIENT_AT

#endif /* MS_CLIENT_H */
