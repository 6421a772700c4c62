// A scripted platform: every read, tick and counter value is played from a
// script, and every call is recorded, so loop rules can be proven exactly.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "module/platform.h"

namespace ms::testing {

// One scripted read: data (with its sender, for datagrams), would-block,
// close or an error.
struct ScriptedRead {
  ReadResult result;
  std::string bytes;
  Ipv4 sender = 0;
};

ScriptedRead Bytes(std::string bytes);
ScriptedRead From(Ipv4 sender, std::string bytes);
ScriptedRead WouldBlock();
ScriptedRead Closed();
ScriptedRead Failed(int code);

struct SentDatagram {
  SocketHandle socket;
  Ipv4 address;
  std::uint16_t port;
  std::string bytes;
};

class FakePlatform final : public Platform {
 public:
  // Played in order; an empty read script answers would-block.
  std::deque<ScriptedRead> tcp_reads;
  std::deque<ScriptedRead> udp_reads;
  // Played in order. Once empty, each tick comes 100 ms after the last one
  // (so no loop can wait forever) and each counter reading adds 1.
  std::deque<std::uint32_t> ticks;
  std::deque<std::int64_t> counters;
  std::int64_t frequency = 1000;

  int start_up_result = 0;
  bool tcp_open_fails = false;
  bool udp_open_fails = false;
  bool resolve_fails = false;
  bool connect_fails = false;
  bool send_fails = false;
  bool send_to_fails = false;
  bool volume_serial_fails = false;
  std::uint32_t volume_serial = 0;
  Ipv4 resolved_address = 0x7F000001;

  // Every call, in order, e.g. "OpenTcp 1", "Receive 1", "Close 1".
  std::vector<std::string> calls;
  std::vector<SentDatagram> datagrams;
  std::string stream_sent;
  std::string resolved_name;
  int start_ups = 0;
  int clean_ups = 0;
  int sockets_opened = 0;
  int sockets_closed = 0;
  // Sockets still open when CleanUp ran; must stay 0.
  int open_at_clean_up = 0;
  std::size_t largest_receive_capacity = 0;

  // The calls whose text starts with prefix.
  std::vector<std::string> CallsNamed(const std::string& prefix) const;
  int OpenSockets() const { return sockets_opened - sockets_closed; }

  int StartUp() override;
  void CleanUp() override;
  SocketHandle OpenTcp() override;
  SocketHandle OpenUdp() override;
  void Close(SocketHandle socket) override;
  bool Resolve(const char* host_name, Ipv4* address) override;
  bool Connect(SocketHandle socket, Ipv4 address, std::uint16_t port) override;
  bool Send(SocketHandle socket, const void* data, std::size_t length) override;
  void SetNonBlocking(SocketHandle socket) override;
  void SetReceiveBufferSize(SocketHandle socket, std::size_t bytes) override;
  ReadResult Receive(SocketHandle socket, void* buffer,
                     std::size_t capacity) override;
  ReadResult ReceiveFrom(SocketHandle socket, void* buffer,
                         std::size_t capacity, Ipv4* sender) override;
  bool SendTo(SocketHandle socket, const void* data, std::size_t length,
              Ipv4 address, std::uint16_t port) override;
  void WaitReadable(SocketHandle socket, std::uint32_t timeout_ms) override;
  std::uint32_t TickMs() override;
  std::int64_t Counter() override;
  std::int64_t CounterFrequency() override;
  bool VolumeSerial(std::uint32_t* serial) override;

 private:
  ReadResult Play(std::deque<ScriptedRead>& script, void* buffer,
                  std::size_t capacity, Ipv4* sender);
  void Record(std::string call) { calls.push_back(std::move(call)); }

  SocketHandle next_socket_ = 1;
  std::uint32_t last_tick_ = 0;
  std::int64_t last_counter_ = 0;
};

std::string Dotted(Ipv4 address);

}  // namespace ms::testing
