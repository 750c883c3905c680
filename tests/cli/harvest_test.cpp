// plainstep harvest: one extraction of a live page as snapshot JSON, which
// resolve --snapshot replays offline to the elements a live run picks.
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "support/run_cli.hpp"

using plainstep::testing::read_whole;
using plainstep::testing::run_cli;
using json = nlohmann::ordered_json;
namespace fs = std::filesystem;

namespace cli_harvest_test {

const std::string SITE = std::string(PLAINSTEP_SOURCE_DIR) + "/examples/site";

fs::path scratch(const std::string& name) {
  fs::path dir = fs::path(::testing::TempDir()) / ("plainstep_harvest_" + std::to_string(getpid()));
  fs::create_directories(dir);
  return dir / name;
}

// Runs plainstep with a marker and checks that it leaves no process behind.
plainstep::testing::CliResult run_marked(const std::vector<std::string>& args,
                                         const std::vector<std::string>& env = {},
                                         const std::string& cwd = "") {
  std::string marker = plainstep::testing::new_marker("HARVEST");
  std::vector<std::string> full_env = env;
  full_env.push_back(marker);
  auto r = run_cli(args, "", full_env, cwd);
  std::vector<int> left = plainstep::testing::marked_left(marker);
  EXPECT_TRUE(left.empty()) << left.size() << " processes left behind by plainstep "
                            << (args.empty() ? "" : args[0]) << ", first pid " << left.front();
  return r;
}

json parse_or_fail(const std::string& text, const std::string& what) {
  try {
    return json::parse(text);
  } catch (const json::exception& e) {
    ADD_FAILURE() << what << " is not JSON (" << e.what() << "): " << text.substr(0, 300);
    return json();
  }
}

// The demo sign-in page, harvested once for the suite, by a relative path.
class HarvestCli : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    snapshot_ = scratch("index.json").string();
    auto r = run_marked({"harvest", "index.html", "--out", snapshot_}, {}, SITE);
    status_ = r.status;
    out_ = r.out;
    err_ = r.err;
  }
  void SetUp() override { ASSERT_EQ(status_, 0) << err_; }
  static std::string snapshot_, out_, err_;
  static int status_;
};
std::string HarvestCli::snapshot_, HarvestCli::out_, HarvestCli::err_;
int HarvestCli::status_ = -1;

TEST_F(HarvestCli, WritesTheSnapshotLayoutToOutAndProgressToStderr) {
  EXPECT_EQ(out_, "") << "--out keeps standard output empty";
  EXPECT_NE(err_.find("harvest: opening file://" + SITE + "/index.html"), std::string::npos) << err_;
  EXPECT_NE(err_.find("text elements in "), std::string::npos) << err_;
  EXPECT_EQ(err_.find('{'), std::string::npos) << "JSON on standard error: " << err_;
  json j = parse_or_fail(read_whole(snapshot_), snapshot_);
  std::vector<std::string> keys;
  for (auto it = j.begin(); it != j.end(); ++it) keys.push_back(it.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"url", "elements", "text_elements"}));
  EXPECT_EQ(j["url"], "file://" + SITE + "/index.html");
  EXPECT_GE(j["elements"].size(), 10u);
  EXPECT_GE(j["text_elements"].size(), 5u);
  EXPECT_EQ(read_whole(snapshot_).substr(0, 4), "{\n  ") << "two-space indent";
}

struct Step {
  const char* step;
  const char* xpath;  // where the demo page has the element
};

const Step _STEPS[] = {
    {"type ada@example.com into the Email field", "/html[1]/body[1]/main[1]/form[1]/div[1]/input[1]"},
    {"type secret into Password", "/html[1]/body[1]/main[1]/form[1]/div[2]/input[1]"},
    {"type Ada Lovelace into Full name", "/html[1]/body[1]/main[1]/form[1]/div[3]/input[1]"},
    {"select Red from Colour", "/html[1]/body[1]/main[1]/form[1]/div[6]/select[1]"},
    {"click Login", "/html[1]/body[1]/main[1]/form[1]/div[9]/button[1]"},
};

// The xpath after "element:" in each step block of explain's report.
std::vector<std::string> explained_xpaths(const std::string& report) {
  std::vector<std::string> out;
  std::istringstream in(report);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("step ", 0) == 0) out.emplace_back();
    auto at = line.find("element:");
    auto path = line.rfind(" /html[");
    if (at != std::string::npos && path != std::string::npos && !out.empty()) out.back() = line.substr(path + 1);
  }
  return out;
}

