#include "discovery/reply_fields.h"

#include <cstddef>

#include "ms_client.h"

namespace ms {
namespace {

#define MS_FIELD(key, kind, member)                       \
  ReplyField {                                            \
    key, FieldKind::kind, offsetof(ServerRecord, member), \
        sizeof(ServerRecord::member)                      \
  }
#define MS_PLAYER_FIELD(prefix, kind, member)               \
  ReplyField {                                              \
    prefix, FieldKind::kind, offsetof(PlayerEntry, member), \
        sizeof(PlayerEntry::member)                         \
  }

}  // namespace

const std::array<ReplyField, kServerFieldCount> kServerFields = {{
    MS_FIELD("hostname", kText, hostname),
    MS_FIELD("lock", kInt32, lock),
    MS_FIELD("ded", kInt32, ded),
    MS_FIELD("hostport", kInt16, hostport),
    MS_FIELD("bandwidth", kInt32, bandwidth),
    MS_FIELD("gametype", kGameType, gametype),
    MS_FIELD("maxplayers", kInt8, maxplayers),
    MS_FIELD("numplayers", kInt8, numplayers),
    MS_FIELD("mapname", kText, mapname),
    MS_FIELD("maxa", kInt32, maxa),
    MS_FIELD("maxm", kInt32, maxm),
    MS_FIELD("maxc", kInt32, maxc),
    MS_FIELD("maxp", kInt32, maxp),
    MS_FIELD("frags", kInt32, frags),
    MS_FIELD("score", kInt32, score),
    MS_FIELD("time", kInt32, time),
    MS_FIELD("rounds", kInt32, rounds),
    MS_FIELD("hrace", kInt8, hrace),
    MS_FIELD("prace", kInt8, prace),
    MS_FIELD("ratio", kInt32, ratio),
    MS_FIELD("srace", kInt32, srace),
    MS_FIELD("mrace", kInt32, mrace),
    MS_FIELD("arace", kInt32, arace),
    MS_FIELD("drace", kInt32, drace),
    MS_FIELD("alive", kInt32, alive),
    MS_FIELD("dlive", kInt32, dlive),
    MS_FIELD("speed", kInt32, speed),
    MS_FIELD("respawn", kInt32, respawn),
    MS_FIELD("damage", kInt32, damage),
    MS_FIELD("hitloc", kInt8, hitloc),
    MS_FIELD("ff", kInt8, ff),
    MS_FIELD("fn", kInt8, fn),
    MS_FIELD("mask", kInt8, mask),
    MS_FIELD("class", kInt8, class_),
    MS_FIELD("lc", kInt8, lc),
    MS_FIELD("exosuit", kInt32, exosuit),
    MS_FIELD("queen", kInt32, queen),
    MS_FIELD("cscore", kInt32, cscore),
    MS_FIELD("gamever", kText, gamever),
}};

const std::array<ReplyField, kPlayerFieldCount> kPlayerFields = {{
    MS_PLAYER_FIELD("player_", kText, name),
    MS_PLAYER_FIELD("race_", kInt8, race),
    MS_PLAYER_FIELD("score_", kInt32, score),
    MS_PLAYER_FIELD("ping_", kInt32, ping),
}};

#undef MS_FIELD
#undef MS_PLAYER_FIELD

}  // namespace ms
