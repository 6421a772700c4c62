#include "population.h"

#include <cmath>
#include <cstdio>

namespace ms_sim {
namespace {

// splitmix64: small, fast and the same everywhere.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Between(int low, int high) {  // inclusive
    return low + static_cast<int>(Next() %
                                  static_cast<std::uint64_t>(high - low + 1));
  }
  double Unit() {
    return static_cast<double>(Next() >> 11) / 9007199254740992.0;
  }
  template <typename T, std::size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Next() % N];
  }

 private:
  std::uint64_t state_;
};

const char* const kGameTypes[] = {"DM",      "Team DM", "Hunt", "Survivor",
                                  "Overrun", "Evac",    "CTF",  "Domination"};
const char* const kAdjectives[] = {"Frosty", "Crimson", "Silent", "Rusty",
                                   "Hollow", "Orbital", "Sunken", "Feral",
                                   "Neon",   "Iron"};
const char* const kNouns[] = {"Outpost", "Hive", "Arena", "Bunker", "Station",
                              "Colony",  "Pit",  "Grid",  "Yard",   "Reactor"};
const char* const kRegions[] = {"EU",   "US East", "US West",
                                "Asia", "Oceania", "Nordic"};
const char* const kMaps[] = {
    "Derelict", "Refinery", "Hadley's Hope", "Gateway", "Tunnels",
    "Lab 4",    "Ferro",    "Atmosphere",    "Cargo",   "Hive Core"};
const char* const kPlayerNames[] = {
    "Ripley",      "Hicks",      "Vasquez", "Bishop",   "Drake", "Apone",
    "Hudson",      "Gorman",     "Newt",    "Dietrich", "Frost", "Crowe",
    "Wierzbowski", "Spunkmeyer", "Ferro",   "Burke"};
const char* const kClans[] = {"USCM", "WY", "Hive", "LV426"};
// Rule keys a record holds, besides those written explicitly below.
const char* const kRuleKeys[] = {
    "maxa",   "maxm",  "maxc",    "maxp",   "frags",   "score", "time",
    "rounds", "ratio", "srace",   "mrace",  "arace",   "drace", "alive",
    "dlive",  "speed", "respawn", "damage", "exosuit", "queen", "cscore"};
const char* const kSmallRuleKeys[] = {"hrace", "prace", "hitloc", "ff",
                                      "fn",    "mask",  "class",  "lc"};

std::uint32_t AddressOf(int index) {
  // 127.0.0.2 upwards, skipping addresses that end in .0 or .255.
  std::uint32_t address = 0x7F000001u;
  for (int i = 0; i <= index; ++i) {
    ++address;
    while ((address & 0xFF) == 0 || (address & 0xFF) == 0xFF) ++address;
  }
  return address;
}

}  // namespace

std::string Dotted(std::uint32_t a) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF,
                (a >> 8) & 0xFF, a & 0xFF);
  return text;
}

std::vector<SimServer> MakePopulation(const PopulationOptions& options) {
  std::vector<SimServer> servers;
  Random random(options.seed * 0x2545F4914F6CDD1Dull + 17);
  for (int i = 0; i < options.servers; ++i) {
    SimServer s;
    s.address = AddressOf(i);
    s.port = static_cast<std::uint16_t>(27001 + i);
    s.answers = random.Between(1, 100) > options.silent_percent;
    // Latency spreads over orders of magnitude: log-uniform.
    const double low = std::max(1, options.delay_min_ms);
    const double high = std::max(options.delay_min_ms, options.delay_max_ms);
    s.delay_ms = static_cast<int>(
        std::lround(low * std::pow(high / low, random.Unit())));
    const int gametype = i % 8;  // every name of the table appears
    s.gametype = kGameTypes[gametype];
    s.gametype_code = gametype + 1;
    s.hostname = std::string(random.Pick(kAdjectives)) + " " +
                 random.Pick(kNouns) + " [" + random.Pick(kRegions) + "] #" +
                 std::to_string(i + 1);
    s.mapname = random.Pick(kMaps);
    s.maxplayers = random.Between(8, 16);
    const int count = random.Between(0, s.maxplayers);
    const int first_name = random.Between(0, 15);
    for (int p = 0; p < count; ++p) {
      std::string name = kPlayerNames[(first_name + p) % 16];
      if (random.Between(0, 3) == 0)
        name = "[" + std::string(random.Pick(kClans)) + "] " + name;
      s.players.push_back({name, random.Between(0, 2), random.Between(-20, 150),
                           random.Between(15, 250)});
    }

    std::string& r = s.reply;
    r = "\\gamename\\nolk\\gamever\\1.0.2.170\\location\\0";
    r += "\\hostname\\" + s.hostname + "\\hostport\\" + std::to_string(s.port);
    r += "\\mapname\\" + s.mapname + "\\gametype\\" + s.gametype;
    r += "\\numplayers\\" + std::to_string(s.players.size());
    r += "\\maxplayers\\" + std::to_string(s.maxplayers);
    r += "\\gamemode\\openplaying\\lock\\" +
         std::to_string(random.Between(0, 4) == 0);
    r += "\\ded\\1\\bandwidth\\" + std::to_string(random.Between(1, 4));
    for (const char* key : kRuleKeys)
      r += std::string("\\") + key + "\\" +
           std::to_string(random.Between(0, 100));
    for (const char* key : kSmallRuleKeys)
      r +=
          std::string("\\") + key + "\\" + std::to_string(random.Between(0, 3));
    for (std::size_t p = 0; p < s.players.size(); ++p) {
      const Player& player = s.players[p];
      const std::string n = std::to_string(p);
      r += "\\player_" + n + "\\" + player.name + "\\race_" + n + "\\" +
           std::to_string(player.race) + "\\score_" + n + "\\" +
           std::to_string(player.score) + "\\ping_" + n + "\\" +
           std::to_string(player.ping);
    }
    r +=
        "\\final\\\\queryid\\" + std::to_string(random.Between(1, 9999)) + ".1";
    servers.push_back(std::move(s));
  }
  return servers;
}

namespace {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

std::string ManifestLine(const SimServer& s) {
  std::string line = "{\"address\":" + JsonString(Dotted(s.address)) +
                     ",\"port\":" + std::to_string(s.port) +
                     ",\"answers\":" + (s.answers ? "true" : "false") +
                     ",\"delay_ms\":" + std::to_string(s.delay_ms) +
                     ",\"hostname\":" + JsonString(s.hostname) +
                     ",\"mapname\":" + JsonString(s.mapname) +
                     ",\"gametype\":" + std::to_string(s.gametype_code) +
                     ",\"maxplayers\":" + std::to_string(s.maxplayers) +
                     ",\"numplayers\":" + std::to_string(s.players.size()) +
                     ",\"reply_bytes\":" + std::to_string(s.reply.size()) +
                     ",\"players\":[";
  for (std::size_t p = 0; p < s.players.size(); ++p) {
    const Player& player = s.players[p];
    if (p) line += ",";
    line += "{\"name\":" + JsonString(player.name) +
            ",\"race\":" + std::to_string(player.race) +
            ",\"score\":" + std::to_string(player.score) +
            ",\"ping\":" + std::to_string(player.ping) + "}";
  }
  return line + "]}";
}

}  // namespace ms_sim
