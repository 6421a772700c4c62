// The simulator and the command-line host together, over real loopback
// sockets: what the browser shows is what the simulator served.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/json.h"
#include "support/loopback.h"
#include "support/process.h"

namespace ms::testing {
namespace {

bool g_private_network = false;

const std::string kSim = MS_SIM_PATH;

// The host to run: the Linux ms-browse, or whatever MS_BROWSE_COMMAND names
// (such as "/usr/lib/wine/wine64 .../ms-browse.exe" for the Windows build).
std::vector<std::string> BrowseCommand() {
  const char* command = std::getenv("MS_BROWSE_COMMAND");
  if (!command || !*command) return {MS_BROWSE_PATH};
  std::vector<std::string> argv;
  std::istringstream words(command);
  for (std::string word; words >> word;) argv.push_back(word);
  return argv;
}

std::string TempFile(const std::string& name) {
  return ::testing::TempDir() + "ms_e2e_" + name;
}

std::vector<Json> ReadManifest(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return ParseJsonLines(text.str());
}

class EndToEndTest : public ::testing::Test {
 protected:
  // Starts ms-sim with args and a manifest; false when it could not start.
  bool StartSim(std::vector<std::string> args) {
    manifest_path_ = TempFile(
        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::vector<std::string> argv = {kSim, "--manifest", manifest_path_};
    argv.insert(argv.end(), args.begin(), args.end());
    sim_ = std::make_unique<Background>(argv, "ready");
    if (!sim_->started()) return false;
    manifest_ = ReadManifest(manifest_path_);
    return true;
  }

  Finished Browse(std::vector<std::string> args) {
    std::vector<std::string> argv = BrowseCommand();
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv);
  }

  // The listed servers the browser can see: the first 128, answering with
  // something it can read.
  std::vector<Json> Visible(std::size_t listed_limit = 128) const {
    std::vector<Json> visible;
    for (std::size_t i = 0; i < manifest_.size() && i < listed_limit; ++i) {
      const Json& s = manifest_[i];
      const std::string fault = s["fault"].text;
      if (s["answers"].boolean && fault != "oversize" && fault != "empty")
        visible.push_back(s);
    }
    return visible;
  }

