// The master's list text and the addresses in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "module/platform.h"

namespace ms {

inline constexpr Ipv4 kAddressNone = 0xFFFFFFFFu;
// "255.255.255.255" and its zero byte.
inline constexpr std::size_t kDottedAddressBytes = 16;
inline constexpr std::size_t kMaxAddressChars = 15;
// A port needs 5 digits; room is left for a sign, leading zeros and the
// carriage return of lists with CR LF line ends.
inline constexpr std::size_t kMaxPortChars = 15;

struct ListedServer {
  Ipv4 address;
  std::uint16_t port;
};

// Dotted address text as the socket library's inet_addr reads it: one to
// four parts, each decimal, octal (leading 0) or hex (0x); the last part
// fills the remaining bytes; trailing white space is allowed. Anything else,
// and "255.255.255.255", give kAddressNone.
Ipv4 ParseDottedAddress(std::string_view text);

// "a.b.c.d" and a zero byte into out.
void FormatDottedAddress(Ipv4 address, char (&out)[kDottedAddressBytes]);

// The servers of a list text: one "address:port" line each, ended by a line
// feed, up to a line that begins with 0x02 or max_servers entries. Lines
// without a line feed or a ":", or whose address or port text is too long
// to be one, are skipped. The port is read as atoi reads it, low 16 bits.
std::vector<ListedServer> SplitServerList(std::string_view list_text,
                                          std::size_t max_servers);

}  // namespace ms
