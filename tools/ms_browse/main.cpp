// ms-browse: the command-line host. Loads the ms_client library by name,
// refreshes the server list and shows it.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#define MS_ISATTY _isatty
#define MS_FILENO _fileno
#else
#include <unistd.h>
#define MS_ISATTY isatty
#define MS_FILENO fileno
#endif

#include "library.h"
#include "text.h"

#ifndef MS_BROWSE_VERSION
#define MS_BROWSE_VERSION "unknown"
#endif
#ifndef MS_BROWSE_MASTER_HOST
#define MS_BROWSE_MASTER_HOST "localhost"
#endif

namespace ms_browse {
namespace {

enum Exit {
  kExitOk = 0,
  kExitUsage = 2,
  kExitLibrary = 3,
  kExitPlayerId = 4,
  kExitRefreshBase = 10,  // + the refresh's result code 1..4
};

const char kUsage[] =
    "usage: ms-browse [options]\n"
    "\n"
    "Refreshes the internet server list through the ms_client library and\n"
    "prints it, sorted by reply time.\n"
    "\n"
    "  --lib PATH          load this library instead of "
#if defined(_WIN32)
    "ms_client.dll"
#else
    "libms_client.so"
#endif
    "\n"
    "  --master-name NAME  the master host the library was built for, for "
    "messages\n"
    "                      (default " MS_BROWSE_MASTER_HOST
    ")\n"
    "  --players           list each server's players\n"
    "  --json              one JSON object per server (every record field)\n"
    "  --sort KEY          ping (default), name, players or map\n"
    "  --not-empty         only servers with players\n"
    "  --not-full          only servers with a free slot\n"
    "  --gametype NAME     only this game type (DM, \"Team DM\", Hunt, "
    "Survivor,\n"
    "                      Overrun, Evac, CTF, Domination)\n"
    "  --map TEXT          only maps whose name contains TEXT (any case)\n"
    "  --id                print the player id and exit\n"
    "  --version           print the version and exit\n"
    "  --help              this text\n"
    "\n"
    "Exit status: 0 listed (possibly no servers), 2 bad usage, 3 library not\n"
    "loadable, 4 player id unreadable, 11 socket library failed to start,\n"
    "12 master connection failed while sending or receiving, 13 master name\n"
    "did not resolve, 14 could not connect to the master.\n";

const char* const kGameTypeNames[] = {"?",    "DM",       "Team DM",
                                      "Hunt", "Survivor", "Overrun",
                                      "Evac", "CTF",      "Domination"};

const char* GameTypeName(int32_t code) {
  return code >= 0 && code <= 8 ? kGameTypeNames[code] : "?";
}

struct Options {
  std::string library = DefaultLibraryName();
  std::string master_name = MS_BROWSE_MASTER_HOST;
  bool players = false;
  bool json = false;
  std::string sort = "ping";
  bool not_empty = false;
  bool not_full = false;
  std::string gametype;
  std::string map;
  bool id = false;
};

[[noreturn]] void Usage(const std::string& problem) {
  std::fprintf(stderr, "ms-browse: %s (see --help)\n", problem.c_str());
  std::exit(kExitUsage);
}

std::string Lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

Options Parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(kExitOk);
    } else if (arg == "--version") {
      std::printf("ms-browse %s\n", MS_BROWSE_VERSION);
      std::exit(kExitOk);
    } else if (arg == "--lib") {
      o.library = value();
    } else if (arg == "--master-name") {
      o.master_name = value();
    } else if (arg == "--players") {
      o.players = true;
    } else if (arg == "--json") {
      o.json = true;
    } else if (arg == "--sort") {
      o.sort = value();
      if (o.sort != "ping" && o.sort != "name" && o.sort != "players" &&
          o.sort != "map")
        Usage("--sort takes ping, name, players or map");
    } else if (arg == "--not-empty") {
      o.not_empty = true;
    } else if (arg == "--not-full") {
      o.not_full = true;
    } else if (arg == "--gametype") {
      o.gametype = value();
      bool known = false;
      for (int code = 1; code <= 8; ++code)
        known |= Lower(kGameTypeNames[code]) == Lower(o.gametype);
      if (!known) Usage("unknown game type '" + o.gametype + "'");
    } else if (arg == "--map") {
      o.map = value();
    } else if (arg == "--id") {
      o.id = true;
    } else {
      Usage("unknown option '" + arg + "'");
    }
  }
  return o;
}

std::string Text(const char* field, std::size_t size) {
  return std::string(field, strnlen(field, size));
}

