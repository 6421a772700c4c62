#include "discovery/status_sweep.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/fake_platform.h"

namespace ms::testing {
namespace {

using namespace std::string_literals;

constexpr Ipv4 kA = 0x0A000001;  // 10.0.0.1
constexpr Ipv4 kB = 0x0A000002;
constexpr Ipv4 kC = 0x0A000003;

std::string ListOf(int servers) {
  std::string list;
  for (int i = 1; i <= servers; ++i)
    list += "10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256) +
            ":" + std::to_string(27000 + i) + "\n";
  return list + "\x02";
}

class StatusSweepTest : public ::testing::Test {
 protected:
  StatusSweepTest() {
    ClearSlots(*table_);
    std::strcpy(table_->slots[5].hostname, "stale");
    table_->count = 6;
  }

  void Sweep(const std::string& list, std::int64_t frequency = 1000) {
    QueryServers(fake_, *table_, list, frequency);
  }
  void UdpReads(std::vector<ScriptedRead> reads) {
    fake_.udp_reads.assign(reads.begin(), reads.end());
  }
  // Would-blocks for the drain after each of n queries.
  static std::vector<ScriptedRead> QuietWhileSending(int n) {
    return std::vector<ScriptedRead>(static_cast<std::size_t>(n), WouldBlock());
  }
  static std::vector<ScriptedRead> Then(std::vector<ScriptedRead> a,
                                        std::vector<ScriptedRead> b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }

