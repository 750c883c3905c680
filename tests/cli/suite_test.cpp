// plainstep run over suites, end to end in real headless Chromium: folders
// and missing paths, shards, retries and flaky files, the failure limit,
// selection by path and tags, the configuration file, and Ctrl-C.
#include <signal.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include <pugixml.hpp>

#include "driver/fixture_server.hpp"
#include "support/run_cli.hpp"

using plainstep::testing::CliResult;
using plainstep::testing::has_line;
using plainstep::testing::lines_of;
using plainstep::testing::FixtureServer;
using plainstep::testing::run_cli;
namespace fs = std::filesystem;

namespace cli_suite_test {

const fs::path ROOT = plainstep::testing::repo_root();
const std::string SUITE = "tests/fixtures/suite/";

// The files a run started, from their "== PATH  (URL)" lines, in order.
std::vector<std::string> started(const CliResult& r) {
  std::vector<std::string> out;
  for (const auto& l : lines_of(r.out))
    if (l.rfind("== ", 0) == 0) out.push_back(l.substr(3, l.find("  (") - 3));
  return out;
}

fs::path scratch(const std::string& name) {
  fs::path dir = fs::path(::testing::TempDir()) / ("plainstep-suite-cli-" + std::to_string(getpid())) / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// Runs plainstep from the repository with a marker, and checks that no
// node or browser process outlives it.
CliResult run_marked(const std::vector<std::string>& args, const std::string& cwd = ROOT.string(),
                     const plainstep::testing::CliWatch& watch = {}) {
  std::string marker = plainstep::testing::new_marker("SUITE");
  auto r = run_cli(args, "", {marker}, cwd, watch);
  auto left = plainstep::testing::marked_left(marker);
  EXPECT_TRUE(left.empty()) << left.size() << " processes left behind, first pid " << left.front();
  return r;
}

// The JUnit report's <testsuites>: a <testsuite> per file.
pugi::xml_node junit_of(pugi::xml_document& doc, const fs::path& path) {
  EXPECT_TRUE(doc.load_file(path.c_str())) << path;
  return doc.child("testsuites");
}

pugi::xml_node suite_of(pugi::xml_node suites, const std::string& path) {
  return suites.find_child_by_attribute("testsuite", "name", path.c_str());
}

// A loopback site of the suite's pages whose /ready.html is not ready the
// first time it is asked for.
struct FlakySite {
  std::atomic<int> asked{0};
  FixtureServer server{(ROOT / SUITE / "site").string(), [this](const std::string& path) -> std::optional<std::string> {
                         if (path != "/ready.html" || asked++ > 0) return std::nullopt;
                         return "<!doctype html><title>Ready</title><h1>Status</h1><p>Please come back later</p>";
                       }};
  std::string base() const { return server.url("").substr(0, server.url("").size() - 1); }
};

// ---- folders and paths ---------------------------------------------------

TEST(SuitePaths, AMissingPathAmongGoodOnesIsAnErrorAndTheRestRuns) {
  fs::path junit = scratch("missing") / "junit.xml";
  auto r = run_marked({"run", "--workers", "2", "--junit", junit.string(), SUITE + "files/login.steps",
                       SUITE + "nothing/here.steps", SUITE + "files/search"});
  EXPECT_EQ(r.status, 2) << r.out << r.err;
  EXPECT_NE(r.err.find(SUITE + "nothing/here.steps: cannot read step file: No such file or directory"),
            std::string::npos)
      << r.err;
  auto ran = started(r);
  EXPECT_EQ(std::set<std::string>(ran.begin(), ran.end()),
            (std::set<std::string>{SUITE + "files/login.steps", SUITE + "files/search/filter.steps",
                                   SUITE + "files/search/find.steps"}));
  EXPECT_TRUE(has_line(r, "3 passed, 0 failed, 1 error")) << r.out;
  EXPECT_TRUE(has_line(r, "error    " + SUITE + "nothing/here.steps: cannot read step file: No such file or directory"))
      << r.out;
  pugi::xml_document doc;
  auto suites = junit_of(doc, junit);
  std::vector<std::string> names;
  for (auto suite : suites.children("testsuite")) names.push_back(suite.attribute("name").value());
  // path order: the arguments' order, a folder's files sorted
  EXPECT_EQ(names, (std::vector<std::string>{SUITE + "files/login.steps", SUITE + "nothing/here.steps",
                                             SUITE + "files/search/filter.steps", SUITE + "files/search/find.steps"}));
  EXPECT_EQ(suites.attribute("errors").as_int(), 1);
  EXPECT_TRUE(suite_of(suites, SUITE + "nothing/here.steps").child("testcase").child("error"));
}

TEST(SuitePaths, AFolderWithoutStepFilesIsAnError) {
  fs::path empty = scratch("empty");
  auto r = run_marked({"run", empty.string()});
  EXPECT_EQ(r.status, 2) << r.out << r.err;
  EXPECT_NE(r.err.find(empty.string() + ": no step files (*.steps) in this folder or below it"), std::string::npos)
      << r.err;
  EXPECT_TRUE(started(r).empty());
}

// ---- shards ----------------------------------------------------------------

TEST(SuiteShards, TheSlicesOfNShardsRunEveryFileExactlyOnce) {
  const std::vector<std::string> all{SUITE + "files/checkout.steps", SUITE + "files/login.steps",
                                     SUITE + "files/profile.steps", SUITE + "files/search/filter.steps",
                                     SUITE + "files/search/find.steps"};
  std::vector<std::string> together;
  for (const char* shard : {"1/3", "2/3", "3/3"}) {
    auto r = run_marked({"run", "--workers", "1", "--shard", shard, SUITE + "files"});
    EXPECT_EQ(r.status, 0) << shard << "\n" << r.out << r.err;
    auto files = started(r);
    EXPECT_GE(files.size(), 1u) << shard;
    EXPECT_LE(files.size(), 2u) << shard;
    together.insert(together.end(), files.begin(), files.end());
  }
  EXPECT_EQ(together, all) << "each file once, the slices in order";
}

// ---- retries ---------------------------------------------------------------

TEST(SuiteRetries, AFileThatPassesOnARetryIsFlaky) {
  FlakySite site;
  fs::path junit = scratch("flaky") / "junit.xml";
  auto r = run_marked({"run", "--retries", "2", "--timeout", "1500", "--base-url", site.base(), "--junit", junit.string(),
                       SUITE + "flaky/ready.steps"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(site.asked.load(), 2) << "one attempt failed, the retry passed, no third";
  EXPECT_EQ(started(r).size(), 2u) << r.out;
  EXPECT_NE(r.out.find("== " + SUITE + "flaky/ready.steps  (" + site.base() + "/ready.html)  retry 1 of 2"),
            std::string::npos)
      << r.out;
  EXPECT_TRUE(has_line(r, "0 passed, 0 failed, 1 flaky")) << r.out;
  EXPECT_NE(r.out.find("flaky    " + SUITE + "flaky/ready.steps: passed on attempt 2 after step 1 (line 3) failed: "
                       "verify text Ready is visible"),
            std::string::npos)
      << r.out;
  pugi::xml_document doc;
  auto suite = suite_of(junit_of(doc, junit), SUITE + "flaky/ready.steps");
  EXPECT_EQ(suite.attribute("failures").as_int(), 0);
  EXPECT_STREQ(suite.child("properties").find_child_by_attribute("property", "name", "flaky").attribute("value").value(),
               "true");
  // the failed attempt is told in the suite's output
  std::string out = suite.child_value("system-out");
  EXPECT_NE(out.find("attempt 1: failed"), std::string::npos) << out;
  EXPECT_NE(out.find("verify text Ready is visible  FAIL"), std::string::npos) << out;
}

TEST(SuiteRetries, WithoutRetriesTheSameFileFails) {
  FlakySite site;
  auto r = run_marked({"run", "--timeout", "1500", "--base-url", site.base(), SUITE + "flaky/ready.steps"});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_EQ(site.asked.load(), 1);
  EXPECT_TRUE(has_line(r, "0 passed, 1 failed")) << r.out;
}

// ---- the failure limit -----------------------------------------------------

TEST(SuiteLimits, NoFileStartsOnceAsManyFailedAsAllowed) {
  fs::path junit = scratch("limit") / "junit.xml";
  auto r = run_marked({"run", "--workers", "1", "--max-failures", "1", "--timeout", "1000", "--junit",
                       junit.string(), SUITE + "failing"});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_EQ(started(r), (std::vector<std::string>{SUITE + "failing/a_fails.steps"}));
  EXPECT_TRUE(has_line(r, "0 passed, 1 failed, 3 not run")) << r.out;
  EXPECT_TRUE(has_line(r, "not run  " + SUITE +
                              "failing/b_fails.steps: not run: 1 file failed, as many as the run allows (max failures)"))
      << r.out;
  pugi::xml_document doc;
  EXPECT_EQ(junit_of(doc, junit).attribute("skipped").as_int(), 3);
}

// Two files of one name in different folders, failing side by side, keep
// their failure artifacts apart; a retry keeps those of the attempt before.
TEST(SuiteLimits, ArtifactsOfFilesOfOneNameAndOfRetriesAreKeptApart) {
  fs::path dir = scratch("artifacts");
  for (const char* sub : {"shop", "admin"}) {
    fs::create_directories(dir / sub);
    std::ofstream(dir / sub / "login.steps") << "url: " << (ROOT / SUITE / "site/visit.html").string()
                                             << "\nverify text Nowhere on the page is visible\n";
  }
  auto r = run_marked({"run", "--workers", "2", "--retries", "1", "--timeout", "800", "--artifacts",
                       (dir / "out").string(), (dir / "shop").string(), (dir / "admin").string()});
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  // named by their paths below the folder the run's files share, and the attempt
  std::set<std::string> saved;
  for (const auto& e : fs::recursive_directory_iterator(dir / "out"))
    if (e.is_regular_file()) saved.insert(e.path().lexically_relative(dir / "out").generic_string());
  for (const char* file : {"shop/login.steps/", "admin/login.steps/"})
    for (const char* attempt : {"1-step1", "2-step1"})
      for (const char* ext : {".png", ".json"})
        EXPECT_TRUE(saved.count(std::string(file) + attempt + ext)) << file << attempt << ext << " missing";
  EXPECT_EQ(saved.size(), 8u) << ::testing::PrintToString(saved);
}

// ---- selection -------------------------------------------------------------

struct Selecting {
  std::vector<std::string> flags;
  std::vector<std::string> runs;  // below files/
};

class SuiteSelection : public ::testing::TestWithParam<Selecting> {};

TEST_P(SuiteSelection, RunsTheFilesWhosePathOrTagsMatch) {
  std::vector<std::string> args{"run", "--workers", "1"};
  args.insert(args.end(), GetParam().flags.begin(), GetParam().flags.end());
  args.push_back(SUITE + "files");
  auto r = run_marked(args);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  std::vector<std::string> want;
  for (const auto& f : GetParam().runs) want.push_back(SUITE + "files/" + f);
  EXPECT_EQ(started(r), want);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, SuiteSelection,
    ::testing::Values(Selecting{{"--tag", "smoke"}, {"checkout.steps", "login.steps"}},
                      Selecting{{"--tag", "SEARCH"}, {"search/filter.steps", "search/find.steps"}},
                      // the path, or the tags line ("search, Checkout")
                      Selecting{{"--grep", "checkout"}, {"checkout.steps", "search/filter.steps"}},
                      Selecting{{"--grep", "search/"}, {"search/filter.steps", "search/find.steps"}},
                      Selecting{{"--grep", "login", "--grep", "profile"}, {"login.steps", "profile.steps"}},
                      Selecting{{"--grep", "checkout", "--tag", "smoke"}, {"checkout.steps"}}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(SuiteSelection, ASelectionOfNothingIsAnError) {
  auto r = run_marked({"run", "--tag", "nightly", SUITE + "files"});
  EXPECT_EQ(r.status, 2) << r.out << r.err;
  EXPECT_NE(r.err.find("none of the 5 files is selected by tag 'nightly'"), std::string::npos) << r.err;
}

// ---- the configuration file ------------------------------------------------

TEST(SuiteConfig, TheWorkingFoldersFileSetsTheRunAndItsBaseAddress) {
  FixtureServer site((ROOT / SUITE / "site").string());
  std::string base = site.url("").substr(0, site.url("").size() - 1);
  fs::path dir = scratch("config");
  std::ofstream(dir / "plainstep.toml") << "# the suite's settings\nbase_url = \"" << base
                                        << "/anything/here\"\nworkers = 2\ntimeout = 4000\n";
  fs::create_directories(dir / "tests");
  std::ofstream(dir / "tests" / "visit.steps")
      << "url: /visit.html\nverify text First visit in this context is visible\n"
      << "go to /ready.html\nverify text Ready is visible\nverify url is /ready.html\n";
  std::ofstream(dir / "tests" / "again.steps") << "url: /visit.html\nverify text Suite fixture is visible\n";
  auto r = run_marked({"run", "tests"}, dir.string());
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("== tests/visit.steps  (" + base + "/visit.html)"), std::string::npos) << r.out;
  // two workers: the summary lists the files that did not simply pass (none)
  EXPECT_TRUE(has_line(r, "2 passed, 0 failed")) << r.out;

  // a flag wins over the file: one worker streams, so its lines come first
  auto one = run_marked({"run", "--workers", "1", "--base-url", base, "tests"}, dir.string());
  EXPECT_EQ(one.status, 0) << one.out << one.err;
}

TEST(SuiteConfig, AnUnknownKeyIsAnErrorNamingTheKeyAndTheFile) {
  fs::path dir = scratch("config-bad");
  std::ofstream(dir / "plainstep.toml") << "workers = 2\nwrokers = 3\n";
  std::ofstream(dir / "other.toml") << "[run]\nretries = 1\nbase_url = \"http://localhost:1\"\ntags = [\"smoke\"]\n";
  std::ofstream(dir / "a.steps") << "url: /x\nclick A\n";
  auto r = run_marked({"run", "a.steps"}, dir.string());
  EXPECT_EQ(r.status, 2) << r.out << r.err;
  EXPECT_NE(r.err.find("plainstep run: plainstep.toml: unknown key 'wrokers'"), std::string::npos) << r.err;
  auto other = run_marked({"run", "--config", "other.toml", "a.steps"}, dir.string());
  EXPECT_EQ(other.status, 2) << other.out << other.err;
  EXPECT_NE(other.err.find("plainstep run: other.toml: unknown key 'run.tags'"), std::string::npos) << other.err;
  EXPECT_EQ(other.out.find("=="), std::string::npos) << "nothing runs";
}

// ---- stopping --------------------------------------------------------------

struct Stop {
  int signal;
  int status;
  const char* name;
};

class SuiteStop : public ::testing::TestWithParam<Stop> {};

TEST_P(SuiteStop, RunningFilesStopTheSummaryIsWrittenAndNothingIsLeft) {
  const Stop& c = GetParam();
  fs::path junit = scratch(std::string("stop-") + c.name) / "junit.xml";
  std::optional<std::chrono::steady_clock::time_point> quick_done, signalled;
  auto start = std::chrono::steady_clock::now();
  auto r = run_marked({"run", "--workers", "2", "--junit", junit.string(), SUITE + "slow"}, ROOT.string(),
                      [&](pid_t pid, const std::string& out) {
                        // The quick file's lines come when it is done; the slow
                        // ones are then in their minute-long waits.
                        auto now = std::chrono::steady_clock::now();
                        if (!quick_done && out.find("slow/quick.steps") != std::string::npos) quick_done = now;
                        if (quick_done && !signalled && now - *quick_done > std::chrono::milliseconds(2500)) {
                          kill(pid, c.signal);
                          signalled = now;
                        }
                      });
  ASSERT_TRUE(signalled) << r.out << r.err;
  EXPECT_LT(std::chrono::steady_clock::now() - *signalled, std::chrono::seconds(20)) << "the waits were not stopped";
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(50));
  EXPECT_EQ(r.status, c.status) << r.out << r.err;
  EXPECT_NE(r.err.find(std::string("plainstep run: ") + c.name + " from process " + std::to_string(getpid()) +
                       ": stopping the running files"),
            std::string::npos)
      << r.err;
  EXPECT_TRUE(has_line(r, "1 passed, 0 failed, 2 not run")) << r.out;
  EXPECT_NE(r.out.find("not run  " + SUITE + "slow/slow_a.steps: stopped while running: the run was interrupted (" +
                       c.name + ")"),
            std::string::npos)
      << r.out;
  pugi::xml_document doc;
  auto suites = junit_of(doc, junit);
  EXPECT_EQ(suite_of(suites, SUITE + "slow/quick.steps").attribute("skipped").as_int(), 0);
  for (const char* slow : {"slow/slow_a.steps", "slow/slow_b.steps"}) {
    auto stopped = suite_of(suites, SUITE + slow).find_child_by_attribute("testcase", "name", (SUITE + slow).c_str());
    EXPECT_NE(std::string(stopped.child("skipped").attribute("message").value()).find("stopped while running"),
              std::string::npos)
        << slow;
  }
}

INSTANTIATE_TEST_SUITE_P(Signals, SuiteStop,
                         ::testing::Values(Stop{SIGINT, 130, "SIGINT"}, Stop{SIGTERM, 143, "SIGTERM"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace cli_suite_test
