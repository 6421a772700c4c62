#include "discovery/reply_decoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "support/reference_decoder.h"
#include "support/status_reply.h"

namespace ms::testing {
namespace {

using namespace std::string_literals;

ServerRecord Decode(const std::string& reply) {
  ServerRecord record{};
  DecodeStatusReply(record, reply.data(), reply.size());
  return record;
}

ServerRecord ReferenceDecode(const std::string& reply) {
  ServerRecord record{};
  ReferenceDecodeStatusReply(record, reply.c_str());
  return record;
}

bool SameBytes(const ServerRecord& a, const ServerRecord& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(ParseDecimalTest, ReadsAsAtoiDoesWithWrapAround) {
  struct Case {
    const char* text;
    std::int32_t value;
  };
  const Case cases[] = {
      {"42", 42},
      {"", 0},
      {"abc", 0},
      {" \t\n\v\f\r17", 17},
      {"+5", 5},
      {"-1", -1},
      {"--1", 0},
      {"+-1", 0},
      {"- 1", 0},
      {"12abc", 12},
      {"27001\r", 27001},
      {"3.9", 3},
      {"2147483647", 2147483647},
      {"2147483648", INT32_MIN},
      {"-2147483648", INT32_MIN},
      {"4294967301", 5},  // 2^32 + 5
      {"-4294967297", -1},
      {"00000000000000000000000000000000000042", 42},
      {"99999999999999999999", static_cast<std::int32_t>(1661992959u)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseDecimal(c.text), c.value);
  }
}

TEST(MapGameTypeTest, ExactNamesOnly) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"DM", 1},      {"Team DM", 2},    {"Hunt", 3}, {"Survivor", 4},
      {"Overrun", 5}, {"Evac", 6},       {"CTF", 7},  {"Domination", 8},
      {"team dm", 0}, {"", 0},           {"DM ", 0},  {"Team", 0},
      {"ctf", 0},     {"Dominations", 0}};
  for (const auto& [name, code] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(MapGameType(name), code);
  }
}

// One row per rule of decoding: the reply, and what the record must show.
struct DecodeCase {
  const char* what;
  std::string reply;
  std::function<void(const ServerRecord&)> check;
};

