// Suites through the runner library in real headless Chromium: workers
// with a browser each and a fresh context per file, events one at a time
// and in order, retries, a browser that dies under a file, and a run
// stopped from another thread leaving no process behind.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "driver/process_watch.hpp"
#include "run_suite.hpp"

using namespace plainstep::host;
namespace fs = std::filesystem;
using plainstep::testing::process_tree;
using plainstep::testing::survivors;

namespace {

const std::string SUITE = std::string(PLAINSTEP_FIXTURES) + "/suite/";

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The processes this test started (drivers, browsers and their helpers).
std::vector<pw::ProcessId> descendants() {
  auto tree = process_tree(getpid());
  if (!tree.empty()) tree.erase(tree.begin());
  return tree;
}

// Node processes: the children of this process.
std::set<pid_t> drivers() {
  std::set<pid_t> out;
  for (const auto& p : descendants()) {
    pid_t parent = 0;
    unsigned long long start = 0;
    char state = 0;
    if (pw::read_stat(p.pid, parent, start, state) && parent == getpid()) out.insert(p.pid);
  }
  return out;
}

// The browser's own process (not one of its helpers), when one runs.
std::optional<pid_t> browser_process() {
  for (const auto& p : descendants()) {
    std::string cmd = slurp("/proc/" + std::to_string(p.pid) + "/cmdline");
    if (cmd.find("chrom") != std::string::npos && cmd.find("--type=") == std::string::npos &&
        cmd.find("cli.js") == std::string::npos)
      return p.pid;
  }
  return std::nullopt;
}

// A step file in a scratch folder, starting at the suite's page.
std::string step_file(const std::string& name, const std::string& steps) {
  fs::path dir = fs::path(::testing::TempDir()) / ("plainstep-suite-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / name) << "url: " << SUITE << "site/visit.html\n" << steps;
  return (dir / name).string();
}

// What a run told, checked as it tells it.
struct Recorder {
  std::atomic<int> inside{0};
  bool overlapped = false;
  std::vector<std::string> log;  // "start PATH", "step PATH N", "done PATH STATUS"
  std::map<std::string, std::set<pid_t>> drivers_seen;

  SuiteEvents events() {
    SuiteEvents e;
    auto enter = [this] {
      if (inside.fetch_add(1) != 0) overlapped = true;
    };
    auto leave = [this] { inside.fetch_sub(1); };
    e.attempt_started = [=, this](const FileReport& f) {
      enter();
      log.push_back("start " + fs::path(f.path).filename().string());
      leave();
    };
    e.step_done = [=, this](const FileReport& f, const StepReport& s) {
      enter();
      log.push_back("step " + fs::path(f.path).filename().string() + " " + std::to_string(s.number) +
                    (s.depth ? "." + std::to_string(s.depth) : ""));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));  // room for another worker to cut in
      leave();
    };
    e.file_done = [=, this](const FileReport& f) {
      enter();
      log.push_back("done " + fs::path(f.path).filename().string() + " " + file_status_word(f.status()));
      if (!f.invalid && !f.not_run) drivers_seen[f.path] = drivers();
      leave();
    };
    return e;
  }
  // The entries about one file, in the order told.
  std::vector<std::string> of(const std::string& name) const {
    std::vector<std::string> out;
    for (const auto& l : log)
      if (l.find(" " + name) != std::string::npos) out.push_back(l);
    return out;
  }
};

TEST(Suite, WorkersRunEveryFileAndReportInPathOrderWithEventsOneAtATime) {
  Recorder rec;
  SuiteOptions o;
  o.workers = 2;
  SuiteReport r = SuiteRunner(o, rec.events()).run({SUITE + "files"});
  std::vector<std::string> names;
  for (const auto& f : r.files) {
    names.push_back(fs::path(f.path).lexically_relative(SUITE + "files").string());
    EXPECT_EQ(f.status(), FileStatus::passed) << f.path << ": " << f.failure_message();
  }
  // shared/common.steps is run by profile.steps, never on its own
  EXPECT_EQ(names, (std::vector<std::string>{"checkout.steps", "login.steps", "profile.steps",
                                             "search/filter.steps", "search/find.steps"}));
  EXPECT_FALSE(rec.overlapped) << "two events at once";
  EXPECT_EQ(rec.of("checkout.steps"),
            (std::vector<std::string>{"start checkout.steps", "step checkout.steps 1", "step checkout.steps 2",
                                      "step checkout.steps 3", "done checkout.steps passed"}));
  // a shared file's steps come before the step that ran them
  EXPECT_EQ(rec.of("profile.steps"),
            (std::vector<std::string>{"start profile.steps", "step profile.steps 1.1", "step profile.steps 2.1",
                                      "step profile.steps 1", "done profile.steps passed"}));
  EXPECT_EQ(r.files[1].tags, (std::vector<std::string>{"smoke"}));
  EXPECT_TRUE(survivors(descendants()).empty()) << "a driver or browser outlived the run";
}

// Both files check that the page saw no visit before: they pass one after
// the other on one browser only when each file gets a fresh context.
TEST(Suite, OneBrowserPerWorkerAndAFreshContextPerFile) {
  Recorder rec;
  SuiteOptions o;
  o.workers = 1;
  SuiteReport r = SuiteRunner(o, rec.events()).run({SUITE + "files/checkout.steps", SUITE + "files/login.steps",
                                                    SUITE + "files/profile.steps"});
  ASSERT_EQ(r.files.size(), 3u);
  std::set<pid_t> all;
  for (const auto& f : r.files) {
    EXPECT_EQ(f.status(), FileStatus::passed) << f.path << ": " << f.failure_message();
    all.insert(rec.drivers_seen[f.path].begin(), rec.drivers_seen[f.path].end());
  }
  EXPECT_EQ(all.size(), 1u) << "one driver (and its browser) for the three files";
}

