// The simulated internet: game servers with deterministic content, reply
// delays and faults, all drawn from one seed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ms_sim {

struct Player {
  std::string name;
  int race;
  int score;
  int ping;
};

struct SimServer {
  std::uint32_t address;  // host order, 127.0.x.y
  std::uint16_t port;
  bool answers;  // false: never replies
  int delay_ms;  // time from query to reply
  std::string hostname;
  std::string mapname;
  std::string gametype;  // a name servers send
  int gametype_code;     // what the library maps it to
  int maxplayers;
  std::vector<Player> players;
  std::string reply;  // the "\status\" answer
};

struct PopulationOptions {
  int servers = 40;
  std::uint64_t seed = 1;
  int delay_min_ms = 5;
  int delay_max_ms = 300;
  int silent_percent = 10;  // servers that never answer
};

std::vector<SimServer> MakePopulation(const PopulationOptions& options);

// Dotted text of a host-order address.
std::string Dotted(std::uint32_t address);

// The JSON line describing one server, as the tests compare it.
std::string ManifestLine(const SimServer& server);

}  // namespace ms_sim