TEST_F(HarvestCli, ResolveOnTheSnapshotPicksWhatALiveRunPicks) {
  std::vector<std::string> args{"explain", "--url", SITE + "/index.html"};
  for (const auto& s : _STEPS) args.push_back(s.step);
  auto live = run_marked(args);
  ASSERT_EQ(live.status, 0) << live.out << live.err;
  auto online = explained_xpaths(live.out);
  ASSERT_EQ(online.size(), std::size(_STEPS)) << live.out;
  for (size_t i = 0; i < std::size(_STEPS); ++i) {
    auto r = run_cli({"resolve", "--snapshot", snapshot_, "--step", _STEPS[i].step});
    ASSERT_EQ(r.status, 0) << _STEPS[i].step << ": " << r.err;
    json offline = parse_or_fail(r.out, "resolve output");
    EXPECT_EQ(offline["resolved"], true) << _STEPS[i].step;
    EXPECT_EQ(offline["element"]["xpath"], online[i]) << _STEPS[i].step << "\n" << live.out;
    EXPECT_EQ(online[i], _STEPS[i].xpath) << _STEPS[i].step;
  }
}

TEST_F(HarvestCli, StandardOutputCarriesTheJsonAloneEvenWithSnapshotsOn) {
  fs::path logs = scratch("logs");
  fs::remove_all(logs);
  auto r = run_marked({"harvest", SITE + "/index.html"}, {"PLAINSTEP_SNAPSHOTS=" + logs.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  json j = parse_or_fail(r.out, "standard output");
  EXPECT_EQ(j, parse_or_fail(read_whole(snapshot_), snapshot_)) << "same page, same records";
  auto notice = r.err.find("  [DOM snapshot saved \u2192 " + logs.string());
  ASSERT_NE(notice, std::string::npos) << r.err;
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(logs)) files += e.path().extension() == ".json";
  EXPECT_EQ(files, 1u);
}

TEST(HarvestCliPaths, ExactSwitchGivesTheSameRecords) {
  const std::string page = std::string(PLAINSTEP_FIXTURES) + "/harvest/labels.html";
  auto fast = run_marked({"harvest", page});
  auto exact = run_marked({"harvest", page, "--exact"});
  ASSERT_EQ(fast.status, 0) << fast.err;
  ASSERT_EQ(exact.status, 0) << exact.err;
  EXPECT_NE(fast.err.find("(fast extraction)"), std::string::npos) << fast.err;
  EXPECT_NE(exact.err.find("(exact extraction)"), std::string::npos) << exact.err;
  EXPECT_EQ(parse_or_fail(exact.out, "exact output"), parse_or_fail(fast.out, "fast output"));
}

// A loopback port nothing listens on: bound, then let go.
int closed_port() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  close(fd);
  return ntohs(a.sin_port);
}

struct BadInput {
  const char* name;
  std::vector<std::string> args;
  std::string message;  // part of the error
  int status = 2;       // a page that cannot be read is 1, bad input 2
};

class HarvestCliErrors : public ::testing::TestWithParam<BadInput> {};

TEST_P(HarvestCliErrors, SayWhatWasWrongAndLeaveNothingRunning) {
  const auto& c = GetParam();
  std::vector<std::string> args{"harvest"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  auto r = run_marked(args);
  EXPECT_EQ(r.status, c.status) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
}

const std::string _UNREACHABLE = "http://127.0.0.1:" + std::to_string(closed_port()) + "/";

INSTANTIATE_TEST_SUITE_P(
    Table, HarvestCliErrors,
    ::testing::Values(
        BadInput{"missing_file", {"no-such-page.html"}, "'no-such-page.html' names no file"},
        BadInput{"unreachable", {_UNREACHABLE}, "cannot load '" + _UNREACHABLE + "': net::ERR_CONNECTION_REFUSED", 1},
        BadInput{"empty_address", {""}, "the start address is empty"},
        BadInput{"out_folder_missing",
                 {SITE + "/index.html", "--out", "/nonexistent-folder/page.json"},
                 "the folder '/nonexistent-folder' does not exist"},
        BadInput{"no_address", {}, "URL is required"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace cli_harvest_test
