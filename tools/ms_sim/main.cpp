// ms-sim: a local internet of game servers. Serves the master protocol on
// 127.0.0.1:28900 and answers status queries from N game servers, each on
// its own loopback address, with realistic content and reply delays.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "population.h"

namespace ms_sim {
namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

constexpr std::uint16_t kMasterPort = 28900;
constexpr std::uint32_t kMasterAddress = 0x7F000001;

enum class MasterMode {
  kNormal,
  kSilent,
  kClose,
  kReset,
  kNoise,
  kSplit,
  kEmpty,
  kGarbage
};
enum class ReplyFault { kNone, kOversize, kExact2048, kEmpty, kDuplicate };

struct Options {
  PopulationOptions population;
  double duration_s = 0;  // 0: until interrupted
  MasterMode master = MasterMode::kNormal;
  ReplyFault reply_fault = ReplyFault::kNone;
  std::string manifest;
};

const char kUsage[] =
    "usage: ms-sim [options]\n"
    "\n"
    "Serves the master protocol on 127.0.0.1:28900 (TCP) and N game servers\n"
    "over UDP, each on its own loopback address from 127.0.0.2 upwards.\n"
    "Prints one line when ready; stops on Ctrl-C or after --duration.\n"
    "\n"
    "Population:\n"
    "  --servers N          game servers to list (default 40; more than 128 is "
    "fine)\n"
    "  --seed K             seed for names, maps, players and delays (default "
    "1)\n"
    "  --delay-min MS       shortest reply delay (default 5)\n"
    "  --delay-max MS       longest reply delay (default 300); delays are\n"
    "                       spread log-uniformly between the two\n"
    "  --silent-percent P   share of servers that never answer (default 10)\n"
    "  --duration SECONDS   stop after this long (default: run until Ctrl-C)\n"
    "  --manifest FILE      write one JSON line per listed server: what it "
    "serves\n"
    "\n"
    "Master faults (at most one):\n"
    "  --master-silent      accept, then never answer\n"
    "  --master-close       close the connection without sending a list\n"
    "  --master-reset       reset the connection\n"
    "  --master-noise       send a message that is not a list before the list\n"
    "  --master-split       send the list in small pieces with pauses\n"
    "  --empty-list         send a list with no servers\n"
    "  --garbage            stream bytes that never end a message (no 0x02)\n"
    "\n"
    "Reply faults, each on every fourth server (the first, fifth, ...):\n"
    "  --oversize           a 2049-byte reply (too long to be read)\n"
    "  --exact-2048         a reply padded to exactly 2048 bytes\n"
    "  --empty-datagram     an empty datagram instead of the reply\n"
    "  --duplicate          the reply sent twice\n"
    "\n"
    "  --help               this text\n";

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

[[noreturn]] void Fail(int status, const std::string& message) {
  std::fprintf(stderr, "ms-sim: %s\n", message.c_str());
  std::exit(status);
}

bool ParseInt(const char* text, long low, long high, long* out) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno || end == text || *end || value < low || value > high) return false;
  *out = value;
  return true;
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  int master_flags = 0;
  int reply_flags = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](long low, long high) {
      long v = 0;
      if (i + 1 >= argc || !ParseInt(argv[i + 1], low, high, &v))
        Fail(2, arg + " needs a number from " + std::to_string(low) + " to " +
                    std::to_string(high) + " (see --help)");
      ++i;
      return v;
    };
    auto master = [&](MasterMode mode) {
      options.master = mode;
      ++master_flags;
    };
    auto reply = [&](ReplyFault fault) {
      options.reply_fault = fault;
      ++reply_flags;
    };
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (arg == "--servers") {
      options.population.servers = static_cast<int>(value(0, 4000));
    } else if (arg == "--seed") {
      options.population.seed =
          static_cast<std::uint64_t>(value(0, 2147483647));
    } else if (arg == "--delay-min") {
      options.population.delay_min_ms = static_cast<int>(value(0, 60000));
    } else if (arg == "--delay-max") {
      options.population.delay_max_ms = static_cast<int>(value(0, 60000));
    } else if (arg == "--silent-percent") {
      options.population.silent_percent = static_cast<int>(value(0, 100));
    } else if (arg == "--duration") {
      options.duration_s = static_cast<double>(value(1, 86400));
    } else if (arg == "--manifest") {
      if (i + 1 >= argc) Fail(2, "--manifest needs a file name");
      options.manifest = argv[++i];
    } else if (arg == "--master-silent") {
      master(MasterMode::kSilent);
    } else if (arg == "--master-close") {
      master(MasterMode::kClose);
    } else if (arg == "--master-reset") {
      master(MasterMode::kReset);
    } else if (arg == "--master-noise") {
      master(MasterMode::kNoise);
    } else if (arg == "--master-split") {
      master(MasterMode::kSplit);
    } else if (arg == "--empty-list") {
      master(MasterMode::kEmpty);
    } else if (arg == "--garbage") {
      master(MasterMode::kGarbage);
    } else if (arg == "--oversize") {
      reply(ReplyFault::kOversize);
    } else if (arg == "--exact-2048") {
      reply(ReplyFault::kExact2048);
    } else if (arg == "--empty-datagram") {
      reply(ReplyFault::kEmpty);
    } else if (arg == "--duplicate") {
      reply(ReplyFault::kDuplicate);
    } else {
      Fail(2, "unknown option '" + arg + "' (see --help)");
    }
  }
  if (master_flags > 1) Fail(2, "choose at most one master fault");
  if (reply_flags > 1) Fail(2, "choose at most one reply fault");
  if (options.population.delay_max_ms < options.population.delay_min_ms)
    Fail(2, "--delay-max must not be below --delay-min");
  return options;
}

