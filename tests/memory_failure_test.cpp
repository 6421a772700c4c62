// What a refresh does when memory runs out. This program replaces the global
// allocator so that large allocations can be made to fail on demand; small
// ones (the fake's records, the test's own) still succeed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "discovery/status_sweep.h"
#include "module/refresh.h"
#include "support/fake_platform.h"

namespace {

bool g_fail_large = false;
constexpr std::size_t kLarge = 2048;

void* Allocate(std::size_t size) {
  if (g_fail_large && size >= kLarge) throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

class LargeAllocationsFail {
 public:
  LargeAllocationsFail() { g_fail_large = true; }
  ~LargeAllocationsFail() { g_fail_large = false; }
};

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace ms::testing {
namespace {

TEST(MemoryFailureTest, SweepWithoutMemorySendsNothingAndKeepsTheTable) {
  FakePlatform fake;
  auto table = std::make_unique<ServerTable>();
  std::strcpy(table->slots[0].hostname, "earlier");
  table->count = 1;
  {
    LargeAllocationsFail fail;
    QueryServers(fake, *table, "10.0.0.1:1\n10.0.0.2:2\n\x02", 1000);
  }
  EXPECT_TRUE(fake.datagrams.empty());
  EXPECT_EQ(table->count, 1);
  EXPECT_STREQ(table->slots[0].hostname, "earlier");
  EXPECT_EQ(fake.sockets_opened, 1);
  EXPECT_EQ(fake.OpenSockets(), 0);
}

TEST(MemoryFailureTest, MasterTextWithoutMemoryEndsWithoutAList) {
  FakePlatform fake;
  fake.tcp_reads.push_back(Bytes(std::string(2048, 'x')));
  auto table = std::make_unique<ServerTable>();
  table->count = 1;
  std::int32_t result;
  {
    LargeAllocationsFail fail;
    result = Refresh(fake, *table, "master.test");
  }
  EXPECT_EQ(result, 0);
  EXPECT_EQ(table->count, 1);
  EXPECT_EQ(fake.clean_ups, 1);
  EXPECT_EQ(fake.open_at_clean_up, 0);
  EXPECT_EQ(fake.OpenSockets(), 0);
}

}  // namespace
}  // namespace ms::testing