  std::unique_ptr<Background> sim_;
  std::string manifest_path_;
  std::vector<Json> manifest_;
};

bool UnderWine() {
  return BrowseCommand().front().find("wine") != std::string::npos;
}

// Every field the simulator served, as the browser printed it.
void ExpectSameServer(const Json& served, const Json& shown) {
  SCOPED_TRACE(served["address"].text);
  EXPECT_EQ(shown["address"].text, served["address"].text);
  EXPECT_EQ(shown["hostport"].number, served["port"].number);
  EXPECT_EQ(shown["hostname"].text, served["hostname"].text);
  EXPECT_EQ(shown["mapname"].text, served["mapname"].text);
  EXPECT_EQ(shown["gametype"].number, served["gametype"].number);
  EXPECT_EQ(shown["maxplayers"].number, served["maxplayers"].number);
  EXPECT_EQ(shown["numplayers"].number, served["numplayers"].number);
  EXPECT_EQ(shown["gamever"].text, "1.0.2.170");
  const Json& players = shown["players"];
  ASSERT_EQ(players.items.size(), served["players"].items.size());
  for (std::size_t p = 0; p < players.items.size(); ++p) {
    EXPECT_EQ(players[p]["name"].text, served["players"][p]["name"].text);
    EXPECT_EQ(players[p]["race"].number, served["players"][p]["race"].number);
    EXPECT_EQ(players[p]["score"].number, served["players"][p]["score"].number);
    EXPECT_EQ(players[p]["ping"].number, served["players"][p]["ping"].number);
  }
  // The reply time covers the server's own delay, less the time the later
  // queries took to go out, since it counts from when the last query was
  // sent: microseconds natively, tens of milliseconds under Wine, whose
  // every send goes through its server.
  const long long sending_ms = UnderWine() ? 150 : 25;
  EXPECT_GE(shown["ping"].number, served["delay_ms"].number - sending_ms);
  EXPECT_LT(shown["ping"].number, served["delay_ms"].number + 300);
}

std::map<std::string, Json> ByAddress(const std::vector<Json>& servers) {
  std::map<std::string, Json> map;
  for (const Json& s : servers) map[s["address"].text] = s;
  return map;
}

TEST_F(EndToEndTest, BrowserShowsWhatTheSimulatorServed) {
  ASSERT_TRUE(StartSim({"--servers", "40", "--seed", "7"}));
  const Finished run = Browse({"--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<Json> shown = ParseJsonLines(run.out);
  const std::vector<Json> visible = Visible();
  ASSERT_GT(visible.size(), 20u);
  ASSERT_LT(visible.size(), manifest_.size());  // some never answer
  ASSERT_EQ(shown.size(), visible.size());
  const auto shown_by_address = ByAddress(shown);
  ASSERT_EQ(shown_by_address.size(), shown.size()) << "each server once";
  for (const Json& served : visible) {
    const auto it = shown_by_address.find(served["address"].text);
    ASSERT_NE(it, shown_by_address.end()) << served["address"].text;
    ExpectSameServer(served, it->second);
  }
  // Sorted by reply time.
  for (std::size_t i = 1; i < shown.size(); ++i)
    EXPECT_LE(shown[i - 1]["ping"].number, shown[i]["ping"].number);
}

TEST_F(EndToEndTest, TableShowsEveryServerAndEscapesNothingRaw) {
  ASSERT_TRUE(
      StartSim({"--servers", "12", "--seed", "3", "--silent-percent", "0"}));
  const Finished run = Browse({"--players"});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const Json& served : manifest_) {
    EXPECT_NE(run.out.find(served["address"].text + ":" +
                           std::to_string(served["port"].number)),
              std::string::npos);
    for (const Json& player : served["players"].items)
      EXPECT_NE(run.out.find(player["name"].text), std::string::npos);
  }
  EXPECT_NE(run.out.find("12 servers"), std::string::npos);
  // No control byte reaches the terminal but line ends (CR LF on Windows).
  for (std::size_t i = 0; i < run.out.size(); ++i) {
    const char c = run.out[i];
    const bool line_end = c == '\n' || (c == '\r' && i + 1 < run.out.size() &&
                                        run.out[i + 1] == '\n');
    EXPECT_TRUE(line_end || static_cast<unsigned char>(c) >= 0x20) << int(c);
  }
  EXPECT_EQ(run.err, "") << "no spinner when output is piped";
}

TEST_F(EndToEndTest, FiltersAndPlayerId) {
  ASSERT_TRUE(
      StartSim({"--servers", "24", "--seed", "5", "--silent-percent", "0"}));
  const Finished ctf = Browse({"--json", "--gametype", "CTF"});
  ASSERT_EQ(ctf.status, 0);
  const std::vector<Json> shown = ParseJsonLines(ctf.out);
  EXPECT_EQ(shown.size(), 3u);  // servers 7, 15 and 23 of 24
  for (const Json& s : shown) EXPECT_EQ(s["gametype_name"].text, "CTF");

  const Finished not_empty = Browse({"--json", "--not-empty", "--not-full"});
  for (const Json& s : ParseJsonLines(not_empty.out)) {
    EXPECT_GT(s["numplayers"].number, 0);
    EXPECT_LT(s["numplayers"].number, s["maxplayers"].number);
  }

  const Finished id = Browse({"--id"});
  ASSERT_EQ(id.status, 0);
  const std::string line = id.out.substr(0, id.out.find_first_of("\r\n"));
  ASSERT_EQ(line.size(), 12u) << id.out;
  EXPECT_EQ(line.substr(8), "FFFF");
}

// What the user sees for each fault: the exit status, a piece of the
// message, and how many servers are listed (-1: not checked).
struct FaultCase {
  const char* what;
  std::vector<std::string> sim_args;  // empty: no simulator at all
  int status;
  const char* message;
  int servers;
  bool or_no_list = false;  // an orderly end without a list is fine too
};

TEST_F(EndToEndTest, Faults) {
  const FaultCase cases[] = {
      {"master silent", {"--master-silent"}, 0, "No servers answered.", 0},
      {"master closes without a list",
       {"--master-close"},
       0,
       "No servers answered.",
       0},
      // Under Wine a reset connection is sometimes reported as an orderly
      // close (recv gives 0) rather than an error: the refresh then ends
      // without a list instead of with code 2. Both are accepted there.
      {"master resets the connection",
       {"--master-reset"},
       12,
       "failed while sending the request or reading the list",
       -1,
       UnderWine()},
      {"no master",
       {},
       14,
       "cannot connect to the master server 'localhost' on port 28900",
       -1},
      {"garbage without a message end",
       {"--garbage"},
       0,
       "No servers answered.",
       0},
      {"empty list", {"--empty-list"}, 0, "No servers answered.", 0},
      {"noise before the list", {"--master-noise"}, 0, "", 10},
      {"list in pieces", {"--master-split"}, 0, "", 10},
      {"oversize replies are lost", {"--oversize"}, 0, "", 7},
      {"2048-byte replies are read", {"--exact-2048"}, 0, "", 10},
      {"empty datagrams take no slot", {"--empty-datagram"}, 0, "", 7},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.what);
    sim_.reset();
    if (!c.sim_args.empty()) {
      std::vector<std::string> args = {"--servers", "10", "--silent-percent",
                                       "0"};
      args.insert(args.end(), c.sim_args.begin(), c.sim_args.end());
      ASSERT_TRUE(StartSim(args));
    }
    const bool json = c.servers > 0;
    const Finished run = Browse(json ? std::vector<std::string>{"--json"}
                                     : std::vector<std::string>{});
    if (c.or_no_list && run.status == 0) {
      EXPECT_NE(run.out.find("No servers answered."), std::string::npos)
          << run.out << run.err;
      continue;
    }
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_NE((run.out + run.err).find(c.message), std::string::npos)
        << run.out << run.err;
    if (json) {
      const std::vector<Json> shown = ParseJsonLines(run.out);
      EXPECT_EQ(shown.size(), static_cast<std::size_t>(c.servers));
      const auto shown_by_address = ByAddress(shown);
      for (const Json& served : Visible()) {
        const auto it = shown_by_address.find(served["address"].text);
        ASSERT_NE(it, shown_by_address.end());
        ExpectSameServer(served, it->second);
      }
    }
  }
}

TEST_F(EndToEndTest, MoreThan128ServersListed) {
  ASSERT_TRUE(StartSim(
      {"--servers", "140", "--silent-percent", "0", "--delay-max", "20"}));
  const Finished run = Browse({"--json"});
  ASSERT_EQ(run.status, 0);
  const std::vector<Json> shown = ParseJsonLines(run.out);
  EXPECT_EQ(shown.size(), 128u);
  const auto shown_by_address = ByAddress(shown);
  for (const Json& served : Visible(128))
    EXPECT_EQ(shown_by_address.count(served["address"].text), 1u);
}

TEST_F(EndToEndTest, DuplicateRepliesFillTwoSlots) {
  ASSERT_TRUE(
      StartSim({"--servers", "10", "--silent-percent", "0", "--duplicate",
                "--delay-min", "5", "--delay-max", "200"}));
  const Finished run = Browse({"--json"});
  ASSERT_EQ(run.status, 0);
  const std::vector<Json> shown = ParseJsonLines(run.out);
  // Collecting stops once there are as many replies as queries.
  EXPECT_EQ(shown.size(), 10u);
  std::map<std::string, int> seen;
  for (const Json& s : shown) ++seen[s["address"].text];
  int twice = 0;
  for (const auto& [address, count] : seen) twice += count == 2;
  EXPECT_GE(twice, 1);
}

TEST_F(EndToEndTest, UnresolvableMasterHost) {
  if (!g_private_network)
    GTEST_SKIP() << "needs a private network namespace (root)";
  const Finished run = Browse({"--lib", MS_UNRESOLVABLE_LIBRARY_PATH,
                               "--master-name", "master.invalid"});
  EXPECT_EQ(run.status, 13);
  EXPECT_NE(run.err.find("cannot resolve the master host 'master.invalid'"),
            std::string::npos);
}

TEST_F(EndToEndTest, SimulatorReportsATakenPort) {
  ASSERT_TRUE(StartSim({"--servers", "2"}));
  const Finished second =
      RunProgram({kSim, "--servers", "2", "--duration", "1"});
  EXPECT_EQ(second.status, 3);
  EXPECT_NE(second.err.find("127.0.0.1:28900 is already in use"),
            std::string::npos);
}

TEST_F(EndToEndTest, LibraryThatCannotBeLoaded) {
  const Finished run = Browse({"--lib", "/nonexistent/libms_client.so"});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("cannot load /nonexistent/libms_client.so"),
            std::string::npos);
}

}  // namespace
}  // namespace ms::testing

int main(int argc, char** argv) {
  // Under netns_run the namespace is already private, and shared with what
  // was started beside the tests (Wine's server): stay in it.
  const char* ready = std::getenv("MS_TESTS_NETWORK_READY");
  ms::testing::g_private_network =
      (ready && *ready == '1') || ms::testing::EnterPrivateNetwork();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