sockaddr_in Endpoint(std::uint32_t address, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(address);
  return sa;
}

void NonBlocking(int fd) {
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
}

int Bind(int type, std::uint32_t address, std::uint16_t port) {
  const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
  if (fd < 0)
    Fail(1, std::string("cannot create a socket: ") + std::strerror(errno));
  const int one = 1;
  if (type == SOCK_STREAM)
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa = Endpoint(address, port);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    const int error = errno;
    const std::string where = Dotted(address) + ":" + std::to_string(port);
    if (error == EADDRINUSE)
      Fail(3,
           where + " is already in use (is another master or ms-sim running?)");
    if (error == EADDRNOTAVAIL)
      Fail(4, "address " + Dotted(address) +
                  " is not available here (is the loopback interface up?)");
    Fail(1, "cannot bind " + where + ": " + std::strerror(error));
  }
  if (type == SOCK_STREAM && ::listen(fd, 64) != 0)
    Fail(1, std::string("cannot listen: ") + std::strerror(errno));
  NonBlocking(fd);
  return fd;
}

// Pads a reply with a filler pair so it is exactly size bytes long.
std::string PaddedTo(std::string reply, std::size_t size) {
  const std::string key = "\\padding\\";
  if (reply.size() + key.size() < size)
    reply += key + std::string(size - reply.size() - key.size(), 'x');
  reply.resize(size, 'x');
  return reply;
}

std::string ListMessage(const std::vector<SimServer>& servers, bool empty) {
  std::string message = "101";
  message += '\x01';
  message += "\\basic\\\\secure\\SIMSIM";  // head, ended by 0x01
  message += '\x01';
  if (!empty)
    for (const SimServer& s : servers)
      message += Dotted(s.address) + ":" + std::to_string(s.port) + "\n";
  message += '\x02';
  return message;
}

struct Client {
  int fd;
  std::string request;
  bool answered = false;
  std::string to_send;    // pending bytes, sent in pieces when split
  std::string then_send;  // sent after a pause once to_send is out
  Clock::time_point next_write;
};

class Simulator {
 public:
  Simulator(Options options, std::vector<SimServer> servers)
      : options_(std::move(options)), servers_(std::move(servers)) {
    for (std::size_t i = 0; i < servers_.size(); ++i) {
      const bool faulty =
          options_.reply_fault != ReplyFault::kNone && i % 4 == 0;
      faults_.push_back(faulty ? options_.reply_fault : ReplyFault::kNone);
      std::string& reply = servers_[i].reply;
      if (faults_.back() == ReplyFault::kOversize)
        reply = PaddedTo(reply, 2049);
      if (faults_.back() == ReplyFault::kExact2048)
        reply = PaddedTo(reply, 2048);
      if (faults_.back() == ReplyFault::kEmpty) reply.clear();
    }
    list_ = ListMessage(servers_, options_.master == MasterMode::kEmpty);
  }