  FakePlatform fake_;
  std::unique_ptr<ServerTable> table_ = std::make_unique<ServerTable>();
};

TEST_F(StatusSweepTest, QueriesEveryListedServerFromOneSocket) {
  Sweep("10.0.0.1:27001\n10.0.0.2:27002\r\n\x02");
  ASSERT_EQ(fake_.datagrams.size(), 2u);
  EXPECT_EQ(fake_.datagrams[0].address, kA);
  EXPECT_EQ(fake_.datagrams[0].port, 27001);
  EXPECT_EQ(fake_.datagrams[1].address, kB);
  EXPECT_EQ(fake_.datagrams[1].port, 27002);
  for (const SentDatagram& d : fake_.datagrams) {
    EXPECT_EQ(d.bytes, "\\status\\");
    EXPECT_EQ(d.socket, fake_.datagrams[0].socket);
  }
  EXPECT_EQ(fake_.calls[0], "OpenUdp 1");
  EXPECT_EQ(fake_.calls[1], "SetNonBlocking 1");
  EXPECT_EQ(fake_.sockets_opened, 1);
  EXPECT_EQ(fake_.OpenSockets(), 0);
}

TEST_F(StatusSweepTest, EmptyListClearsTheTableAndSendsNothing) {
  for (const std::string& list : {""s, "\x02"s,
                                  "\x02"
                                  "10.0.0.1:1\n"s}) {
    SCOPED_TRACE(list);
    fake_ = FakePlatform();
    table_->count = 6;
    std::strcpy(table_->slots[5].hostname, "stale");
    Sweep(list);
    EXPECT_TRUE(fake_.datagrams.empty());
    EXPECT_EQ(table_->count, 0);
    EXPECT_EQ(table_->slots[5].hostname[0], '\0');
    EXPECT_TRUE(fake_.CallsNamed("ReceiveFrom").empty());
    EXPECT_EQ(fake_.OpenSockets(), 0);
  }
}

TEST_F(StatusSweepTest, AtMost128Queries) {
  Sweep(ListOf(129));
  EXPECT_EQ(fake_.datagrams.size(), 128u);
  EXPECT_EQ(fake_.datagrams.back().port, 27128);
}

TEST_F(StatusSweepTest, RepliesFillSlotsInOrderOfArrivalWithTheirTimes) {
  fake_.ticks = {0, 0, 10, 20, 30};
  // t0, then one reading per reply: 2.9 ms gives 2, the fraction dropped.
  fake_.counters = {1000000, 1002900, 1050000, 1999999};
  fake_.frequency = 1000000;
  UdpReads(Then(QuietWhileSending(3),
                {From(kC, "\\hostname\\C"), From(kA, "\\hostname\\A"),
                 From(kB, "\\hostname\\B")}));
  Sweep(ListOf(3), 1000000);
  ASSERT_EQ(table_->count, 3);
  EXPECT_STREQ(table_->slots[0].address, "10.0.0.3");
  EXPECT_STREQ(table_->slots[0].hostname, "C");
  EXPECT_EQ(table_->slots[0].ping, 2);
  EXPECT_STREQ(table_->slots[1].address, "10.0.0.1");
  EXPECT_EQ(table_->slots[1].ping, 50);
  EXPECT_STREQ(table_->slots[2].address, "10.0.0.2");
  EXPECT_EQ(table_->slots[2].ping, 999);
  // As many replies as queries: collecting ended there, no more reads.
  EXPECT_EQ(fake_.CallsNamed("ReceiveFrom").size(), 6u);
  EXPECT_STREQ(table_->slots[5].hostname, "");
}

TEST_F(StatusSweepTest, ReadsThatTakeNoSlot) {
  fake_.ticks = {0, 0, 1, 2, 3, 4, 5, 6, 7};
  UdpReads(Then(QuietWhileSending(2),
                {Bytes(""), Failed(kErrorTooLarge),
                 From(kA, std::string(2049, 'x')), WouldBlock(), Failed(10054),
                 From(kB, "\\hostname\\B"), From(kA, "\\hostname\\A")}));
  Sweep(ListOf(2));
  ASSERT_EQ(table_->count, 2);
  EXPECT_STREQ(table_->slots[0].hostname, "B");
  EXPECT_STREQ(table_->slots[1].hostname, "A");
}

TEST_F(StatusSweepTest, DatagramOfExactly2048BytesIsDecodedWhole) {
  std::string reply = "\\hostname\\Full";
  reply += "\\pad\\" + std::string(2048 - reply.size() - 5 - 10, 'p');
  reply += "\\mapname\\x";
  ASSERT_EQ(reply.size(), 2048u);
  UdpReads(Then(QuietWhileSending(1), {From(kA, reply)}));
  Sweep(ListOf(1));
  ASSERT_EQ(table_->count, 1);
  EXPECT_STREQ(table_->slots[0].mapname, "x");
  EXPECT_EQ(fake_.largest_receive_capacity, 2048u);
}

TEST_F(StatusSweepTest, AnyoneMayAnswerAndTwiceFillsTwoSlots) {
  UdpReads(Then(
      QuietWhileSending(2),
      {From(0xC0A80001u, "\\hostname\\stranger"), From(kA, "\\hostname\\A")}));
  Sweep(ListOf(2));
  ASSERT_EQ(table_->count, 2);
  EXPECT_STREQ(table_->slots[0].address, "192.168.0.1");

  fake_ = FakePlatform();
  UdpReads(Then(QuietWhileSending(2),
                {From(kA, "\\hostname\\A"), From(kA, "\\hostname\\A")}));
  Sweep(ListOf(2));
  ASSERT_EQ(table_->count, 2);
  EXPECT_STREQ(table_->slots[1].address, "10.0.0.1");
}

TEST_F(StatusSweepTest, WindowClosesAt1200MsAndTheCountIsWritten) {
  fake_.ticks = {5000, 5000, 5000, 5400, 6199, 6200, 9999};
  UdpReads(
      Then(QuietWhileSending(2), {WouldBlock(), From(kA, "\\hostname\\A")}));
  Sweep(ListOf(2));
  EXPECT_EQ(table_->count, 1);
  EXPECT_EQ(fake_.ticks, std::deque<std::uint32_t>{9999});
  // Sleeps instead of spinning, each until the window would close.
  EXPECT_EQ(
      fake_.CallsNamed("WaitReadable"),
      (std::vector<std::string>{"WaitReadable 1 1200", "WaitReadable 1 1"}));
}

TEST_F(StatusSweepTest, FailedSendStillCountsAndCollectingWaitsItOut) {
  fake_.send_to_fails = true;
  fake_.ticks = {0, 0, 600, 1200};
  Sweep(ListOf(1));
  EXPECT_EQ(fake_.datagrams.size(), 1u);
  EXPECT_EQ(table_->count, 0);
  EXPECT_EQ(fake_.CallsNamed("ReceiveFrom").size(), 1u + 2u);
}

TEST_F(StatusSweepTest, WindowAlreadyOverBeforeTheFirstRead) {
  fake_.ticks = {100, 1300};
  UdpReads(Then(QuietWhileSending(1), {From(kA, "\\hostname\\A")}));
  Sweep(ListOf(1));
  EXPECT_EQ(table_->count, 0);
  EXPECT_EQ(fake_.udp_reads.size(), 1u);
}

TEST_F(StatusSweepTest, WindowThatStraddlesTheTickWrapLastsItsFullTime) {
  fake_.ticks = {0xFFFFFF00u, 0xFFFFFF00u, 100, 943, 944};
  Sweep(ListOf(1));
  EXPECT_EQ(fake_.ticks.size(), 0u);
  EXPECT_EQ(fake_.CallsNamed("ReceiveFrom").size(), 1u + 3u);
}

TEST_F(StatusSweepTest, RepliesThatArriveWhileSendingAreKeptAndTakenFirst) {
  // The first server answers before the second is asked; its reply waits
  // in the queue and is taken first, with a time near 0.
  fake_.counters = {500, 500, 530};
  UdpReads({From(kA, "\\hostname\\A"), WouldBlock(), WouldBlock(),
            From(kB, "\\hostname\\B")});
  Sweep(ListOf(2));
  ASSERT_EQ(table_->count, 2);
  EXPECT_STREQ(table_->slots[0].hostname, "A");
  EXPECT_EQ(table_->slots[0].ping, 0);
  EXPECT_STREQ(table_->slots[1].hostname, "B");
  EXPECT_EQ(table_->slots[1].ping, 30);
}

TEST_F(StatusSweepTest, QueueHoldsNoMoreRepliesThanQueriesSent) {
  // Three datagrams wait after the first query: only one is drained then,
  // one more after each later query, so the queue never holds more replies
  // than queries went out; collecting takes all three from it.
  UdpReads({From(kA, "\\hostname\\1"), From(kB, "\\hostname\\2"),
            From(kC, "\\hostname\\3")});
  Sweep(ListOf(3));
  ASSERT_EQ(table_->count, 3);
  EXPECT_STREQ(table_->slots[0].hostname, "1");
  EXPECT_STREQ(table_->slots[1].hostname, "2");
  EXPECT_STREQ(table_->slots[2].hostname, "3");
  const std::vector<std::string> calls = fake_.calls;
  std::vector<std::string> sends_and_reads;
  for (const std::string& c : calls)
    if (c.rfind("SendTo", 0) == 0 || c.rfind("ReceiveFrom", 0) == 0)
      sends_and_reads.push_back(c.substr(0, c.find(' ')));
  EXPECT_EQ(sends_and_reads,
            (std::vector<std::string>{"SendTo", "ReceiveFrom", "SendTo",
                                      "ReceiveFrom", "SendTo", "ReceiveFrom"}));
}

TEST_F(StatusSweepTest, ZeroFrequencyTakesTheTimeFromTheTick) {
  fake_.ticks = {1000, 1000, 1037, 1040};
  UdpReads(Then(QuietWhileSending(1), {From(kA, "\\hostname\\A")}));
  Sweep(ListOf(1), 0);
  ASSERT_EQ(table_->count, 1);
  EXPECT_EQ(table_->slots[0].ping, 37);
}

TEST_F(StatusSweepTest, ReplyTimeIsSigned64BitArithmetic) {
  // A counter that runs backwards gives a negative time, not a huge one.
  fake_.counters = {10000, 9000};
  UdpReads(Then(QuietWhileSending(1), {From(kA, "\\hostname\\A")}));
  Sweep(ListOf(1), 1000);
  EXPECT_EQ(table_->slots[0].ping, -1000);
}

TEST_F(StatusSweepTest, UnusableSocketStillEndsAndClearsTheTable) {
  fake_.udp_open_fails = true;
  fake_.ticks = {0, 0, 1300};
  Sweep(ListOf(2));
  EXPECT_EQ(table_->count, 0);
  EXPECT_EQ(fake_.sockets_opened, 0);
  EXPECT_EQ(fake_.sockets_closed, 0);
}

}  // namespace
}  // namespace ms::testing