TEST(DecodeStatusReplyTest, Rules) {
  const std::string long_name(100, 'n');
  const std::string value_300 = std::string(150, '1') + std::string(150, '7');
  const DecodeCase cases[] = {
      {"text and numbers", "\\hostname\\Arena\\maxplayers\\16\\lock\\1",
       [](const ServerRecord& r) {
         EXPECT_STREQ(r.hostname, "Arena");
         EXPECT_EQ(r.maxplayers, 16);
         EXPECT_EQ(r.lock, 1);
       }},
      {"missing key stays zero", "\\hostname\\Arena",
       [](const ServerRecord& r) {
         EXPECT_EQ(r.mapname[0], '\0');
         EXPECT_EQ(r.maxplayers, 0);
       }},
      {"game type through the name table", "\\gametype\\Team DM",
       [](const ServerRecord& r) { EXPECT_EQ(r.gametype, 2); }},
      {"game type in lower case is unknown", "\\gametype\\team dm",
       [](const ServerRecord& r) { EXPECT_EQ(r.gametype, 0); }},
      {"empty game type", "\\gametype\\\\x\\y",
       [](const ServerRecord& r) { EXPECT_EQ(r.gametype, 0); }},
      {"long text cut to the field", "\\hostname\\" + long_name,
       [long_name](const ServerRecord& r) {
         EXPECT_EQ(std::string(r.hostname), long_name.substr(0, 63));
         EXPECT_EQ(r.hostname[63], '\0');
       }},
      {"value cut at 160 characters before it is read", "\\frags\\" + value_300,
       [](const ServerRecord& r) {
         // Only the first 160 digits are read: 150 ones and 10 sevens.
         EXPECT_EQ(r.frags,
                   ParseDecimal(std::string(150, '1') + std::string(10, '7')));
       }},
      {"8-bit field keeps the low bits", "\\numplayers\\300",
       [](const ServerRecord& r) { EXPECT_EQ(r.numplayers, 44); }},
      {"16-bit field keeps the low bits", "\\hostport\\65537",
       [](const ServerRecord& r) { EXPECT_EQ(r.hostport, 1); }},
      {"32-bit field wraps", "\\score\\4294967301",
       [](const ServerRecord& r) { EXPECT_EQ(r.score, 5); }},
      {"negative 8-bit", "\\class\\-1",
       [](const ServerRecord& r) { EXPECT_EQ(r.class_, 255); }},
      {"first occurrence wins", "\\mapname\\first\\mapname\\second",
       [](const ServerRecord& r) { EXPECT_STREQ(r.mapname, "first"); }},
      {"a value that spells a key shadows it",
       "\\hostname\\mapname\\mapname\\dm1",
       [](const ServerRecord& r) {
         EXPECT_STREQ(r.hostname, "mapname");
         EXPECT_STREQ(r.mapname, "mapname");
       }},
      {"keys are case-sensitive", "\\HostName\\x\\MAPNAME\\y",
       [](const ServerRecord& r) {
         EXPECT_EQ(r.hostname[0], '\0');
         EXPECT_EQ(r.mapname[0], '\0');
       }},
      {"key needs both backslashes", "\\cscore\\7\\xscore\\8",
       [](const ServerRecord& r) {
         EXPECT_EQ(r.cscore, 7);
         EXPECT_EQ(r.score, 0);
       }},
      {"key at the very end has an empty value", "\\hostname\\A\\maxa\\",
       [](const ServerRecord& r) {
         EXPECT_STREQ(r.hostname, "A");
         EXPECT_EQ(r.maxa, 0);
       }},
      {"key without closing backslash is no key", "\\hostname\\A\\maxa",
       [](const ServerRecord& r) { EXPECT_EQ(r.maxa, 0); }},
      {"text before the first backslash is ignored", "hostname\\A\\ded\\1",
       [](const ServerRecord& r) {
         EXPECT_STREQ(r.hostname, "");
         EXPECT_EQ(r.ded, 1);
       }},
      {"player fields", "\\player_3\\Zed\\race_3\\2\\score_3\\-40\\ping_3\\-1",
       [](const ServerRecord& r) {
         EXPECT_STREQ(r.players[3].name, "Zed");
         EXPECT_EQ(r.players[3].race, 2);
         EXPECT_EQ(r.players[3].score, -40);
         EXPECT_EQ(r.players[3].ping, -1);
         EXPECT_EQ(r.players[2].name[0], '\0');
       }},
      {"player 15 is the last", "\\player_15\\Last\\player_16\\Beyond",
       [](const ServerRecord& r) { EXPECT_STREQ(r.players[15].name, "Last"); }},
      {"index with a leading zero never matches",
       "\\player_03\\Zed\\player_00\\Z",
       [](const ServerRecord& r) {
         EXPECT_EQ(r.players[3].name[0], '\0');
         EXPECT_EQ(r.players[0].name[0], '\0');
       }},
      {"player name cut to 31", "\\player_0\\" + std::string(40, 'p'),
       [](const ServerRecord& r) {
         EXPECT_EQ(std::string(r.players[0].name), std::string(31, 'p'));
       }},
      {"server score is not a player score", "\\score_1\\5\\score\\9",
       [](const ServerRecord& r) {
         EXPECT_EQ(r.score, 9);
         EXPECT_EQ(r.players[1].score, 5);
       }},
      {"zero byte hides the rest", "\\hostname\\A\0\\mapname\\dm1"s,
       [](const ServerRecord& r) {
         EXPECT_STREQ(r.hostname, "A");
         EXPECT_EQ(r.mapname[0], '\0');
       }},
      {"bytes above 127 are kept", "\\hostname\\\xe9t\xe9",
       [](const ServerRecord& r) { EXPECT_STREQ(r.hostname, "\xe9t\xe9"); }},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.what);
    const ServerRecord record = Decode(c.reply);
    c.check(record);
    EXPECT_TRUE(SameBytes(record, ReferenceDecode(c.reply.c_str())))
        << "differs from the per-key decoder";
  }
}

TEST(DecodeStatusReplyTest, AddressAndPingAreLeftAsTheSweepSetThem) {
  ServerRecord record{};
  std::strcpy(record.address, "10.1.2.3");
  record.ping = 77;
  const std::string reply = "\\hostname\\A\\ping\\5\\address\\x";
  DecodeStatusReply(record, reply.data(), reply.size());
  EXPECT_STREQ(record.address, "10.1.2.3");
  EXPECT_EQ(record.ping, 77);
}

