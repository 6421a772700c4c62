#include "discovery/master_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_platform.h"

namespace ms::testing {
namespace {

using ::std::string;
using namespace std::string_literals;

// A list message: tag, one filler byte, a head ended by 0x01, the lines and
// the closing 0x02.
const string kList =
    "101\xff"
    "head\x01"
    "10.0.0.1:27001\n10.0.0.2:27002\n\x02"s;
const string kListText = "10.0.0.1:27001\n10.0.0.2:27002\n\x02"s;

class MasterListTest : public ::testing::Test {
 protected:
  MasterListResult Fetch() { return FetchMasterList(fake_, "master.test"); }

  // Ticks for the start and for each pass's deadline check.
  void Ticks(std::vector<std::uint32_t> ticks) {
    fake_.ticks.assign(ticks.begin(), ticks.end());
  }
  void Reads(std::vector<ScriptedRead> reads) {
    fake_.tcp_reads.assign(reads.begin(), reads.end());
  }
  int Passes() const {
    return static_cast<int>(fake_.CallsNamed("Receive").size());
  }

  FakePlatform fake_;
};

TEST_F(MasterListTest, ConnectsRequestsAndReturnsTheTextAfterTheHead) {
  Ticks({0, 5});
  Reads({Bytes(kList)});
  MasterListResult result = Fetch();
  ASSERT_TRUE(result.has_list);
  EXPECT_EQ(result.failure, 0);
  EXPECT_EQ(result.list_text, kListText);
  EXPECT_EQ(fake_.calls,
            (std::vector<string>{"OpenTcp 1", "Resolve master.test",
                                 "Connect 1 127.0.0.1:28900", "Send 1 001",
                                 "SetNonBlocking 1", "TickMs 0", "Receive 1",
                                 "Close 1"}));
}

TEST_F(MasterListTest, FailuresGiveTheirCodeAndCloseWhatWasOpened) {
  struct Case {
    const char* what;
    void (*arrange)(FakePlatform&);
    int failure;
    int opened;
  };
  const Case cases[] = {
      {"socket", [](FakePlatform& f) { f.tcp_open_fails = true; }, 2, 0},
      {"resolve", [](FakePlatform& f) { f.resolve_fails = true; }, 3, 1},
      {"connect", [](FakePlatform& f) { f.connect_fails = true; }, 4, 1},
      {"send", [](FakePlatform& f) { f.send_fails = true; }, 2, 1},
      {"read error",
       [](FakePlatform& f) { f.tcp_reads.push_back(Failed(10054)); }, 2, 1},
      {"read error after data",
       [](FakePlatform& f) {
         f.tcp_reads.push_back(
             Bytes("101 \x01"
                   "1.2.3.4:5\n"));
         f.tcp_reads.push_back(Failed(10053));
       },
       2, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform fake;
    c.arrange(fake);
    MasterListResult result = FetchMasterList(fake, "master.test");
    EXPECT_EQ(result.failure, c.failure);
    EXPECT_FALSE(result.has_list);
    EXPECT_EQ(fake.sockets_opened, c.opened);
    EXPECT_EQ(fake.OpenSockets(), 0);
  }
}

TEST_F(MasterListTest, CloseWithoutListGivesNoList) {
  Reads({WouldBlock(),
         Bytes("101 \x01"
               "1.2.3.4:5\n"),
         Closed()});
  MasterListResult result = Fetch();
  EXPECT_EQ(result.failure, 0);
  EXPECT_FALSE(result.has_list);
  EXPECT_EQ(fake_.OpenSockets(), 0);
}

TEST_F(MasterListTest, ListSplitOverReadsIsTestedOnceItsEndArrives) {
  Ticks({0, 1, 2, 3, 4});
  Reads({Bytes("10"), WouldBlock(),
         Bytes("1\xff"
               "head\x01"
               "10.0.0.1:27001\n"),
         Bytes("10.0.0.2:27002\n\x02")});
  MasterListResult result = Fetch();
  ASSERT_TRUE(result.has_list);
  EXPECT_EQ(result.list_text, kListText);
  EXPECT_EQ(Passes(), 4);
}

TEST_F(MasterListTest, OtherMessagesAreDroppedOnePerPass) {
  // Two unknown messages and the list, all in one read: the first pass drops
  // the first, the second pass drops the second, the third uses the list.
  Ticks({0, 1, 2, 3});
  Reads(
      {Bytes("002 hello\x02"
             "003\x02"s +
             kList)});
  MasterListResult result = Fetch();
  ASSERT_TRUE(result.has_list);
  EXPECT_EQ(result.list_text, kListText);
  EXPECT_EQ(Passes(), 3);
  // A complete message was pending after each drop: no pass slept.
  EXPECT_TRUE(fake_.CallsNamed("WaitReadable").empty());
}

TEST_F(MasterListTest, CloseBeforeAPendingListIsTestedGivesNoList) {
  Reads({Bytes("hello\x02"s + kList), Closed()});
  MasterListResult result = Fetch();
  EXPECT_FALSE(result.has_list);
  EXPECT_EQ(result.failure, 0);
}

TEST_F(MasterListTest, ErrorBeforeAPendingListIsTestedGivesTwo) {
  Reads({Bytes("hello\x02"s + kList), Failed(10054)});
  EXPECT_EQ(Fetch().failure, 2);
}

TEST_F(MasterListTest, DeadlineIsReadOnlyAtTheEndOfAPass) {
  // The read that completes the list comes in the pass where the time runs
  // out: the list is still used.
  Ticks({1000, 2000, 9000});
  Reads({Bytes("101 \x01"
               "1.2.3.4:5\n"),
         Bytes("\x02")});
  MasterListResult result = Fetch();
  ASSERT_TRUE(result.has_list);
  EXPECT_EQ(result.list_text, "1.2.3.4:5\n\x02");
}

TEST_F(MasterListTest, DeadlineIsLaterThanThreeSecondsNotAt) {
  Ticks({1000, 4000, 4001});
  MasterListResult result = Fetch();
  EXPECT_FALSE(result.has_list);
  EXPECT_EQ(Passes(), 2);  // 3000 ms elapsed goes on, 3001 ends
}

TEST_F(MasterListTest, DeadlineAfterADropLeavesThePendingListUntested) {
  Ticks({0, 3001});
  Reads({Bytes("hello\x02"s + kList)});
  MasterListResult result = Fetch();
  EXPECT_FALSE(result.has_list);
  EXPECT_EQ(Passes(), 1);
}

TEST_F(MasterListTest, WindowThatStraddlesTheTickWrapLastsItsFullTime) {
  // Started 1000 ms before the 32-bit tick wraps: 2500 ms later the tick is
  // small, yet the window is still open; it closes at 3001 ms.
  Ticks({0xFFFFFC18u, 0xFFFFFF00u, 1500, 2000, 2001});
  MasterListResult result = Fetch();
  EXPECT_FALSE(result.has_list);
  EXPECT_EQ(Passes(), 4);
  EXPECT_TRUE(fake_.ticks.empty());
}

TEST_F(MasterListTest, SilentMasterSleepsUntilTheDeadlineInsteadOfSpinning) {
  Ticks({100, 100, 2600, 3101});
  MasterListResult result = Fetch();
  EXPECT_FALSE(result.has_list);
  EXPECT_EQ(Passes(), 3);
  // Each sleep lasts until the deadline would be passed.
  EXPECT_EQ(fake_.CallsNamed("WaitReadable"),
            (std::vector<string>{"WaitReadable 1 3001", "WaitReadable 1 501"}));
}

TEST_F(MasterListTest, NoSleepAfterAReadThatBroughtData) {
  Ticks({0, 1, 2, 3});
  Reads({Bytes("101"), Bytes(" \x01"), WouldBlock(), Bytes("\x02")});
  ASSERT_TRUE(Fetch().has_list);
  EXPECT_EQ(fake_.CallsNamed("WaitReadable"),
            (std::vector<string>{"WaitReadable 1 2998"}));
}

TEST_F(MasterListTest, HeadHandling) {
  struct Case {
    const char* what;
    string stream;
    string list_text;
  };
  const Case cases[] = {
      {"head ends at the first 0x01",
       "101xab\x01"
       "cd\x01"
       "1.2.3.4:5\n\x02"s,
       "cd\x01"
       "1.2.3.4:5\n\x02"s},
      {"no 0x01 anywhere: the text starts at the fifth byte",
       "101x1.2.3.4:5\n\x02"s, "1.2.3.4:5\n\x02"s},
      {"0x01 only after the message: the lines go with the head",
       "101x1.2.3.4:5\n\x02"
       "tail\x01"
       "rest"s,
       "rest"s},
      {"the filler byte may be 0x01, it is skipped all the same",
       "101\x01"
       "1.2.3.4:5\n\x02"s,
       "1.2.3.4:5\n\x02"s},
      {"bytes after the list are kept",
       "101x\x01"
       "1.2.3.4:5\n\x02"
       "more"s,
       "1.2.3.4:5\n\x02"
       "more"s},
      {"shortest list message", "101\x02"s, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform fake;
    fake.tcp_reads.push_back(Bytes(c.stream));
    MasterListResult result = FetchMasterList(fake, "m");
    ASSERT_TRUE(result.has_list);
    EXPECT_EQ(result.list_text, c.list_text);
  }
}

TEST_F(MasterListTest, ZeroByteInAReadLosesTheRestOfThatRead) {
  Ticks({0, 1, 2});
  Reads({Bytes("101 \x01"
               "1.2.3.4:5\n"
               "\0"
               "9.9.9.9:9\n\x02"s),
         Bytes("5.6.7.8:9\n\x02")});
  MasterListResult result = Fetch();
  ASSERT_TRUE(result.has_list);
  EXPECT_EQ(result.list_text, "1.2.3.4:5\n5.6.7.8:9\n\x02");
}

TEST_F(MasterListTest, AFullReadOf2048BytesIsKeptWhole) {
  string stream = "101 \x01";
  while (stream.size() < 2047) stream += "1";
  stream += "\x02";
  ASSERT_EQ(stream.size(), 2048u);
  Reads({Bytes(stream)});
  MasterListResult result = Fetch();
  ASSERT_TRUE(result.has_list);
  EXPECT_EQ(result.list_text.size(), 2048u - 5);
  EXPECT_EQ(fake_.largest_receive_capacity, 2048u);
}

TEST_F(MasterListTest, MegabyteListInSmallReadsIsUsed) {
  string lines;
  while (lines.size() < (std::size_t{1} << 20))
    lines += "192.168.100.200:27001\n";
  const string message = "101 \x01" + lines + "\x02";
  for (std::size_t at = 0; at < message.size(); at += 1000)
    fake_.tcp_reads.push_back(Bytes(message.substr(at, 1000)));
  fake_.ticks.assign(fake_.tcp_reads.size() + 1, 0);
  MasterListResult result = Fetch();
  ASSERT_TRUE(result.has_list);
  EXPECT_EQ(result.list_text, lines + "\x02");
}

TEST_F(MasterListTest, EndlessStreamWithoutMessageEndIsCutOff) {
  // Garbage that never ends a message: past the bound the exchange gives up
  // rather than hold it all.
  const string chunk(2048, 'g');
  const std::size_t reads = kMaxMessageBytes / chunk.size() + 10;
  for (std::size_t i = 0; i < reads; ++i)
    fake_.tcp_reads.push_back(Bytes(chunk));
  fake_.ticks.assign(reads + 1, 0);
  MasterListResult result = Fetch();
  EXPECT_FALSE(result.has_list);
  EXPECT_EQ(result.failure, 0);
  EXPECT_EQ(static_cast<std::size_t>(Passes()),
            kMaxMessageBytes / chunk.size() + 1);
  EXPECT_EQ(fake_.OpenSockets(), 0);
}

TEST_F(MasterListTest, ManyDroppedMessagesKeepTheTextBounded) {
  // A stream of small unknown messages: one is dropped per pass, so the
  // pending text grows, but past the bound the exchange ends.
  string chunk;
  while (chunk.size() + 4 <= 2048) chunk += "99\x02";
  const std::size_t reads = 2 * kMaxMessageBytes / chunk.size();
  for (std::size_t i = 0; i < reads; ++i)
    fake_.tcp_reads.push_back(Bytes(chunk));
  fake_.ticks.assign(reads + 1, 0);
  MasterListResult result = Fetch();
  EXPECT_FALSE(result.has_list);
  EXPECT_LT(static_cast<std::size_t>(Passes()), reads);
}

}  // namespace
}  // namespace ms::testing
