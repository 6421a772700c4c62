// The platform layer over POSIX sockets and clocks.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cfloat>
#include <cstring>
#include <ctime>

#include <fcntl.h>

#include "module/platform.h"

namespace ms {
namespace {

#if defined(MSG_NOSIGNAL)
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;  // SO_NOSIGPIPE is set on the socket instead
#endif

int ToFd(SocketHandle socket) { return static_cast<int>(socket); }

sockaddr_in ToSockaddr(Ipv4 address, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(address);
  return sa;
}

SocketHandle Open(int type, int protocol) {
  int fd = ::socket(AF_INET, type, protocol);
  if (fd < 0) return kInvalidSocket;
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
#if defined(SO_NOSIGPIPE)
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &one, sizeof one);
#endif
  return static_cast<SocketHandle>(fd);
}

int ErrorCode(int posix_errno) {
  if (posix_errno == EAGAIN || posix_errno == EWOULDBLOCK)
    return kErrorWouldBlock;
  return posix_errno;
}

std::int64_t MonotonicNs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

class PosixPlatform final : public Platform {
 public:
  int StartUp() override { return 0; }
  void CleanUp() override {}

  SocketHandle OpenTcp() override { return Open(SOCK_STREAM, 0); }
  SocketHandle OpenUdp() override { return Open(SOCK_DGRAM, IPPROTO_UDP); }
  void Close(SocketHandle socket) override { ::close(ToFd(socket)); }

  bool Resolve(const char* host_name, Ipv4* address) override {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host_name, nullptr, &hints, &found) != 0 || !found)
      return false;
    const auto* sa = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    *address = ntohl(sa->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return true;
  }

  bool Connect(SocketHandle socket, Ipv4 address, std::uint16_t port) override {
    sockaddr_in sa = ToSockaddr(address, port);
    int rc;
    do {
      rc = ::connect(ToFd(socket), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
  }

  bool Send(SocketHandle socket, const void* data,
            std::size_t length) override {
    const char* p = static_cast<const char*>(data);
    while (length > 0) {
      ssize_t n = ::send(ToFd(socket), p, length, kSendFlags);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      p += n;
      length -= static_cast<std::size_t>(n);
    }
    return true;
  }

  void SetNonBlocking(SocketHandle socket) override {
    int flags = ::fcntl(ToFd(socket), F_GETFL, 0);
    if (flags >= 0) ::fcntl(ToFd(socket), F_SETFL, flags | O_NONBLOCK);
  }

  void SetReceiveBufferSize(SocketHandle socket, std::size_t bytes) override {
    int size = static_cast<int>(bytes);
    ::setsockopt(ToFd(socket), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  }

  ReadResult Receive(SocketHandle socket, void* buffer,
                     std::size_t capacity) override {
    ssize_t n;
    do {
      n = ::recv(ToFd(socket), buffer, capacity, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return ReadResult::Error(ErrorCode(errno));
    return ReadResult::Data(static_cast<long>(n));
  }

  ReadResult ReceiveFrom(SocketHandle socket, void* buffer,
                         std::size_t capacity, Ipv4* sender) override {
    // recvfrom would cut a long datagram silently; the message flags tell
    // when it happened, so the datagram is reported too large instead.
    sockaddr_in from{};
    iovec iov{buffer, capacity};
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    ssize_t n;
    do {
      n = ::recvmsg(ToFd(socket), &msg, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return ReadResult::Error(ErrorCode(errno));
    if (msg.msg_flags & MSG_TRUNC) return ReadResult::Error(kErrorTooLarge);
    *sender = ntohl(from.sin_addr.s_addr);
    return ReadResult::Data(static_cast<long>(n));
  }

  bool SendTo(SocketHandle socket, const void* data, std::size_t length,
              Ipv4 address, std::uint16_t port) override {
    sockaddr_in sa = ToSockaddr(address, port);
    ssize_t n = ::sendto(ToFd(socket), data, length, kSendFlags,
                         reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    return n >= 0;
  }

  void WaitReadable(SocketHandle socket, std::uint32_t timeout_ms) override {
    pollfd pfd{ToFd(socket), POLLIN, 0};
    constexpr std::uint32_t kMaxPollMs = 0x7FFFFFFF;
    int timeout =
        static_cast<int>(timeout_ms < kMaxPollMs ? timeout_ms : kMaxPollMs);
    ::poll(&pfd, 1, timeout);
  }

  std::uint32_t TickMs() override {
    return static_cast<std::uint32_t>(MonotonicNs() / 1000000);
  }
  std::int64_t Counter() override { return MonotonicNs(); }
  std::int64_t CounterFrequency() override { return 1000000000; }

  // The id of the file system that holds the current directory, folded to
  // 32 bits. It stays the same for as long as that file system is mounted
  // from the same device.
  bool VolumeSerial(std::uint32_t* serial) override {
    struct statvfs vfs {};
    if (::statvfs(".", &vfs) != 0) return false;
    auto id = static_cast<std::uint64_t>(vfs.f_fsid);
    *serial = static_cast<std::uint32_t>(id ^ (id >> 32));
    return true;
  }
};

}  // namespace

Platform& SystemPlatform() {
  static PosixPlatform platform;
  return platform;
}

}  // namespace ms
