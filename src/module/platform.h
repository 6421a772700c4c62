// The one seam between the module's logic and the outside world: sockets,
// readiness, time and the volume serial number. The logic never touches the
// operating system except through this interface, so tests script every
// effect through a fake, and each system fills it in its own file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ms {

// Opaque socket handle. Large enough for a Winsock SOCKET and a POSIX fd.
using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle kInvalidSocket = ~SocketHandle{0};

// Error codes the logic reacts to, with the values of the original socket
// library so every platform reports them alike.
inline constexpr int kErrorWouldBlock = 10035;  // nothing waiting to be read
inline constexpr int kErrorTooLarge = 10040;    // datagram longer than buffer

// IPv4 address in host order: 127.0.0.1 is 0x7F000001.
using Ipv4 = std::uint32_t;

// The outcome of one read, shaped like the socket library's own: a positive
// byte count, 0 when the peer closed the stream (or an empty datagram), or a
// negative count with the error code.
struct ReadResult {
  long bytes = 0;
  int error = 0;

  static ReadResult Data(long n) { return {n, 0}; }
  static ReadResult Closed() { return {0, 0}; }
  static ReadResult Error(int code) { return {-1, code}; }
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Socket library lifetime. StartUp answers 0 on success; CleanUp is called
  // once for every successful StartUp, after every socket has been closed.
  virtual int StartUp() = 0;
  virtual void CleanUp() = 0;

  // Create an IPv4 stream or datagram socket; kInvalidSocket on failure.
  virtual SocketHandle OpenTcp() = 0;
  virtual SocketHandle OpenUdp() = 0;
  virtual void Close(SocketHandle socket) = 0;

  // First IPv4 address of a host name; false when it does not resolve.
  virtual bool Resolve(const char* host_name, Ipv4* address) = 0;
  // Blocking connect; true once connected.
  virtual bool Connect(SocketHandle socket, Ipv4 address,
                       std::uint16_t port) = 0;
  // One blocking send of the whole buffer; false on error. Never raises a
  // signal in the host when the peer has gone.
  virtual bool Send(SocketHandle socket, const void* data,
                    std::size_t length) = 0;
  // After this, reads on the socket return at once (kErrorWouldBlock).
  virtual void SetNonBlocking(SocketHandle socket) = 0;
  // Best effort: ask the system for a receive buffer of this many bytes.
  virtual void SetReceiveBufferSize(SocketHandle socket, std::size_t bytes) = 0;

  // One stream read of at most capacity bytes.
  virtual ReadResult Receive(SocketHandle socket, void* buffer,
                             std::size_t capacity) = 0;
  // One datagram of at most capacity bytes with its sender. A longer
  // datagram is consumed whole and reported as kErrorTooLarge, never
  // delivered in part.
  virtual ReadResult ReceiveFrom(SocketHandle socket, void* buffer,
                                 std::size_t capacity, Ipv4* sender) = 0;
  // One datagram to address:port; false when the system refused it.
  virtual bool SendTo(SocketHandle socket, const void* data, std::size_t length,
                      Ipv4 address, std::uint16_t port) = 0;

  // Sleep until the socket has something to read (data, close or error) or
  // timeout_ms have passed, whichever comes first. Loops call it instead of
  // spinning; it may return early, never changes what a read returns.
  virtual void WaitReadable(SocketHandle socket, std::uint32_t timeout_ms) = 0;

  // Milliseconds since some fixed point, 32-bit, wrapping.
  virtual std::uint32_t TickMs() = 0;
  // High-resolution counter and its counts per second (0 when there is none).
  virtual std::int64_t Counter() = 0;
  virtual std::int64_t CounterFrequency() = 0;

  // Serial number of the volume that holds the current directory.
  virtual bool VolumeSerial(std::uint32_t* serial) = 0;
};

// The implementation for the system the library was built for.
Platform& SystemPlatform();

// Milliseconds from start to now on a wrapping 32-bit tick.
inline std::uint32_t ElapsedMs(std::uint32_t start, std::uint32_t now) {
  return now - start;
}

}  // namespace ms