  void Bind() {
    master_fd_ = ms_sim::Bind(SOCK_STREAM, kMasterAddress, kMasterPort);
    for (const SimServer& s : servers_)
      udp_fds_.push_back(ms_sim::Bind(SOCK_DGRAM, s.address, s.port));
  }

  void WriteManifest() const {
    if (options_.manifest.empty()) return;
    std::ofstream out(options_.manifest);
    for (std::size_t i = 0; i < servers_.size(); ++i) {
      std::string line = ManifestLine(servers_[i]);
      static const char* const kFaultNames[] = {"none", "oversize", "exact2048",
                                                "empty", "duplicate"};
      line.insert(line.size() - 1,
                  ",\"fault\":\"" +
                      std::string(kFaultNames[static_cast<int>(faults_[i])]) +
                      "\"");
      out << line << "\n";
    }
    if (!out) Fail(1, "cannot write the manifest " + options_.manifest);
  }

  void ReportReady() const {
    int answering = 0;
    for (const SimServer& s : servers_) answering += s.answers;
    std::string range = servers_.empty()
                            ? std::string("none")
                            : Dotted(servers_.front().address) + "-" +
                                  Dotted(servers_.back().address);
    std::printf(
        "ms-sim: ready: master on 127.0.0.1:%u, %zu game servers on %s (%d "
        "answer)\n",
        kMasterPort, servers_.size(), range.c_str(), answering);
    std::fflush(stdout);
  }

  void Run() {
    const Clock::time_point end =
        Clock::now() + Ms(static_cast<long long>(options_.duration_s * 1000));
    while (!g_stop) {
      const Clock::time_point now = Clock::now();
      if (options_.duration_s > 0 && now >= end) break;
      SendDueReplies(now);
      WriteToClients(now);

      std::vector<pollfd> fds;
      fds.push_back({master_fd_, POLLIN, 0});
      for (const Client& c : clients_) fds.push_back({c.fd, POLLIN, 0});
      for (int fd : udp_fds_) fds.push_back({fd, POLLIN, 0});

      Clock::time_point wake = options_.duration_s > 0 ? end : now + Ms(1000);
      if (!pending_.empty() && pending_.begin()->first < wake)
        wake = pending_.begin()->first;
      for (const Client& c : clients_)
        if (!c.to_send.empty() && c.next_write < wake) wake = c.next_write;
      const auto timeout = std::chrono::duration_cast<Ms>(wake - now).count();
      const int ready =
          ::poll(fds.data(), fds.size(),
                 static_cast<int>(std::max<long long>(0, timeout)));
      if (ready <= 0) continue;

      if (fds[0].revents & POLLIN) Accept();
      std::size_t at = 1;
      std::vector<int> gone;
      for (Client& c : clients_) {
        if (fds[at++].revents) ReadClient(c, gone);
      }
      for (int fd : gone) DropClient(fd);
      for (std::size_t i = 0; i < udp_fds_.size(); ++i)
        if (fds[at + i].revents & POLLIN) ReadQuery(i);
    }
    for (const Client& c : clients_) ::close(c.fd);
  }

 private:
  void Accept() {
    for (;;) {
      const int fd =
          ::accept4(master_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd < 0) return;
      clients_.push_back({fd, {}, false, {}, {}, Clock::now()});
    }
  }