bool HasPlayer(const PlayerEntry& p) {
  return p.name[0] || p.race || p.score || p.ping;
}

std::string RefreshFailure(int32_t code, const std::string& master) {
  switch (code) {
    case 1:
      return "the socket library failed to start";
    case 2:
      return "the connection to the master server '" + master +
             "' failed while sending the request or reading the list";
    case 3:
      return "cannot resolve the master host '" + master + "'";
    case 4:
      return "cannot connect to the master server '" + master +
             "' on port 28900";
    default:
      return "the refresh failed with code " + std::to_string(code);
  }
}

// A spinner on the terminal while the refresh blocks; never when output is
// piped or redirected.
class Spinner {
 public:
  Spinner() {
    if (!MS_ISATTY(MS_FILENO(stdout)) || !MS_ISATTY(MS_FILENO(stderr))) return;
    thread_ = std::thread([this] {
      static const char* const kFrames[] = {"|", "/", "-", "\\"};
      const auto start = std::chrono::steady_clock::now();
      for (unsigned frame = 0; !done_; ++frame) {
        const double seconds = std::chrono::duration<double>(
                                   std::chrono::steady_clock::now() - start)
                                   .count();
        std::fprintf(stderr, "\r%s refreshing the server list... %.1f s",
                     kFrames[frame % 4], seconds);
        std::fflush(stderr);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      std::fprintf(stderr, "\r\033[K");
      std::fflush(stderr);
    });
  }
  ~Spinner() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

void PrintJson(const ServerRecord& r) {
  std::string line = "{";
  auto field = [&](const char* name, const std::string& value) {
    if (line.size() > 1) line += ",";
    line += "\"";
    line += name;
    line += "\":" + value;
  };
  auto number = [&](const char* name, long long value) {
    field(name, std::to_string(value));
  };
  auto text = [&](const char* name, const char* value, std::size_t size) {
    field(name, JsonString(Text(value, size)));
  };
  text("hostname", r.hostname, sizeof r.hostname);
  text("address", r.address, sizeof r.address);
  number("hostport", r.hostport);
  text("mapname", r.mapname, sizeof r.mapname);
  number("gametype", r.gametype);
  field("gametype_name", JsonString(GameTypeName(r.gametype)));
  number("lock", r.lock);
  number("ded", r.ded);
  number("bandwidth", r.bandwidth);
  number("maxplayers", r.maxplayers);
  number("numplayers", r.numplayers);
  number("ping", r.ping);
  number("maxa", r.maxa);
  number("maxm", r.maxm);
  number("maxc", r.maxc);
  number("maxp", r.maxp);
  number("frags", r.frags);
  number("score", r.score);
  number("time", r.time);
  number("rounds", r.rounds);
  number("hrace", r.hrace);
  number("prace", r.prace);
  number("ratio", r.ratio);
  number("srace", r.srace);
  number("mrace", r.mrace);
  number("drace", r.drace);
  number("dlive", r.dlive);
  number("arace", r.arace);
  number("alive", r.alive);
  number("speed", r.speed);
  number("respawn", r.respawn);
  number("damage", r.damage);
  number("hitloc", r.hitloc);
  number("ff", r.ff);
  number("fn", r.fn);
  number("mask", r.mask);
  number("class", r.class_);
  number("lc", r.lc);
  number("exosuit", r.exosuit);
  number("queen", r.queen);
  number("cscore", r.cscore);
  text("gamever", r.gamever, sizeof r.gamever);
  std::string players = "[";
  for (const PlayerEntry& p : r.players) {
    if (!HasPlayer(p)) continue;
    if (players.size() > 1) players += ",";
    players += "{\"name\":" + JsonString(Text(p.name, sizeof p.name)) +
               ",\"race\":" + std::to_string(p.race) +
               ",\"score\":" + std::to_string(p.score) +
               ",\"ping\":" + std::to_string(p.ping) + "}";
  }
  field("players", players + "]");
  std::printf("%s}\n", line.c_str());
}

void PrintTable(const std::vector<ServerRecord>& servers, bool with_players) {
  struct Column {
    const char* title;
    std::size_t width;
  };
  const Column columns[] = {{"PING", 5},     {"NAME", 36}, {"ADDRESS", 21},
                            {"MAP", 16},     {"TYPE", 10}, {"PLAYERS", 7},
                            {"VERSION", 10}, {"LOCK", 4}};
  std::string header;
  for (const Column& c : columns) header += FitColumn(c.title, c.width) + " ";
  auto trimmed = [](std::string line) {
    line.erase(line.find_last_not_of(' ') + 1);
    return line;
  };
  std::printf("%s\n", trimmed(header).c_str());
  int total_players = 0;
  for (const ServerRecord& r : servers) {
    const std::string cells[] = {
        std::to_string(r.ping),
        EscapeForTerminal(Text(r.hostname, sizeof r.hostname)),
        EscapeForTerminal(Text(r.address, sizeof r.address)) + ":" +
            std::to_string(r.hostport),
        EscapeForTerminal(Text(r.mapname, sizeof r.mapname)),
        GameTypeName(r.gametype),
        std::to_string(r.numplayers) + "/" + std::to_string(r.maxplayers),
        EscapeForTerminal(Text(r.gamever, sizeof r.gamever)),
        r.lock ? "yes" : "no"};
    std::string row;
    for (std::size_t i = 0; i < std::size(columns); ++i) {
      // Numbers align right, text left.
      std::string cell = FitColumn(cells[i], columns[i].width);
      if (i == 0)
        cell = std::string(columns[i].width - cells[i].size(), ' ') + cells[i];
      row += cell + " ";
    }
    std::printf("%s\n", trimmed(row).c_str());
    total_players += r.numplayers;
    if (!with_players) continue;
    for (const PlayerEntry& p : r.players) {
      if (!HasPlayer(p)) continue;
      std::printf(
          "        %s race %u  score %d  ping %d\n",
          FitColumn(EscapeForTerminal(Text(p.name, sizeof p.name)), 32).c_str(),
          p.race, p.score, p.ping);
    }
  }
  std::printf("%zu server%s, %d player%s\n", servers.size(),
              servers.size() == 1 ? "" : "s", total_players,
              total_players == 1 ? "" : "s");
}

int Run(const Options& options) {
  Library library(options.library);
  if (!library.ok()) {
    std::fprintf(stderr, "ms-browse: %s\n", library.error().c_str());
    return kExitLibrary;
  }
  if (options.id) {
    char id[MS_CLIENT_PLAYER_ID_BYTES] = {};
    if (library.GetPlayerID(id) != 0) {
      std::fprintf(stderr,
                   "ms-browse: the volume serial number cannot be read\n");
      return kExitPlayerId;
    }
    std::printf("%s\n", id);
    return kExitOk;
  }

  int32_t result;
  {
    Spinner spinner;
    result = library.Reset();
  }
  if (result != 0) {
    std::fprintf(stderr, "ms-browse: %s\n",
                 RefreshFailure(result, options.master_name).c_str());
    return kExitRefreshBase + result;
  }

  // Read as a host does: until the answer is 1. The records after the last
  // server are empty; they carry no address.
  std::vector<ServerRecord> servers;
  for (int call = 0; call < 1000; ++call) {
    ServerRecord record;
    std::memset(&record, 0, sizeof record);
    const int32_t answer = library.GetServerInfo(&record);
    if (record.address[0]) servers.push_back(record);
    if (answer == 1) break;
  }

  const std::string map = Lower(options.map);
  servers.erase(
      std::remove_if(
          servers.begin(), servers.end(),
          [&](const ServerRecord& r) {
            if (options.not_empty && r.numplayers == 0) return true;
            if (options.not_full && r.numplayers >= r.maxplayers) return true;
            if (!options.gametype.empty() &&
                Lower(GameTypeName(r.gametype)) != Lower(options.gametype))
              return true;
            return !map.empty() &&
                   Lower(Text(r.mapname, sizeof r.mapname)).find(map) ==
                       std::string::npos;
          }),
      servers.end());
  std::stable_sort(servers.begin(), servers.end(),
                   [&](const ServerRecord& a, const ServerRecord& b) {
                     if (options.sort == "name")
                       return std::strcmp(a.hostname, b.hostname) < 0;
                     if (options.sort == "map")
                       return std::strcmp(a.mapname, b.mapname) < 0;
                     if (options.sort == "players")
                       return a.numplayers > b.numplayers;
                     return a.ping < b.ping;
                   });

  if (options.json) {
    for (const ServerRecord& r : servers) PrintJson(r);
  } else if (servers.empty()) {
    std::printf("No servers answered.\n");
  } else {
    PrintTable(servers, options.players);
  }
  return kExitOk;
}

}  // namespace
}  // namespace ms_browse

int main(int argc, char** argv) {
  return ms_browse::Run(ms_browse::Parse(argc, argv));
}
