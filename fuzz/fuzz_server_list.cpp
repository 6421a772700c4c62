// Any list text: never more than 128 servers, never a read past the text,
// and every address text that parses prints back as the same address.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "discovery/server_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto servers = ms::SplitServerList(text, 128);
  if (servers.size() > 128) std::abort();
  // Every listed server takes a line of its own, ended by a line feed.
  std::size_t line_feeds = 0;
  for (char c : text) line_feeds += c == '\n';
  if (servers.size() > line_feeds) std::abort();

  const ms::Ipv4 address = ms::ParseDottedAddress(text.substr(0, 32));
  char dotted[ms::kDottedAddressBytes];
  ms::FormatDottedAddress(address, dotted);
  if (address != ms::kAddressNone && ms::ParseDottedAddress(dotted) != address)
    std::abort();
  return 0;
}