TEST(DecodeStatusReplyTest, RichReplyFillsEveryFieldAtItsOffset) {
  const std::string reply = TypicalStatusReply();
  const ServerRecord record = Decode(reply);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
  auto text_at = [&](std::size_t offset) {
    return std::string(reinterpret_cast<const char*>(bytes + offset));
  };
  auto int_at = [&](std::size_t offset, std::size_t size) {
    std::uint32_t v = 0;
    for (std::size_t b = 0; b < size; ++b)
      v |= std::uint32_t{bytes[offset + b]} << (8 * b);
    return v;
  };
  EXPECT_EQ(text_at(0), "Example Frag Arena - Eastern Division");
  EXPECT_EQ(int_at(64, 4), 2u);  // Team DM
  EXPECT_EQ(int_at(68, 4), 0u);
  EXPECT_EQ(int_at(76, 4), 1u);
  EXPECT_EQ(int_at(144, 2), 27001u);
  EXPECT_EQ(int_at(148, 4), 2u);
  EXPECT_EQ(int_at(152, 1), 16u);
  EXPECT_EQ(int_at(153, 1), 16u);
  EXPECT_EQ(text_at(154), "Derelict Station Gamma");
  const std::pair<std::size_t, std::uint32_t> ints[] = {
      {224, 10}, {228, 10}, {232, 12}, {236, 14},  {240, 50}, {244, 1000},
      {248, 30}, {252, 5},  {260, 3},  {264, 1},   {268, 2},  {272, 1},
      {276, 0},  {280, 3},  {284, 1},  {288, 100}, {292, 5},  {296, 100},
      {308, 1},  {312, 0},  {316, 250}};
  for (const auto& [offset, value] : ints) {
    SCOPED_TRACE(offset);
    EXPECT_EQ(int_at(offset, 4), value);
  }
  const std::pair<std::size_t, std::uint32_t> bytes_8[] = {
      {256, 1}, {257, 2}, {300, 1}, {301, 0},
      {302, 1}, {303, 7}, {304, 3}, {305, 1}};
  for (const auto& [offset, value] : bytes_8) {
    SCOPED_TRACE(offset);
    EXPECT_EQ(int_at(offset, 1), value);
  }
  for (int p = 0; p < 16; ++p) {
    SCOPED_TRACE(p);
    const std::size_t base = 320 + 44 * static_cast<std::size_t>(p);
    EXPECT_EQ(int_at(base, 1), static_cast<std::uint32_t>(p % 3));
    EXPECT_EQ(static_cast<std::int32_t>(int_at(base + 4, 4)), 100 * p - 250);
    EXPECT_EQ(static_cast<std::int32_t>(int_at(base + 8, 4)), 20 + 7 * p);
    EXPECT_EQ(text_at(base + 12),
              "Player Number " + std::to_string(p) + " [clan]");
    for (std::size_t r = 1; r < 4; ++r) EXPECT_EQ(bytes[base + r], 0);
  }
  EXPECT_EQ(text_at(1024), "1.0.2.170");
  // Reserved bytes, address and ping untouched.
  for (std::size_t offset :
       {72, 73, 74, 75, 146, 147, 218, 219, 258, 259, 306, 307})
    EXPECT_EQ(bytes[offset], 0) << offset;
  EXPECT_EQ(text_at(80), "");
  EXPECT_EQ(int_at(220, 4), 0u);
  EXPECT_TRUE(SameBytes(record, ReferenceDecode(reply)));
}

TEST(DecodeStatusReplyTest, MatchesThePerKeyDecoderOnGeneratedReplies) {
  // Replies built from key names, values that spell keys, stray and doubled
  // backslashes and long values: the two decoders must agree byte for byte.
  const char* pieces[] = {"\\",
                          "\\\\",
                          "hostname",
                          "mapname",
                          "player_1",
                          "player_01",
                          "score",
                          "score_",
                          "score_15",
                          "ping_0",
                          "x",
                          "Team DM",
                          "12",
                          "-7",
                          "4294967301",
                          " ",
                          "\\gametype\\",
                          "\\numplayers\\300",
                          "gamever",
                          "race_9"};
  std::uint32_t state = 12345;
  for (int round = 0; round < 20000; ++round) {
    std::string reply;
    const int count = static_cast<int>(state % 40);
    for (int i = 0; i < count; ++i) {
      state = state * 1103515245u + 12345u;
      reply += pieces[(state >> 16) % std::size(pieces)];
      if ((state >> 8) % 17 == 0) reply += std::string(170, 'v');
    }
    state = state * 1103515245u + 12345u;
    ASSERT_TRUE(SameBytes(Decode(reply), ReferenceDecode(reply))) << reply;
  }
}

}  // namespace
}  // namespace ms::testing
