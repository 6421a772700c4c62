#include "discovery/server_list.h"

#include <cstdio>

#include "discovery/reply_decoder.h"

namespace ms {
namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// One part of a dotted address; false when it is not a number.
bool ParsePart(std::string_view text, std::size_t& i, std::uint64_t& value) {
  unsigned base = 10;
  if (i < text.size() && text[i] == '0') {
    base = 8;
    if (i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
      base = 16;
      i += 2;
    }
  }
  const std::size_t first = i;
  value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      break;
    }
    if (digit >= base) return false;
    value = value * base + digit;
    if (value > 0xFFFFFFFFu) return false;
  }
  // "0x" alone is no number; a lone "0" is (octal zero).
  return i > first || base == 8;
}

}  // namespace

Ipv4 ParseDottedAddress(std::string_view text) {
  std::uint64_t parts[4] = {};
  std::size_t count = 0;
  std::size_t i = 0;
  for (;;) {
    if (count == 4 || i >= text.size() || !(text[i] >= '0' && text[i] <= '9'))
      return kAddressNone;
    if (!ParsePart(text, i, parts[count])) return kAddressNone;
    ++count;
    if (i < text.size() && text[i] == '.') {
      ++i;
      continue;
    }
    break;
  }
  for (; i < text.size(); ++i)
    if (!IsSpace(text[i])) return kAddressNone;

  // The last part fills what the others leave.
  const std::uint64_t last_max = 0xFFFFFFFFull >> (8 * (count - 1));
  if (parts[count - 1] > last_max) return kAddressNone;
  std::uint64_t address = parts[count - 1];
  for (std::size_t p = 0; p + 1 < count; ++p) {
    if (parts[p] > 0xFF) return kAddressNone;
    address |= parts[p] << (8 * (3 - p));
  }
  return static_cast<Ipv4>(address);
}

void FormatDottedAddress(Ipv4 address, char (&out)[kDottedAddressBytes]) {
  std::snprintf(out, sizeof out, "%u.%u.%u.%u", (address >> 24) & 0xFFu,
                (address >> 16) & 0xFFu, (address >> 8) & 0xFFu,
                address & 0xFFu);
}

std::vector<ListedServer> SplitServerList(std::string_view list_text,
                                          std::size_t max_servers) {
  constexpr char kListEnd = '\x02';
  std::vector<ListedServer> servers;
  std::size_t pos = 0;
  while (pos < list_text.size() && servers.size() < max_servers &&
         list_text[pos] != kListEnd) {
    const std::size_t line_end = list_text.find('\n', pos);
    if (line_end == std::string_view::npos) break;  // no line feed: unusable
    const std::string_view line = list_text.substr(pos, line_end - pos);
    pos = line_end + 1;

    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon > kMaxAddressChars ||
        line.size() - colon - 1 > kMaxPortChars)
      continue;
    const auto port = static_cast<std::uint16_t>(
        static_cast<std::uint32_t>(ParseDecimal(line.substr(colon + 1))));
    servers.push_back({ParseDottedAddress(line.substr(0, colon)), port});
  }
  return servers;
}

}  // namespace ms
