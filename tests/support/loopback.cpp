#include "support/loopback.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>

namespace ms::testing {
namespace {

sockaddr_in Endpoint(std::uint32_t address, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(address);
  return sa;
}

void Wake(int fd) {
  const char byte = 1;
  (void)!::write(fd, &byte, 1);
}

}  // namespace

bool EnterPrivateNetwork() {
  if (::geteuid() != 0) return false;
  if (::unshare(CLONE_NEWNET) != 0) return false;
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return false;
  ifreq ifr{};
  std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
  bool up = ::ioctl(fd, SIOCGIFFLAGS, &ifr) == 0;
  ifr.ifr_flags |= IFF_UP | IFF_RUNNING;
  up = up && ::ioctl(fd, SIOCSIFFLAGS, &ifr) == 0;
  ::close(fd);
  return up;
}

LoopbackMaster::LoopbackMaster(MasterBehaviour behaviour, std::string answer)
    : behaviour_(behaviour), answer_(std::move(answer)) {
  if (::pipe(wake_fds_) != 0) return;
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  const int one = 1;
  ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa = Endpoint(0x7F000001, 28900);
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
      ::listen(listen_fd_, 16) != 0) {
    ::close(listen_fd_);
    listen_fd_ = -1;
    return;
  }
  thread_ = std::thread([this] { Serve(); });
}

LoopbackMaster::~LoopbackMaster() {
  if (thread_.joinable()) {
    Wake(wake_fds_[1]);
    thread_.join();
  }
  if (listen_fd_ >= 0) ::close(listen_fd_);
  for (int fd : wake_fds_)
    if (fd >= 0) ::close(fd);
}

std::string LoopbackMaster::last_request() const {
  return have_request_.load() ? request_ : std::string();
}

void LoopbackMaster::Serve() {
  std::vector<int> held;
  for (;;) {
    pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {wake_fds_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) break;
    const int client = ::accept(listen_fd_, nullptr, nullptr);
    if (client < 0) continue;
    // Read the request before answering, so the client's send never meets
    // a closed connection.
    std::string request;
    char buffer[16];
    while (request.size() < 3) {
      pollfd p{client, POLLIN, 0};
      if (::poll(&p, 1, 2000) <= 0) break;
      const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      request.append(buffer, static_cast<std::size_t>(n));
    }
    if (!have_request_.load()) {
      request_ = request;
      have_request_ = true;
    }
    switch (behaviour_) {
      case MasterBehaviour::kSendAndClose:
        (void)!::send(client, answer_.data(), answer_.size(), MSG_NOSIGNAL);
        ::close(client);
        break;
      case MasterBehaviour::kSendAndHold:
        (void)!::send(client, answer_.data(), answer_.size(), MSG_NOSIGNAL);
        held.push_back(client);
        break;
      case MasterBehaviour::kSilent:
        held.push_back(client);
        break;
      case MasterBehaviour::kCloseAtOnce:
        ::close(client);
        break;
      case MasterBehaviour::kReset: {
        linger hard{1, 0};
        ::setsockopt(client, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        ::close(client);
        break;
      }
    }
  }
  for (int fd : held) ::close(fd);
}

LoopbackGameServers::LoopbackGameServers(std::vector<GameServer> servers)
    : servers_(std::move(servers)) {
  if (::pipe(wake_fds_) != 0) return;
  for (const GameServer& server : servers_) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa = Endpoint(server.address, server.port);
    if (fd < 0 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
      if (fd >= 0) ::close(fd);
      for (int open : fds_) ::close(open);
      fds_.clear();
      return;
    }
    fds_.push_back(fd);
  }
  ready_ = true;
  thread_ = std::thread([this] { Serve(); });
}

LoopbackGameServers::~LoopbackGameServers() {
  if (thread_.joinable()) {
    Wake(wake_fds_[1]);
    thread_.join();
  }
  for (int fd : fds_) ::close(fd);
  for (int fd : wake_fds_)
    if (fd >= 0) ::close(fd);
}

std::string LoopbackGameServers::ListMessage() const {
  std::string message = "101\x01";
  message += "\\basic\\\x01";
  for (const GameServer& server : servers_) {
    char line[64];
    std::snprintf(line, sizeof line, "%u.%u.%u.%u:%u\n", server.address >> 24,
                  (server.address >> 16) & 0xFF, (server.address >> 8) & 0xFF,
                  server.address & 0xFF, server.port);
    message += line;
  }
  message += '\x02';
  return message;
}

void LoopbackGameServers::Serve() {
  using Clock = std::chrono::steady_clock;
  struct Pending {
    std::size_t server;
    sockaddr_in to;
  };
  std::multimap<Clock::time_point, Pending> pending;
  std::vector<pollfd> fds;
  for (int fd : fds_) fds.push_back({fd, POLLIN, 0});
  fds.push_back({wake_fds_[0], POLLIN, 0});
  for (;;) {
    int timeout_ms = -1;
    if (!pending.empty()) {
      const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
          pending.begin()->first - Clock::now());
      timeout_ms = static_cast<int>(std::max<long long>(0, wait.count()));
    }
    if (::poll(fds.data(), fds.size(), timeout_ms) < 0) continue;
    if (fds.back().revents) return;
    for (std::size_t i = 0; i + 1 < fds.size(); ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      char buffer[64];
      sockaddr_in from{};
      socklen_t from_len = sizeof from;
      const ssize_t n =
          ::recvfrom(fds[i].fd, buffer, sizeof buffer, 0,
                     reinterpret_cast<sockaddr*>(&from), &from_len);
      if (n != 8 || std::memcmp(buffer, "\\status\\", 8) != 0) continue;
      ++queries_;
      pending.emplace(
          Clock::now() + std::chrono::milliseconds(servers_[i].delay_ms),
          Pending{i, from});
    }
    const auto now = Clock::now();
    while (!pending.empty() && pending.begin()->first <= now) {
      const Pending p = pending.begin()->second;
      pending.erase(pending.begin());
      const std::string& reply = servers_[p.server].reply;
      ::sendto(fds_[p.server], reply.data(), reply.size(), 0,
               reinterpret_cast<const sockaddr*>(&p.to), sizeof p.to);
    }
  }
}

LoadedLibrary::LoadedLibrary(const char* path) {
  handle_ = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* e = ::dlerror();
    error_ = e ? e : "dlopen failed";
    return;
  }
  Reset =
      reinterpret_cast<int32_t (*)(void)>(::dlsym(handle_, "sms_clientReset"));
  GetServerInfo = reinterpret_cast<int32_t (*)(ServerRecord*)>(
      ::dlsym(handle_, "GetServerInfo"));
  GetPlayerID =
      reinterpret_cast<int32_t (*)(char*)>(::dlsym(handle_, "GetPlayerID"));
  VerifyNolkVersion = reinterpret_cast<int32_t (*)(void)>(
      ::dlsym(handle_, "VerifyNolkVersion"));
  if (!Reset || !GetServerInfo || !GetPlayerID || !VerifyNolkVersion)
    error_ = "an export is missing";
}

LoadedLibrary::~LoadedLibrary() {
  if (handle_) ::dlclose(handle_);
}

std::vector<ServerRecord> LoadedLibrary::ReadAll() {
  std::vector<ServerRecord> records;
  static const ServerRecord kEmpty{};
  for (int call = 0; call < 200; ++call) {
    ServerRecord record{};
    const int32_t answer = GetServerInfo(&record);
    if (std::memcmp(&record, &kEmpty, sizeof record) != 0)
      records.push_back(record);
    if (answer == 1) break;
  }
  return records;
}

}  // namespace ms::testing