TEST(Suite, AFailingFileIsRetriedInAFreshContextAndStaysFailed) {
  Recorder rec;
  SuiteOptions o;
  o.workers = 1;
  o.retries = 2;
  o.timeout_ms = 500;
  SuiteReport r = SuiteRunner(o, rec.events()).run({SUITE + "failing/a_fails.steps", SUITE + "failing/c_passes.steps"});
  ASSERT_EQ(r.files.size(), 2u);
  EXPECT_EQ(r.files[0].status(), FileStatus::failed);
  ASSERT_EQ(r.files[0].retried.size(), 2u);
  for (const auto& a : r.files[0].retried) EXPECT_FALSE(a.passed());
  EXPECT_EQ(rec.of("a_fails.steps").front(), "start a_fails.steps");
  EXPECT_EQ(std::count(rec.log.begin(), rec.log.end(), "start a_fails.steps"), 3);
  EXPECT_EQ(r.files[1].status(), FileStatus::passed);
  EXPECT_TRUE(r.files[1].retried.empty());
}

TEST(Suite, ABrowserThatDiesFailsItsFileAndANewOneRunsTheNext) {
  std::string dies = step_file("dies.steps", "verify text Suite fixture is visible\nwait 3000\n"
                                             "verify text Suite fixture is visible\n");
  std::string after = step_file("after.steps", "verify text First visit in this context is visible\n");
  SuiteOptions o;
  o.workers = 1;
  SuiteEvents e;
  std::optional<pid_t> killed;
  e.step_done = [&](const FileReport& f, const StepReport& s) {
    if (f.path == dies && s.number == 1 && (killed = browser_process())) kill(*killed, SIGKILL);
  };
  SuiteReport r = SuiteRunner(o, e).run({dies, after});
  ASSERT_TRUE(killed) << "no browser process found";
  ASSERT_EQ(r.files.size(), 2u);
  EXPECT_EQ(r.files[0].status(), FileStatus::failed);
  EXPECT_NE(r.files[0].failure_message().find("the browser closed or crashed while this file ran"),
            std::string::npos)
      << r.files[0].failure_message();
  EXPECT_EQ(r.files[1].status(), FileStatus::passed) << r.files[1].failure_message();
  EXPECT_TRUE(survivors(descendants()).empty());
}

TEST(Suite, StoppingEndsTheRunningFilesAtOnceAndLeavesNoProcess) {
  SuiteOptions o;
  o.workers = 2;
  SuiteEvents e;
  std::unique_ptr<SuiteRunner> suite;
  std::thread stopper;
  std::atomic<int> waiting{0};
  e.step_done = [&](const FileReport& f, const StepReport& s) {
    // Both slow files are in their long wait: stop from another thread.
    if (f.path.find("slow_") != std::string::npos && s.number == 1 && ++waiting == 2)
      stopper = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        suite->stop("stopped by the test");
      });
  };
  suite = std::make_unique<SuiteRunner>(o, e);
  auto start = std::chrono::steady_clock::now();
  SuiteReport r = suite->run({SUITE + "slow/slow_a.steps", SUITE + "slow/slow_b.steps", SUITE + "slow/quick.steps"});
  auto took = std::chrono::steady_clock::now() - start;
  if (stopper.joinable()) stopper.join();
  EXPECT_LT(took, std::chrono::seconds(30)) << "the 60 s waits were not stopped";
  ASSERT_EQ(r.files.size(), 3u);
  EXPECT_EQ(r.stopped, "stopped by the test");
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(r.files[i].status(), FileStatus::not_run) << r.files[i].path;
    EXPECT_EQ(r.files[i].not_run, "stopped while running: stopped by the test");
    ASSERT_GE(r.files[i].steps.size(), 2u);
    EXPECT_EQ(r.files[i].steps[0].status, StepStatus::pass);
    EXPECT_EQ(r.files[i].steps.back().outcome, "stopped: the run was stopped");
  }
  EXPECT_EQ(r.files[2].not_run, "not run: stopped by the test");
  EXPECT_TRUE(survivors(descendants()).empty()) << "a driver or browser outlived the stop";
}

TEST(Suite, PathsThatGiveNoFileAreInvalidAndTheRestRuns) {
  Recorder rec;
  SuiteOptions o;
  o.workers = 1;
  SuiteReport r = SuiteRunner(o, rec.events()).run({SUITE + "missing.steps", SUITE + "files/login.steps"});
  ASSERT_EQ(r.files.size(), 2u);
  EXPECT_EQ(r.files[0].status(), FileStatus::invalid);
  EXPECT_EQ(*r.files[0].error, SUITE + "missing.steps: cannot read step file: No such file or directory");
  EXPECT_EQ(r.files[1].status(), FileStatus::passed);
  // the invalid path is told before anything runs
  EXPECT_EQ(rec.log.front(), "done missing.steps error");
}

TEST(Suite, BadOptionsAreRefusedBeforeAnyBrowserStarts) {
  for (auto bad : {std::function<void(SuiteOptions&)>([](SuiteOptions& o) { o.url = "/no/such/page.html"; }),
                   std::function<void(SuiteOptions&)>([](SuiteOptions& o) { o.base_url = "localhost"; }),
                   std::function<void(SuiteOptions&)>([](SuiteOptions& o) { o.shard = Shard{3, 2}; })}) {
    SuiteOptions o;
    bad(o);
    EXPECT_THROW(SuiteRunner(o).run({SUITE + "files"}), std::invalid_argument);
    EXPECT_TRUE(drivers().empty());
  }
}

}  // namespace
