// Real sockets on loopback for tests and benchmarks: a master on
// 127.0.0.1:28900 and game servers each on their own 127.0.0.x address.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ms_client.h"

namespace ms::testing {

// As root, moves the process into a network namespace of its own with lo
// up, so the fixed port cannot clash and "no network" is real. False (and
// nothing changed) otherwise.
bool EnterPrivateNetwork();

// What the master does with one accepted connection, after reading the
// client's request (up to 3 bytes).
enum class MasterBehaviour {
  kSendAndClose,
  kSendAndHold,
  kSilent,
  kCloseAtOnce,
  kReset
};

class LoopbackMaster {
 public:
  // Listens at once; answers every connection until destroyed.
  LoopbackMaster(MasterBehaviour behaviour, std::string answer = {});
  ~LoopbackMaster();
  LoopbackMaster(const LoopbackMaster&) = delete;
  LoopbackMaster& operator=(const LoopbackMaster&) = delete;

  bool listening() const { return listen_fd_ >= 0; }
  // The bytes the last client sent before the master answered.
  std::string last_request() const;

 private:
  void Serve();

  MasterBehaviour behaviour_;
  std::string answer_;
  int listen_fd_ = -1;
  int wake_fds_[2] = {-1, -1};
  std::thread thread_;
  std::atomic<bool> have_request_{false};
  std::string request_;
};

struct GameServer {
  std::uint32_t address;  // host order
  std::uint16_t port;
  std::string reply;  // sent for every "\status\"
  int delay_ms = 0;
};

// UDP game servers answering "\status\" from one thread.
class LoopbackGameServers {
 public:
  explicit LoopbackGameServers(std::vector<GameServer> servers);
  ~LoopbackGameServers();
  LoopbackGameServers(const LoopbackGameServers&) = delete;
  LoopbackGameServers& operator=(const LoopbackGameServers&) = delete;

  bool ready() const { return ready_; }
  // The list message a master would send for these servers.
  std::string ListMessage() const;
  int queries_seen() const { return queries_.load(); }

 private:
  void Serve();

  std::vector<GameServer> servers_;
  std::vector<int> fds_;
  int wake_fds_[2] = {-1, -1};
  bool ready_ = false;
  std::atomic<int> queries_{0};
  std::thread thread_;
};

// The built shared library, loaded by path and looked up by name as hosts
// do.
class LoadedLibrary {
 public:
  explicit LoadedLibrary(const char* path);
  ~LoadedLibrary();
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  std::string error() const { return error_; }

  int32_t (*Reset)(void) = nullptr;
  int32_t (*GetServerInfo)(ServerRecord*) = nullptr;
  int32_t (*GetPlayerID)(char*) = nullptr;
  int32_t (*VerifyNolkVersion)(void) = nullptr;

  // Records up to the end mark, without the empty ones after the last.
  std::vector<ServerRecord> ReadAll();

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace ms::testing
