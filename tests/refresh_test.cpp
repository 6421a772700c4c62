#include "module/refresh.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/fake_platform.h"

namespace ms::testing {
namespace {

using namespace std::string_literals;

constexpr Ipv4 kServerA = 0x0A000001;  // 10.0.0.1
constexpr Ipv4 kServerB = 0x0A000002;

const std::string kTwoServerList =
    "101 \x01"
    "10.0.0.1:27001\n10.0.0.2:27002\n\x02"s;

class RefreshTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A table left by an earlier refresh, read partly by the host.
    ClearSlots(*table_);
    std::strcpy(table_->slots[0].hostname, "earlier");
    table_->count = 1;
    table_->cursor = 2;
  }

  std::int32_t Run() { return Refresh(fake_, *table_, "master.test"); }

  // Every path: one clean-up per successful start-up, with every socket
  // closed before it.
  void ExpectResourcesReleased() {
    EXPECT_EQ(fake_.clean_ups, fake_.start_ups);
    EXPECT_LE(fake_.clean_ups, 1);
    EXPECT_EQ(fake_.open_at_clean_up, 0);
    EXPECT_EQ(fake_.OpenSockets(), 0);
  }
  void ExpectTableUntouched() {
    EXPECT_EQ(table_->count, 1);
    EXPECT_STREQ(table_->slots[0].hostname, "earlier");
    EXPECT_EQ(table_->cursor, 0);
  }

  FakePlatform fake_;
  std::unique_ptr<ServerTable> table_ = std::make_unique<ServerTable>();
};

TEST_F(RefreshTest, FailedStartUpAnswersOneAndIsNotCleanedUp) {
  fake_.start_up_result = 10091;
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(fake_.calls, std::vector<std::string>{"StartUp"});
  EXPECT_EQ(fake_.clean_ups, 0);
  ExpectTableUntouched();
}

TEST_F(RefreshTest, MasterFailuresAnswerTheirCodeAndLeaveTheTable) {
  struct Case {
    const char* what;
    void (*arrange)(FakePlatform&);
    std::int32_t result;
  };
  const Case cases[] = {
      {"socket", [](FakePlatform& f) { f.tcp_open_fails = true; }, 2},
      {"send", [](FakePlatform& f) { f.send_fails = true; }, 2},
      {"receive", [](FakePlatform& f) { f.tcp_reads.push_back(Failed(10054)); },
       2},
      {"resolve", [](FakePlatform& f) { f.resolve_fails = true; }, 3},
      {"connect", [](FakePlatform& f) { f.connect_fails = true; }, 4},
      {"closed without list",
       [](FakePlatform& f) { f.tcp_reads.push_back(Closed()); }, 0},
      {"silent master", [](FakePlatform&) {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    fake_ = FakePlatform();
    c.arrange(fake_);
    EXPECT_EQ(Run(), c.result);
    ExpectResourcesReleased();
    ExpectTableUntouched();
    EXPECT_EQ(fake_.calls.back(), "CleanUp");
  }
}

TEST_F(RefreshTest, FullRefreshFillsTheTableAndCleansUpLast) {
  fake_.frequency = 1000;
  fake_.tcp_reads.push_back(Bytes(kTwoServerList));
  fake_.udp_reads = {WouldBlock(), WouldBlock(),
                     From(kServerB, "\\hostname\\B"),
                     From(kServerA, "\\hostname\\A")};
  fake_.counters = {100, 105, 142};
  EXPECT_EQ(Run(), 0);
  ExpectResourcesReleased();
  EXPECT_EQ(fake_.calls.front(), "StartUp");
  EXPECT_EQ(fake_.calls[1], "CounterFrequency");
  EXPECT_EQ(fake_.calls.back(), "CleanUp");
  ASSERT_EQ(table_->count, 2);
  EXPECT_EQ(table_->cursor, 0);
  EXPECT_STREQ(table_->slots[0].hostname, "B");
  EXPECT_STREQ(table_->slots[0].address, "10.0.0.2");
  EXPECT_EQ(table_->slots[0].ping, 5);
  EXPECT_STREQ(table_->slots[1].hostname, "A");
  EXPECT_EQ(table_->slots[1].ping, 42);
  EXPECT_EQ(fake_.datagrams.size(), 2u);
}

TEST_F(RefreshTest, SecondRefreshFailingDeliversTheFirstResultsAgain) {
  fake_.tcp_reads.push_back(Bytes(kTwoServerList));
  fake_.udp_reads = {From(kServerA, "\\hostname\\A"),
                     From(kServerB, "\\hostname\\B")};
  ASSERT_EQ(Run(), 0);
  ServerRecord record;
  ASSERT_EQ(DeliverNextRecord(*table_, &record), 0);
  ASSERT_EQ(DeliverNextRecord(*table_, &record), 0);

  fake_ = FakePlatform();
  fake_.resolve_fails = true;
  EXPECT_EQ(Run(), 3);
  ASSERT_EQ(DeliverNextRecord(*table_, &record), 0);
  EXPECT_STREQ(record.hostname, "A");
}

TEST_F(RefreshTest, SweepWithNoAnswerEmptiesTheTable) {
  fake_.tcp_reads.push_back(Bytes(kTwoServerList));
  EXPECT_EQ(Run(), 0);
  ExpectResourcesReleased();
  EXPECT_EQ(table_->count, 0);
  EXPECT_EQ(table_->slots[0].hostname[0], '\0');
  ServerRecord record;
  EXPECT_EQ(DeliverNextRecord(*table_, &record), 1);
}

}  // namespace
}  // namespace ms::testing
