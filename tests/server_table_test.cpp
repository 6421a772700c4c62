#include "module/server_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace ms {
namespace {

// What GetServerInfo delivered on one call.
struct Delivery {
  int answer;
  ServerRecord record;
};

class ServerTableTest : public ::testing::Test {
 protected:
  void Fill(int count) {
    ClearSlots(*table_);
    for (int i = 0; i < count; ++i)
      std::snprintf(table_->slots[i].hostname, 64, "server %d", i);
    table_->count = count;
    table_->cursor = 0;
  }
  Delivery Next() {
    Delivery d;
    std::memset(&d.record, 0xAB, sizeof d.record);
    d.answer = DeliverNextRecord(*table_, &d.record);
    return d;
  }
  static bool AllZero(const ServerRecord& r) {
    static const ServerRecord zero{};
    return std::memcmp(&r, &zero, sizeof r) == 0;
  }

  std::unique_ptr<ServerTable> table_ = std::make_unique<ServerTable>();
};

TEST_F(ServerTableTest, EmptyTableAnswersOneAndLeavesTheBufferAlone) {
  Fill(0);
  for (int call = 0; call < 3; ++call) {
    Delivery d = Next();
    EXPECT_EQ(d.answer, 1);
    EXPECT_EQ(static_cast<unsigned char>(d.record.hostname[0]), 0xAB);
  }
  EXPECT_EQ(table_->cursor, 0);
}

TEST_F(ServerTableTest, EndMarkComesWithTheSecondEmptyRecord) {
  for (int n : {1, 2, 5, 126}) {
    SCOPED_TRACE(n);
    Fill(n);
    for (int i = 0; i < n; ++i) {
      Delivery d = Next();
      EXPECT_EQ(d.answer, 0);
      EXPECT_EQ(std::string(d.record.hostname), "server " + std::to_string(i));
    }
    Delivery first_empty = Next();
    EXPECT_EQ(first_empty.answer, 0);
    EXPECT_TRUE(AllZero(first_empty.record));
    Delivery second_empty = Next();
    EXPECT_EQ(second_empty.answer, 1);
    EXPECT_TRUE(AllZero(second_empty.record));
    // Calls after the end mark go on with the next slot, answering 0.
    EXPECT_EQ(Next().answer, 0);
  }
}

TEST_F(ServerTableTest, PastTheLastSlotRecordsAreZeroNotForeignMemory) {
  Fill(128);
  for (int i = 0; i < 128; ++i) ASSERT_EQ(Next().answer, 0);
  Delivery slot_128 = Next();
  EXPECT_EQ(slot_128.answer, 0);
  EXPECT_TRUE(AllZero(slot_128.record));
  Delivery slot_129 = Next();
  EXPECT_EQ(slot_129.answer, 1);
  EXPECT_TRUE(AllZero(slot_129.record));
  for (int i = 0; i < 1000; ++i) {
    Delivery d = Next();
    ASSERT_EQ(d.answer, 0);
    ASSERT_TRUE(AllZero(d.record));
  }
}

TEST_F(ServerTableTest, CursorNeverOverflows) {
  Fill(1);
  table_->cursor = INT32_MAX - 1;
  EXPECT_EQ(Next().answer, 0);
  EXPECT_EQ(Next().answer, 0);
  EXPECT_EQ(table_->cursor, INT32_MAX);
}

}  // namespace
}  // namespace ms
