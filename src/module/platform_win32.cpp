// The platform layer over Winsock 2 and the Windows clock and volume
// services.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include "module/platform.h"

namespace ms {
namespace {

SOCKET ToSocket(SocketHandle socket) { return static_cast<SOCKET>(socket); }

sockaddr_in ToSockaddr(Ipv4 address, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(address);
  return sa;
}

SocketHandle Open(int type, int protocol) {
  const SOCKET s = ::socket(AF_INET, type, protocol);
  return s == INVALID_SOCKET ? kInvalidSocket : static_cast<SocketHandle>(s);
}

int Clamp(std::size_t length) {
  return length > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(length);
}

class Win32Platform final : public Platform {
 public:
  int StartUp() override {
    WSADATA data;
    // The version granted is not examined: 2.2 is all the logic needs and
    // every Winsock 2 grants it.
    return ::WSAStartup(MAKEWORD(2, 2), &data);
  }
  void CleanUp() override { ::WSACleanup(); }

  SocketHandle OpenTcp() override { return Open(SOCK_STREAM, 0); }
  SocketHandle OpenUdp() override { return Open(SOCK_DGRAM, IPPROTO_UDP); }
  void Close(SocketHandle socket) override { ::closesocket(ToSocket(socket)); }

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
    return ::connect(ToSocket(socket), reinterpret_cast<sockaddr*>(&sa),
                     sizeof sa) == 0;
  }

  bool Send(SocketHandle socket, const void* data,
            std::size_t length) override {
    const char* p = static_cast<const char*>(data);
    while (length > 0) {
      const int n = ::send(ToSocket(socket), p, Clamp(length), 0);
      if (n == SOCKET_ERROR || n == 0) return false;
      p += n;
      length -= static_cast<std::size_t>(n);
    }
    return true;
  }

  void SetNonBlocking(SocketHandle socket) override {
    u_long on = 1;
    ::ioctlsocket(ToSocket(socket), FIONBIO, &on);
  }

  void SetReceiveBufferSize(SocketHandle socket, std::size_t bytes) override {
    const int size = Clamp(bytes);
    ::setsockopt(ToSocket(socket), SOL_SOCKET, SO_RCVBUF,
                 reinterpret_cast<const char*>(&size), sizeof size);
  }

  ReadResult Receive(SocketHandle socket, void* buffer,
                     std::size_t capacity) override {
    const int n = ::recv(ToSocket(socket), static_cast<char*>(buffer),
                         Clamp(capacity), 0);
    if (n == SOCKET_ERROR) return ReadResult::Error(::WSAGetLastError());
    return ReadResult::Data(n);
  }

  ReadResult ReceiveFrom(SocketHandle socket, void* buffer,
                         std::size_t capacity, Ipv4* sender) override {
    sockaddr_in from{};
    int from_length = sizeof from;
    const int n = ::recvfrom(ToSocket(socket), static_cast<char*>(buffer),
                             Clamp(capacity), 0,
                             reinterpret_cast<sockaddr*>(&from), &from_length);
    // A datagram longer than the buffer fails with WSAEMSGSIZE and is gone;
    // an ICMP port-unreachable shows up as WSAECONNRESET on the next read.
    // Both are errors to the logic, and take no slot.
    if (n == SOCKET_ERROR) return ReadResult::Error(::WSAGetLastError());
    *sender = ntohl(from.sin_addr.s_addr);
    return ReadResult::Data(n);
  }

  bool SendTo(SocketHandle socket, const void* data, std::size_t length,
              Ipv4 address, std::uint16_t port) override {
    sockaddr_in sa = ToSockaddr(address, port);
    return ::sendto(ToSocket(socket), static_cast<const char*>(data),
                    Clamp(length), 0, reinterpret_cast<sockaddr*>(&sa),
                    sizeof sa) != SOCKET_ERROR;
  }

  void WaitReadable(SocketHandle socket, std::uint32_t timeout_ms) override {
    if (socket == kInvalidSocket) {
      ::Sleep(timeout_ms);
      return;
    }
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(ToSocket(socket), &readable);
    timeval timeout;
    timeout.tv_sec = static_cast<long>(timeout_ms / 1000);
    timeout.tv_usec = static_cast<long>((timeout_ms % 1000) * 1000);
    ::select(0, &readable, nullptr, nullptr, &timeout);
  }

  std::uint32_t TickMs() override {
    return static_cast<std::uint32_t>(::GetTickCount());
  }
  std::int64_t Counter() override {
    LARGE_INTEGER count;
    ::QueryPerformanceCounter(&count);
    return count.QuadPart;
  }
  std::int64_t CounterFrequency() override {
    LARGE_INTEGER frequency;
    if (!::QueryPerformanceFrequency(&frequency)) return 0;
    return frequency.QuadPart;
  }

  // The volume that holds the current directory: a null root path. Only the
  // serial number is asked for.
  bool VolumeSerial(std::uint32_t* serial) override {
    DWORD number = 0;
    if (!::GetVolumeInformationA(nullptr, nullptr, 0, &number, nullptr, nullptr,
                                 nullptr, 0))
      return false;
    *serial = static_cast<std::uint32_t>(number);
    return true;
  }
};

}  // namespace

Platform& SystemPlatform() {
  static Win32Platform platform;
  return platform;
}

}  // namespace ms
