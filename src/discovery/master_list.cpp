#include "discovery/master_list.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "module/scoped_socket.h"

namespace ms {
namespace {

constexpr char kRequest[] = {'0', '0', '1'};
constexpr char kMessageEnd = '\x02';
constexpr char kHeadEnd = '\x01';
constexpr char kListTag[] = "101";
constexpr std::size_t kListTagBytes = 3;
// The tag, then one byte the master puts there that carries nothing.
constexpr std::size_t kListPrefixBytes = 4;

// Every byte received and not yet thrown away. The master ends every message
// with 0x02; each byte is searched for it once, so a large message arriving
// in many small reads costs linear time.
class MessageText {
 public:
  void Append(const char* data, std::size_t length) {
    text_.append(data, length);
  }

  std::size_t PendingBytes() const { return text_.size() - front_; }

  // True when a complete message waits at the front.
  bool HasMessage() {
    if (end_ == std::string::npos && searched_ < text_.size()) {
      const char* base = text_.data();
      const void* hit =
          std::memchr(base + searched_, kMessageEnd, text_.size() - searched_);
      if (hit) {
        end_ = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
      } else {
        searched_ = text_.size();
      }
    }
    return end_ != std::string::npos;
  }

  bool FrontIsList() const {
    return text_.compare(front_, kListTagBytes, kListTag) == 0;
  }

  // Throws away the complete message at the front, its 0x02 included.
  void DropMessage() {
    front_ = end_ + 1;
    searched_ = front_;
    end_ = std::string::npos;
    // Give the dropped bytes back once they are most of the text, so the
    // storage stays within reach of what is pending.
    if (front_ > text_.size() / 2) {
      text_.erase(0, front_);
      searched_ -= front_;
      front_ = 0;
    }
  }

  // The list text of the list message at the front: without the tag, the
  // byte after it, and the head up to and including its first 0x01.
  std::string TakeList() {
    std::size_t begin = std::min(front_ + kListPrefixBytes, text_.size());
    std::size_t head_end = text_.find(kHeadEnd, begin);
    if (head_end != std::string::npos) begin = head_end + 1;
    text_.erase(0, begin);
    return std::move(text_);
  }

 private:
  std::string text_;
  std::size_t front_ = 0;                // start of the pending message
  std::size_t searched_ = 0;             // [front_, searched_) has no 0x02
  std::size_t end_ = std::string::npos;  // first 0x02 once found
};

MasterListResult Failure(int code) {
  MasterListResult result;
  result.failure = code;
  return result;
}

MasterListResult NoList() { return {}; }

}  // namespace

MasterListResult FetchMasterList(Platform& platform, const char* master_host) {
  ScopedSocket socket(platform, platform.OpenTcp());
  if (!socket.valid()) return Failure(kResultSocketError);

  Ipv4 master = 0;
  if (!platform.Resolve(master_host, &master))
    return Failure(kResultResolveError);
  if (!platform.Connect(socket.get(), master, kMasterPort))
    return Failure(kResultConnectError);
  if (!platform.Send(socket.get(), kRequest, sizeof kRequest))
    return Failure(kResultSocketError);
  platform.SetNonBlocking(socket.get());

  const std::uint32_t start = platform.TickMs();
  char buffer[kMasterReadBytes];
  MessageText text;
  try {
    for (;;) {
      const ReadResult read =
          platform.Receive(socket.get(), buffer, sizeof buffer);
      bool would_block = false;
      if (read.bytes > 0) {
        // The reads are kept as zero-terminated text: whatever follows a
        // zero byte in one read is lost.
        const std::size_t got =
            std::min(static_cast<std::size_t>(read.bytes), sizeof buffer);
        const void* zero = std::memchr(buffer, '\0', got);
        text.Append(buffer, zero ? static_cast<std::size_t>(
                                       static_cast<const char*>(zero) - buffer)
                                 : got);
      } else if (read.bytes == 0) {
        return NoList();
      } else if (read.error == kErrorWouldBlock) {
        would_block = true;
      } else {
        return Failure(kResultSocketError);
      }

      // At most one message is tested, and dropped, per pass.
      if (text.HasMessage()) {
        if (text.FrontIsList()) {
          MasterListResult result;
          result.has_list = true;
          result.list_text = text.TakeList();
          return result;
        }
        text.DropMessage();
      }
      if (text.PendingBytes() > kMaxMessageBytes) return NoList();

      // The deadline is looked at only here, after the tests: a list that
      // completes in the pass where the time runs out is still used.
      const std::uint32_t elapsed = ElapsedMs(start, platform.TickMs());
      if (elapsed > kMasterWindowMs) return NoList();

      // Nothing to read and nothing complete to test: the next pass would
      // only spin, so sleep until the master sends or the time is up.
      if (would_block && !text.HasMessage())
        platform.WaitReadable(socket.get(), kMasterWindowMs - elapsed + 1);
    }
  } catch (const std::bad_alloc&) {
    return NoList();
  }
}

}  // namespace ms
