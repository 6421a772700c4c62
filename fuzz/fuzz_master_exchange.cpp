// Arbitrary read sequences from the master, through the scripted platform:
// the exchange ends, releases its socket, and returns a well-formed result.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "discovery/master_list.h"
#include "support/fake_platform.h"

namespace {

// Each step: one op byte; for data, two length bytes and the data (cut
// at the end of the input). The op's
// high bits also move the tick on, so deadlines come into play.
void Script(ms::testing::FakePlatform& fake, const std::uint8_t* data,
            std::size_t size) {
  std::uint32_t tick = 0;
  fake.ticks.push_back(tick);
  std::size_t i = 0;
  while (i < size) {
    const std::uint8_t op = data[i++];
    switch (op & 3) {
      case 0: {
        if (size - i < 2) return;
        const std::size_t wanted = (data[i] | (data[i + 1] << 8)) % 2049;
        i += 2;
        const std::size_t length = std::min(wanted, size - i);
        std::string bytes(reinterpret_cast<const char*>(data + i), length);
        i += length;
        // A read never brings 0 bytes: that is the close, scripted apart.
        if (bytes.empty()) bytes = "\x02";
        fake.tcp_reads.push_back(ms::testing::Bytes(std::move(bytes)));
        break;
      }
      case 1:
        fake.tcp_reads.push_back(ms::testing::WouldBlock());
        break;
      case 2:
        fake.tcp_reads.push_back(ms::testing::Closed());
        break;
      default:
        fake.tcp_reads.push_back(ms::testing::Failed(10000 + (op >> 2)));
        break;
    }
    tick += static_cast<std::uint32_t>(op >> 2) * 13u;
    fake.ticks.push_back(tick);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  ms::testing::FakePlatform fake;
  Script(fake, data, size);
  const ms::MasterListResult result = ms::FetchMasterList(fake, "master");
  if (fake.OpenSockets() != 0) std::abort();
  if (result.failure != 0 && result.failure != 2) std::abort();
  if (result.failure != 0 && result.has_list) std::abort();
  if (result.list_text.find('\0') != std::string::npos) std::abort();
  return 0;
}
