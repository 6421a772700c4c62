// The built library over real loopback sockets, loaded by name as a host
// loads it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "module/platform.h"
#include "module/refresh.h"
#include "support/loopback.h"
#include "support/status_reply.h"

namespace ms::testing {
namespace {

bool g_private_network = false;

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() -
                                                               start)
      .count();
}

class LoopbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.loaded()) << library_.error();
    ASSERT_EQ(library_.error(), "");
  }

  // n servers on 127.0.0.2 and up, each answering with reply.
  static std::vector<GameServer> Servers(int n, const std::string& reply) {
    std::vector<GameServer> servers;
    for (int i = 0; i < n; ++i)
      servers.push_back({0x7F000002u + static_cast<std::uint32_t>(i),
                         static_cast<std::uint16_t>(27001 + i),
                         reply + "\\hostport\\" + std::to_string(27001 + i),
                         0});
    return servers;
  }

  LoadedLibrary library_{MS_CLIENT_LIBRARY_PATH};
};

TEST_F(LoopbackTest, ExportsAnswerBeforeAnyRefresh) {
  EXPECT_EQ(library_.VerifyNolkVersion(), 0);
  ServerRecord record;
  std::memset(&record, 0x5A, sizeof record);
  EXPECT_EQ(library_.GetServerInfo(&record), 1);
  EXPECT_EQ(static_cast<unsigned char>(record.hostname[0]), 0x5A);
  char id[13];
  ASSERT_EQ(library_.GetPlayerID(id), 0);
  EXPECT_EQ(std::strlen(id), 12u);
  EXPECT_EQ(std::string(id + 8), "FFFF");
}

TEST_F(LoopbackTest, FullRefreshOf128ServersEndsAsSoonAsAllAnswered) {
  LoopbackGameServers servers(Servers(128, "\\hostname\\Loop\\mapname\\dm1"));
  ASSERT_TRUE(servers.ready());
  LoopbackMaster master(MasterBehaviour::kSendAndHold, servers.ListMessage());
  ASSERT_TRUE(master.listening());

  const auto start = Clock::now();
  ASSERT_EQ(library_.Reset(), 0);
  const long long wall_ms = MsSince(start);
  EXPECT_EQ(master.last_request(), "001");
  EXPECT_EQ(servers.queries_seen(), 128);

  const std::vector<ServerRecord> records = library_.ReadAll();
  ASSERT_EQ(records.size(), 128u);
  std::set<std::string> addresses;
  for (const ServerRecord& r : records) {
    EXPECT_STREQ(r.hostname, "Loop");
    EXPECT_STREQ(r.mapname, "dm1");
    addresses.insert(r.address);
    // Each server on its own address, answering with its own port.
    const unsigned last_octet =
        static_cast<unsigned>(std::stoi(std::string(r.address).substr(8)));
    EXPECT_EQ(r.hostport, 27001 + last_octet - 2) << r.address;
    EXPECT_GE(r.ping, 0);
  }
  EXPECT_EQ(addresses.size(), 128u);
  EXPECT_EQ(*addresses.begin(), "127.0.0.10");  // sorted as text
  // All answered: collecting ended long before its 1200 ms window.
  EXPECT_LT(wall_ms, 1000);
}

TEST_F(LoopbackTest, InstantFullRepliesFromEveryServerAreNeverLost) {
  // 128 servers answering at once with 16-player replies (about 1.5 KB):
  // the replies pile up while queries are still going out.
  const std::string reply = TypicalStatusReply();
  ASSERT_GT(reply.size(), 1000u);
  LoopbackGameServers servers(Servers(128, reply));
  ASSERT_TRUE(servers.ready());
  LoopbackMaster master(MasterBehaviour::kSendAndHold, servers.ListMessage());
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE(round);
    const auto start = Clock::now();
    ASSERT_EQ(library_.Reset(), 0);
    EXPECT_LT(MsSince(start), 1000);
    const std::vector<ServerRecord> records = library_.ReadAll();
    ASSERT_EQ(records.size(), 128u);
    for (const ServerRecord& r : records) {
      ASSERT_STREQ(r.players[15].name, "Player Number 15 [clan]");
    }
  }
}

TEST_F(LoopbackTest, MasterWithoutAListLeavesTheTable) {
  LoopbackGameServers servers(Servers(3, "\\hostname\\Kept"));
  {
    LoopbackMaster master(MasterBehaviour::kSendAndClose,
                          servers.ListMessage());
    ASSERT_EQ(library_.Reset(), 0);
    ASSERT_EQ(library_.ReadAll().size(), 3u);
  }
  {
    LoopbackMaster master(MasterBehaviour::kCloseAtOnce);
    EXPECT_EQ(library_.Reset(), 0);
    EXPECT_EQ(library_.ReadAll().size(), 3u);  // from the start again
  }
  {
    LoopbackMaster master(MasterBehaviour::kReset);
    EXPECT_EQ(library_.Reset(), 2);
    EXPECT_EQ(library_.ReadAll().size(), 3u);
  }
  // Nobody listening: connecting fails.
  EXPECT_EQ(library_.Reset(), 4);
  EXPECT_EQ(library_.ReadAll().size(), 3u);
}

TEST_F(LoopbackTest, SilentMasterEndsAfterThreeSeconds) {
  LoopbackMaster master(MasterBehaviour::kSilent);
  const auto start = Clock::now();
  EXPECT_EQ(library_.Reset(), 0);
  const long long wall_ms = MsSince(start);
  EXPECT_GE(wall_ms, 3000);
  EXPECT_LT(wall_ms, 4500);
}

TEST_F(LoopbackTest, EmptyListEmptiesTheTable) {
  LoopbackMaster master(MasterBehaviour::kSendAndClose, "101\x01\x01\x02");
  EXPECT_EQ(library_.Reset(), 0);
  ServerRecord record;
  EXPECT_EQ(library_.GetServerInfo(&record), 1);
}

TEST(PrivateNetworkTest, UnresolvableMasterGivesThree) {
  if (!g_private_network)
    GTEST_SKIP() << "needs a private network namespace (root)";
  auto table = std::make_unique<ServerTable>();
  table->count = 1;
  EXPECT_EQ(Refresh(SystemPlatform(), *table, "master.invalid"), 3);
  EXPECT_EQ(table->count, 1);
}

}  // namespace
}  // namespace ms::testing

int main(int argc, char** argv) {
  ms::testing::g_private_network = ms::testing::EnterPrivateNetwork();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
