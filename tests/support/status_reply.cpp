#include "support/status_reply.h"

#include "discovery/reply_fields.h"

namespace ms::testing {

std::string TypicalStatusReply() {
  std::string reply =
      "\\gamename\\nolk\\gamever\\1.0.2.170\\location\\0"
      "\\hostname\\Example Frag Arena - Eastern Division\\hostport\\27001"
      "\\mapname\\Derelict Station Gamma\\gametype\\Team DM\\numplayers\\16"
      "\\maxplayers\\16\\gamemode\\openplaying\\lock\\0\\ded\\1"
      "\\bandwidth\\2\\maxa\\10\\maxm\\10\\maxc\\12\\maxp\\14\\frags\\50"
      "\\score\\1000\\time\\30\\rounds\\5\\hrace\\1\\prace\\2\\ratio\\3"
      "\\srace\\1\\mrace\\2\\arace\\3\\drace\\1\\alive\\1\\dlive\\0"
      "\\speed\\100\\respawn\\5\\damage\\100\\hitloc\\1\\ff\\0\\fn\\1"
      "\\mask\\7\\class\\3\\lc\\1\\exosuit\\1\\queen\\0\\cscore\\250";
  for (int p = 0; p < kPlayerSlots; ++p) {
    const std::string i = std::to_string(p);
    reply += "\\player_" + i + "\\Player Number " + i + " [clan]";
    reply += "\\race_" + i + "\\" + std::to_string(p % 3);
    reply += "\\score_" + i + "\\" + std::to_string(100 * p - 250);
    reply += "\\ping_" + i + "\\" + std::to_string(20 + 7 * p);
  }
  reply += "\\final\\\\queryid\\1234.1";
  return reply;
}

std::string WorstCaseStatusReply() {
  // Short unknown pairs first, so every key's first occurrence is late.
  std::string reply;
  for (int i = 0; reply.size() < 1000; ++i)
    reply += "\\x" + std::to_string(i % 10) + "\\" + std::to_string(i);
  for (const ReplyField& field : kServerFields)
    reply += "\\" + std::string(field.key) + "\\1";
  for (int p = 0; p < kPlayerSlots; ++p)
    for (const ReplyField& field : kPlayerFields)
      reply += "\\" + std::string(field.key) + std::to_string(p) + "\\9";
  reply.resize(2048, 'z');
  return reply;
}

}  // namespace ms::testing
