#include "discovery/server_list.h"

#include <gtest/gtest.h>

#include <string>

namespace ms {
namespace {

using namespace std::string_literals;

TEST(ParseDottedAddressTest, ReadsAsTheSocketLibraryDoes) {
  const std::pair<const char*, Ipv4> cases[] = {
      {"127.0.0.1", 0x7F000001u},
      {"10.0.0.255", 0x0A0000FFu},
      {"0.0.0.0", 0u},
      {"255.255.255.255", kAddressNone},
      {"1.2.3", 0x01020003u},     // last part fills 16 bits
      {"1.2", 0x01000002u},       // last part fills 24 bits
      {"16909060", 0x01020304u},  // one part is the whole address
      {"0x7f.1", 0x7F000001u},
      {"010.0.0.1", 0x08000001u},  // leading zero: octal
      {"1.2.3.4 ", 0x01020304u},
      {"1.2.3.4\r", 0x01020304u},
      {"", kAddressNone},
      {"1.2.3.4.5", kAddressNone},
      {"256.1.1.1", kAddressNone},
      {"1.2.3.256", kAddressNone},
      {"1..2.3", kAddressNone},
      {"1.2.3.", kAddressNone},
      {"a.b.c.d", kAddressNone},
      {"08.1.1.1", kAddressNone},
      {"0x", kAddressNone},
      {"-1.2.3.4", kAddressNone},
      {"1.2.3.4x", kAddressNone},
      {"4294967296", kAddressNone},
  };
  for (const auto& [text, address] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ParseDottedAddress(text), address);
  }
}

TEST(FormatDottedAddressTest, WritesFourDecimalParts) {
  char out[kDottedAddressBytes];
  FormatDottedAddress(0xFFFFFFFFu, out);
  EXPECT_STREQ(out, "255.255.255.255");
  FormatDottedAddress(0x7F000002u, out);
  EXPECT_STREQ(out, "127.0.0.2");
}

struct Entry {
  Ipv4 address;
  std::uint16_t port;
  bool operator==(const ListedServer& s) const {
    return s.address == address && s.port == port;
  }
};

void ExpectServers(const std::string& list, std::vector<Entry> expected,
                   std::size_t max = 128) {
  const std::vector<ListedServer> servers = SplitServerList(list, max);
  ASSERT_EQ(servers.size(), expected.size()) << list;
  for (std::size_t i = 0; i < servers.size(); ++i) {
    EXPECT_TRUE(expected[i] == servers[i]) << "entry " << i << " of " << list;
  }
}

TEST(SplitServerListTest, Lines) {
  ExpectServers("1.2.3.4:27001\n5.6.7.8:27002\n\x02",
                {{0x01020304u, 27001}, {0x05060708u, 27002}});
  ExpectServers("", {});
  ExpectServers("\x02", {});
  ExpectServers(
      "\x02"
      "1.2.3.4:5\n",
      {});
  // Carriage-return line ends: the port ends at the first non-digit.
  ExpectServers("1.2.3.4:27001\r\n5.6.7.8:+27003\r\n\x02\r\n",
                {{0x01020304u, 27001}, {0x05060708u, 27003}});
  // The port keeps its low 16 bits; a port that is no number is 0.
  ExpectServers("1.2.3.4:65537\n1.2.3.4:x\n",
                {{0x01020304u, 1}, {0x01020304u, 0}});
  // An address that is no address is still queried, at the failure value.
  ExpectServers("host.name:1\n", {{kAddressNone, 1}});
  // Split at the first colon.
  ExpectServers("1.2.3.4:5:6\n", {{0x01020304u, 5}});
  // The list may end without 0x02 after a final line feed.
  ExpectServers("1.2.3.4:5\n", {{0x01020304u, 5}});
}

TEST(SplitServerListTest, LinesTheListCannotDescribeAreSkipped) {
  ExpectServers("\n1.2.3.4:5\n", {{0x01020304u, 5}});  // empty
  ExpectServers("no colon\n1.2.3.4:5\n", {{0x01020304u, 5}});
  ExpectServers("1.2.3.4:5\n9.9.9.9:9", {{0x01020304u, 5}});  // no LF
  ExpectServers("1234567890123456:5\n1.2.3.4:5\n", {{0x01020304u, 5}});  // 16
  ExpectServers("123456789012345:5\n", {{kAddressNone, 5}});  // 15 fits
  ExpectServers("1.2.3.4:1234567890123456\n1.2.3.4:6\n", {{0x01020304u, 6}});
  ExpectServers("1.2.3.4:000000000027001\n",
                {{0x01020304u, 27001}});  // 15 fits
}

TEST(SplitServerListTest, AtMostMaxServers) {
  std::string list;
  for (int i = 0; i < 129; ++i)
    list += "10.0.0." + std::to_string(i % 250) + ":" +
            std::to_string(1000 + i) + "\n";
  list += "\x02";
  const std::vector<ListedServer> servers = SplitServerList(list, 128);
  ASSERT_EQ(servers.size(), 128u);
  EXPECT_EQ(servers.back().port, 1127);
}

}  // namespace
}  // namespace ms
