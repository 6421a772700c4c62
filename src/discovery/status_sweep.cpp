#include "discovery/status_sweep.h"

#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "discovery/reply_decoder.h"
#include "discovery/server_list.h"
#include "module/scoped_socket.h"

namespace ms {
namespace {

constexpr char kStatusQuery[] = {'\\', 's', 't', 'a', 't', 'u', 's', '\\'};

// Room in the socket for a reply from every server at once; best effort.
constexpr std::size_t kReceiveBufferBytes =
    kMaxServers * (kMaxDatagramBytes + 256);

// Replies that arrive while queries are still going out. Near servers
// answer before the far ones are asked; held here rather than in the
// socket, whose buffer could overflow and lose them. Holds at most one
// reply per query, each at most kMaxDatagramBytes.
class EarlyReplies {
 public:
  explicit EarlyReplies(std::size_t capacity)
      : bytes_(capacity * kMaxDatagramBytes), entries_(capacity) {}

  bool Empty() const { return taken_ == count_; }

  // Reads what has arrived, while fewer replies are held than queries were
  // sent. Reads that would take no slot (empty datagrams, too large ones)
  // are dropped here as they would be later; a failed read ends the drain.
  void Drain(Platform& platform, SocketHandle socket, std::size_t sent) {
    // Bounded, so a flood of empty datagrams cannot hold the sending up.
    for (std::size_t reads = 0; reads <= kMaxServers; ++reads) {
      if (count_ >= sent || count_ >= entries_.size()) return;
      Entry& entry = entries_[count_];
      char* data = &bytes_[count_ * kMaxDatagramBytes];
      const ReadResult read =
          platform.ReceiveFrom(socket, data, kMaxDatagramBytes, &entry.sender);
      if (read.bytes < 0) {
        if (read.error == kErrorTooLarge) continue;
        return;
      }
      if (read.bytes == 0) continue;
      entry.length = static_cast<std::size_t>(read.bytes);
      ++count_;
    }
  }

  // The oldest held datagram; valid until the next call.
  const char* Take(std::size_t* length, Ipv4* sender) {
    const Entry& entry = entries_[taken_];
    *length = entry.length;
    *sender = entry.sender;
    return &bytes_[taken_++ * kMaxDatagramBytes];
  }

 private:
  struct Entry {
    Ipv4 sender = 0;
    std::size_t length = 0;
  };
  std::vector<char> bytes_;
  std::vector<Entry> entries_;
  std::size_t count_ = 0;
  std::size_t taken_ = 0;
};

// (t1 - t0) * 1000 / frequency in signed 64-bit, the fraction dropped,
// kept to its low 32 bits. The arithmetic wraps rather than overflows, and
// the one quotient that cannot be represented (INT64_MIN / -1) wraps too.
std::int32_t CounterToMs(std::int64_t t0, std::int64_t t1,
                         std::int64_t frequency) {
  const auto product = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(t1) - static_cast<std::uint64_t>(t0)) *
      1000u);
  const std::int64_t ms =
      (frequency == -1)
          ? static_cast<std::int64_t>(0u - static_cast<std::uint64_t>(product))
          : product / frequency;
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms)));
}

}  // namespace

void QueryServers(Platform& platform, ServerTable& table, std::string list_text,
                  std::int64_t frequency) {
  ScopedSocket socket(platform, platform.OpenUdp());
  platform.SetNonBlocking(socket.get());
  platform.SetReceiveBufferSize(socket.get(), kReceiveBufferBytes);

  std::vector<ListedServer> servers;
  std::vector<char> datagram;
  std::optional<EarlyReplies> early;
  try {
    servers = SplitServerList(list_text, kMaxServers);
    datagram.resize(kMaxDatagramBytes);
    early.emplace(servers.size());
  } catch (const std::bad_alloc&) {
    return;  // nothing sent, the table as it was
  }
  std::string().swap(list_text);

  std::size_t sent = 0;
  for (const ListedServer& server : servers) {
    // A failed send still counts: its answer is simply never seen.
    platform.SendTo(socket.get(), kStatusQuery, sizeof kStatusQuery,
                    server.address, server.port);
    ++sent;
    early->Drain(platform, socket.get(), sent);
  }

  const std::uint32_t start = platform.TickMs();
  ClearSlots(table);
  const std::int64_t t0 = platform.Counter();
  std::size_t received = 0;

  if (ElapsedMs(start, platform.TickMs()) < kCollectWindowMs) {
    for (;;) {
      if (received >= sent) break;

      const char* data = datagram.data();
      std::size_t length = 0;
      Ipv4 sender = 0;
      bool nothing_read = false;
      if (!early->Empty()) {
        data = early->Take(&length, &sender);
      } else {
        const ReadResult read = platform.ReceiveFrom(
            socket.get(), datagram.data(), kMaxDatagramBytes, &sender);
        if (read.bytes > 0) length = static_cast<std::size_t>(read.bytes);
        nothing_read = read.bytes < 0;
      }

      if (length > 0) {
        const std::int64_t t1 = platform.Counter();
        ServerRecord& slot = table.slots[received];
        // Without a counter the tick is the only clock there is.
        slot.ping = frequency != 0 ? CounterToMs(t0, t1, frequency)
                                   : static_cast<std::int32_t>(
                                         ElapsedMs(start, platform.TickMs()));
        char dotted[kDottedAddressBytes];
        FormatDottedAddress(sender, dotted);
        std::memcpy(slot.address, dotted, sizeof dotted);
        DecodeStatusReply(slot, data, length);
        ++received;
      }

      const std::uint32_t elapsed = ElapsedMs(start, platform.TickMs());
      if (elapsed >= kCollectWindowMs) break;
      // Nothing was read: sleep until a reply comes or the window closes.
      if (nothing_read)
        platform.WaitReadable(socket.get(), kCollectWindowMs - elapsed);
    }
  }
  table.count = static_cast<std::int32_t>(received);
}

}  // namespace ms
