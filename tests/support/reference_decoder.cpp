#include "support/reference_decoder.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "discovery/reply_decoder.h"
#include "discovery/reply_fields.h"

namespace ms::testing {

bool ExtractKeyValue(char* value, const char* reply, const char* key) {
  const char* at = std::strstr(reply, key);
  if (!at) return false;
  const char* begin = at + std::strlen(key);
  std::size_t length = 0;
  while (length < kMaxValueChars && begin[length] != '\0' &&
         begin[length] != '\\')
    ++length;
  std::memset(value, 0, kMaxValueChars + 1);
  std::memcpy(value, begin, length);
  return true;
}

void ReferenceDecodeStatusReply(ServerRecord& slot, const char* reply) {
  char value[kMaxValueChars + 1];
  auto* record = reinterpret_cast<unsigned char*>(&slot);
  for (const ReplyField& field : kServerFields) {
    const std::string key = "\\" + std::string(field.key) + "\\";
    if (ExtractKeyValue(value, reply, key.c_str()))
      StoreValue(record, field, value);
  }
  for (int p = 0; p < kPlayerSlots; ++p) {
    auto* player = reinterpret_cast<unsigned char*>(&slot.players[p]);
    for (const ReplyField& field : kPlayerFields) {
      const std::string key =
          "\\" + std::string(field.key) + std::to_string(p) + "\\";
      if (ExtractKeyValue(value, reply, key.c_str()))
        StoreValue(player, field, value);
    }
  }
}

}  // namespace ms::testing
