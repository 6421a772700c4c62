#include "support/fake_platform.h"

#include <algorithm>
#include <cstring>

namespace ms::testing {

ScriptedRead Bytes(std::string bytes) {
  const long n = static_cast<long>(bytes.size());
  return {n > 0 ? ReadResult::Data(n) : ReadResult::Closed(), std::move(bytes),
          0};
}
ScriptedRead From(Ipv4 sender, std::string bytes) {
  ScriptedRead read = Bytes(std::move(bytes));
  read.sender = sender;
  return read;
}
ScriptedRead WouldBlock() {
  return {ReadResult::Error(kErrorWouldBlock), {}, 0};
}
ScriptedRead Closed() { return {ReadResult::Closed(), {}, 0}; }
ScriptedRead Failed(int code) { return {ReadResult::Error(code), {}, 0}; }

std::string Dotted(Ipv4 a) {
  return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xFF) +
         "." + std::to_string((a >> 8) & 0xFF) + "." + std::to_string(a & 0xFF);
}

std::vector<std::string> FakePlatform::CallsNamed(
    const std::string& prefix) const {
  std::vector<std::string> named;
  for (const std::string& call : calls)
    if (call.compare(0, prefix.size(), prefix) == 0) named.push_back(call);
  return named;
}

int FakePlatform::StartUp() {
  Record("StartUp");
  if (start_up_result == 0) ++start_ups;
  return start_up_result;
}

void FakePlatform::CleanUp() {
  Record("CleanUp");
  ++clean_ups;
  open_at_clean_up += OpenSockets();
}

SocketHandle FakePlatform::OpenTcp() {
  if (tcp_open_fails) {
    Record("OpenTcp failed");
    return kInvalidSocket;
  }
  ++sockets_opened;
  Record("OpenTcp " + std::to_string(next_socket_));
  return next_socket_++;
}

SocketHandle FakePlatform::OpenUdp() {
  if (udp_open_fails) {
    Record("OpenUdp failed");
    return kInvalidSocket;
  }
  ++sockets_opened;
  Record("OpenUdp " + std::to_string(next_socket_));
  return next_socket_++;
}

void FakePlatform::Close(SocketHandle socket) {
  ++sockets_closed;
  Record("Close " + std::to_string(socket));
}

bool FakePlatform::Resolve(const char* host_name, Ipv4* address) {
  resolved_name = host_name;
  Record(std::string("Resolve ") + host_name);
  if (resolve_fails) return false;
  *address = resolved_address;
  return true;
}

bool FakePlatform::Connect(SocketHandle socket, Ipv4 address,
                           std::uint16_t port) {
  Record("Connect " + std::to_string(socket) + " " + Dotted(address) + ":" +
         std::to_string(port));
  return !connect_fails;
}

bool FakePlatform::Send(SocketHandle socket, const void* data,
                        std::size_t length) {
  std::string bytes(static_cast<const char*>(data), length);
  Record("Send " + std::to_string(socket) + " " + bytes);
  if (send_fails) return false;
  stream_sent += bytes;
  return true;
}

void FakePlatform::SetNonBlocking(SocketHandle socket) {
  Record("SetNonBlocking " + std::to_string(socket));
}

void FakePlatform::SetReceiveBufferSize(SocketHandle socket,
                                        std::size_t bytes) {
  Record("SetReceiveBufferSize " + std::to_string(socket) + " " +
         std::to_string(bytes));
}

ReadResult FakePlatform::Play(std::deque<ScriptedRead>& script, void* buffer,
                              std::size_t capacity, Ipv4* sender) {
  largest_receive_capacity = std::max(largest_receive_capacity, capacity);
  if (script.empty()) return ReadResult::Error(kErrorWouldBlock);
  ScriptedRead read = std::move(script.front());
  script.pop_front();
  if (read.result.bytes > 0) {
    if (read.bytes.size() > capacity) return ReadResult::Error(kErrorTooLarge);
    std::memcpy(buffer, read.bytes.data(), read.bytes.size());
    if (sender) *sender = read.sender;
  }
  return read.result;
}

ReadResult FakePlatform::Receive(SocketHandle socket, void* buffer,
                                 std::size_t capacity) {
  Record("Receive " + std::to_string(socket));
  return Play(tcp_reads, buffer, capacity, nullptr);
}

ReadResult FakePlatform::ReceiveFrom(SocketHandle socket, void* buffer,
                                     std::size_t capacity, Ipv4* sender) {
  Record("ReceiveFrom " + std::to_string(socket));
  return Play(udp_reads, buffer, capacity, sender);
}

bool FakePlatform::SendTo(SocketHandle socket, const void* data,
                          std::size_t length, Ipv4 address,
                          std::uint16_t port) {
  std::string bytes(static_cast<const char*>(data), length);
  Record("SendTo " + std::to_string(socket) + " " + Dotted(address) + ":" +
         std::to_string(port));
  datagrams.push_back({socket, address, port, bytes});
  return !send_to_fails;
}

void FakePlatform::WaitReadable(SocketHandle socket, std::uint32_t timeout_ms) {
  Record("WaitReadable " + std::to_string(socket) + " " +
         std::to_string(timeout_ms));
}

std::uint32_t FakePlatform::TickMs() {
  if (ticks.empty()) {
    last_tick_ += 100;
  } else {
    last_tick_ = ticks.front();
    ticks.pop_front();
  }
  Record("TickMs " + std::to_string(last_tick_));
  return last_tick_;
}

std::int64_t FakePlatform::Counter() {
  if (counters.empty()) {
    ++last_counter_;
  } else {
    last_counter_ = counters.front();
    counters.pop_front();
  }
  Record("Counter " + std::to_string(last_counter_));
  return last_counter_;
}

std::int64_t FakePlatform::CounterFrequency() {
  Record("CounterFrequency");
  return frequency;
}

bool FakePlatform::VolumeSerial(std::uint32_t* serial) {
  Record("VolumeSerial");
  if (volume_serial_fails) return false;
  *serial = volume_serial;
  return true;
}

}  // namespace ms::testing