  void ReadClient(Client& c, std::vector<int>& gone) {
    char buffer[256];
    const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
      gone.push_back(c.fd);
      return;
    }
    if (n < 0) return;
    c.request.append(buffer, static_cast<std::size_t>(n));
    if (!c.answered && c.request.size() >= 3) Answer(c, gone);
  }

  void Answer(Client& c, std::vector<int>& gone) {
    c.answered = true;
    if (c.request.compare(0, 3, "001") != 0) {
      gone.push_back(c.fd);
      return;
    }
    switch (options_.master) {
      case MasterMode::kNormal:
      case MasterMode::kEmpty:
        c.to_send = list_;
        break;
      case MasterMode::kNoise:
        // A message that is no list, then the list after a pause: sent
        // together and followed by the close, the list would never be
        // tested (one message is dropped per pass, then the close is read).
        c.to_send = std::string("\\basic\\\\secure\\NOISE") + '\x02';
        c.then_send = list_;
        break;
      case MasterMode::kSplit:
        c.to_send = list_;
        break;
      case MasterMode::kSilent:
        break;
      case MasterMode::kClose:
        gone.push_back(c.fd);
        break;
      case MasterMode::kReset: {
        linger hard{1, 0};
        ::setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        gone.push_back(c.fd);
        break;
      }
      case MasterMode::kGarbage:
        c.to_send = Garbage();
        break;
    }
    c.next_write = Clock::now();
  }

  std::string Garbage() {
    std::string bytes(4096, 'g');
    for (std::size_t i = 0; i < bytes.size(); ++i)
      bytes[i] = static_cast<char>(0x20 + (i * 7 + garbage_round_) % 90);
    ++garbage_round_;
    return bytes;
  }

  void WriteToClients(Clock::time_point now) {
    std::vector<int> done;
    for (Client& c : clients_) {
      if (c.to_send.empty() || now < c.next_write) continue;
      const bool split = options_.master == MasterMode::kSplit;
      const std::size_t piece =
          split ? std::min<std::size_t>(40, c.to_send.size())
                : c.to_send.size();
      const ssize_t n = ::send(c.fd, c.to_send.data(), piece, MSG_NOSIGNAL);
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        done.push_back(c.fd);
        continue;
      }
      if (n > 0) c.to_send.erase(0, static_cast<std::size_t>(n));
      if (split) c.next_write = now + Ms(25);
      if (c.to_send.empty() && !c.then_send.empty()) {
        c.to_send = std::move(c.then_send);
        c.then_send.clear();
        c.next_write = now + Ms(50);
      } else if (options_.master == MasterMode::kGarbage && c.to_send.empty()) {
        c.to_send = Garbage();  // an endless stream, a little at a time
        c.next_write = now + Ms(5);
      } else if (c.to_send.empty() && options_.master != MasterMode::kSilent) {
        done.push_back(c.fd);  // the whole answer is out: hang up
      }
    }
    for (int fd : done) DropClient(fd);
  }

  void DropClient(int fd) {
    for (std::size_t i = 0; i < clients_.size(); ++i) {
      if (clients_[i].fd == fd) {
        ::close(fd);
        clients_.erase(clients_.begin() + static_cast<long>(i));
        return;
      }
    }
  }

  void ReadQuery(std::size_t server) {
    for (;;) {
      char buffer[64];
      sockaddr_in from{};
      socklen_t from_len = sizeof from;
      const ssize_t n =
          ::recvfrom(udp_fds_[server], buffer, sizeof buffer, 0,
                     reinterpret_cast<sockaddr*>(&from), &from_len);
      if (n < 0) return;
      if (n != 8 || std::memcmp(buffer, "\\status\\", 8) != 0) continue;
      if (!servers_[server].answers) continue;
      pending_.emplace(Clock::now() + Ms(servers_[server].delay_ms),
                       Pending{server, from});
    }
  }

  void SendDueReplies(Clock::time_point now) {
    while (!pending_.empty() && pending_.begin()->first <= now) {
      const Pending p = pending_.begin()->second;
      pending_.erase(pending_.begin());
      const std::string& reply = servers_[p.server].reply;
      const int copies = faults_[p.server] == ReplyFault::kDuplicate ? 2 : 1;
      for (int i = 0; i < copies; ++i)
        ::sendto(udp_fds_[p.server], reply.data(), reply.size(), 0,
                 reinterpret_cast<const sockaddr*>(&p.to), sizeof p.to);
    }
  }

  struct Pending {
    std::size_t server;
    sockaddr_in to;
  };

  Options options_;
  std::vector<SimServer> servers_;
  std::vector<ReplyFault> faults_;
  std::string list_;
  int master_fd_ = -1;
  std::vector<int> udp_fds_;
  std::vector<Client> clients_;
  std::multimap<Clock::time_point, Pending> pending_;
  unsigned garbage_round_ = 0;
};

}  // namespace
}  // namespace ms_sim

int main(int argc, char** argv) {
  using namespace ms_sim;
  Options options = ParseOptions(argc, argv);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  Simulator simulator(options, MakePopulation(options.population));
  simulator.Bind();
  simulator.WriteManifest();
  simulator.ReportReady();
  simulator.Run();
  std::printf("ms-sim: stopped\n");
  return 0;
}
