#include "identity/player_id.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/fake_platform.h"

namespace ms::testing {
namespace {

TEST(PlayerIdTest, HalvesOfTheSerialAreExchanged) {
  struct Case {
    std::uint32_t serial;
    const char* id;
  };
  const Case cases[] = {
      {0x00010002u, "00020001FFFF"},  // low half first, then high half
      {0x00000000u, "00000000FFFF"},
      {0x0000000Au, "000A0000FFFF"},  // leading zeros kept, upper case
      {0xDEADBEEFu, "BEEFDEADFFFF"},
      {0xFFFFFFFFu, "FFFFFFFFFFFF"},
      {0x12345678u, "56781234FFFF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    FakePlatform fake;
    fake.volume_serial = c.serial;
    char out[20];
    std::memset(out, '#', sizeof out);
    ASSERT_EQ(WritePlayerId(fake, out), 0);
    EXPECT_EQ(std::string(out), c.id);
    // Exactly 13 bytes: the 12 characters and the zero byte.
    EXPECT_EQ(out[12], '\0');
    for (std::size_t i = 13; i < sizeof out; ++i) EXPECT_EQ(out[i], '#');
  }
}

TEST(PlayerIdTest, UnreadableSerialLeavesTheBufferUntouched) {
  FakePlatform fake;
  fake.volume_serial_fails = true;
  char out[13];
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(WritePlayerId(fake, out), 1);
  for (char c : out) EXPECT_EQ(c, '#');
}

TEST(PlayerIdTest, SystemSerialGivesAStableId) {
  char first[13] = {};
  char second[13] = {};
  ASSERT_EQ(WritePlayerId(SystemPlatform(), first), 0);
  ASSERT_EQ(WritePlayerId(SystemPlatform(), second), 0);
  EXPECT_STREQ(first, second);
  EXPECT_EQ(std::string(first).substr(8), "FFFF");
  EXPECT_EQ(std::string(first).find_first_not_of("0123456789ABCDEF"),
            std::string::npos);
}

}  // namespace
}  // namespace ms::testing
