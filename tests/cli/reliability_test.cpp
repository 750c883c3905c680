// plainstep run on pages that make test runners flaky, and with a browser
// or driver that stops answering: every step does what it says within
// --timeout or fails saying why, and nothing is left running.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <random>
#include <thread>

#include "support/run_cli.hpp"

using plainstep::testing::run_cli;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace cli_reliability_test {

const fs::path FIX = plainstep::testing::repo_root() / "tests/fixtures/reliability";

double seconds_since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

struct Outcome {
  std::string file;
  int timeout_ms;
  int status;
  std::vector<std::string> says;  // lines of output that must appear
};

class Pages : public ::testing::TestWithParam<Outcome> {};

TEST_P(Pages, EveryStepWithinItsTimeout) {
  const Outcome& o = GetParam();
  auto start = Clock::now();
  auto r = run_cli({"run", (FIX / o.file).string(), "--timeout", std::to_string(o.timeout_ms)});
  double took = seconds_since(start);
  EXPECT_EQ(r.status, o.status) << r.out << r.err;
  for (const auto& s : o.says) EXPECT_NE(r.out.find(s), std::string::npos) << s << "\n" << r.out;
  // A browser start, a few reads and the timeout: never the driver's 30 s.
  EXPECT_LT(took, o.timeout_ms / 1000.0 + 20) << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Reliability, Pages,
    ::testing::Values(
        // the second alert arrives while the first is answered
        Outcome{"dialog_chain.steps", 5000, 0, {"1 passed, 0 failed"}},
        // an alert every 200 ms: named, within the timeout
        Outcome{"dialog_storm.steps",
                3000,
                1,
                {"a dialog is open (alert 'Your session expires soon')",
                 "answer it first with accept dialog or dismiss dialog"}},
        // the button is replaced under the pointer, twice
        Outcome{"rerender.steps", 5000, 0, {"1 passed, 0 failed"}},
        // reloads after loading, and again under the pointer
        Outcome{"self_reload.steps", 5000, 0, {"1 passed, 0 failed"}},
        // a page that takes long to read still leaves the click its share
        Outcome{"big_page.steps", 3000, 0, {"1 passed, 0 failed"}}),
    [](const auto& info) {
      std::string n = fs::path(info.param.file).stem().string();
      return n.substr(0, n.find('.'));
    });

TEST(BigPage, AFailureSaysWhatReadingTookOfTheBudget) {
  fs::path dir = fs::temp_directory_path() / ("plainstep-big-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "missing.steps") << "url: " << (FIX / "big_page.html").string()
                                        << "\nclick Nothing of the kind\n";
  auto r = run_cli({"run", (dir / "missing.steps").string(), "--timeout", "1000"});
  fs::remove_all(dir);
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("reading the page took "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" ms of the 1000 ms budget"), std::string::npos) << r.out;
}

// A step that finds nothing on a page with a frame of another origin says
// it could not look inside, naming the frame.
TEST(Frames, AFailureNamesTheFrameItCouldNotRead) {
  fs::path dir = fs::temp_directory_path() / ("plainstep-frames-" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::path page = plainstep::testing::repo_root() / "tests/fixtures/harvest/shadow_frames.html";
  std::ofstream(dir / "frames.steps") << "url: " << page.string() << "\nclick Pay with card\n";
  auto r = run_cli({"run", (dir / "frames.steps").string(), "--timeout", "1000"});
  fs::remove_all(dir);
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("cannot look inside frame \"elsewhere\" ("), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("it comes from another origin"), std::string::npos) << r.out;
}

// --- a browser or driver stopped with SIGSTOP -------------------------------

// The processes started by a run carrying `mark` in their environment.
std::vector<pid_t> marked(const std::string& mark) {
  std::vector<pid_t> out;
  for (const auto& e : fs::directory_iterator("/proc")) {
    std::string name = e.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string all = plainstep::testing::read_whole(e.path() / "environ");
    if (all.find(mark) != std::string::npos) out.push_back(std::stoi(name));
  }
  return out;
}

std::string cmdline(pid_t pid) {
  return plainstep::testing::read_whole("/proc/" + std::to_string(pid) + "/cmdline");
}

struct Child {
  pid_t pid = -1;
  int out = -1;
  std::string text;

  // Reads what the child printed until `want` appears or `until` passes.
  bool read_until(const std::string& want, Clock::time_point until) {
    while (text.find(want) == std::string::npos) {
      if (Clock::now() >= until) return false;
      pollfd p{out, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char buf[4096];
      ssize_t n = read(out, buf, sizeof buf);
      if (n <= 0) return text.find(want) != std::string::npos;
      text.append(buf, static_cast<size_t>(n));
    }
    return true;
  }
  // The exit status, or -1 when the child still runs at `until` (then killed).
  int wait(Clock::time_point until) {
    for (;;) {
      read_until("\x01never", std::min(until, Clock::now() + std::chrono::milliseconds(100)));
      int st = 0;
      if (waitpid(pid, &st, WNOHANG) == pid) {
        read_until("\x01never", Clock::now() + std::chrono::milliseconds(200));
        return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
      }
      if (Clock::now() >= until) {
        kill(pid, SIGKILL);
        waitpid(pid, &st, 0);
        return -1;
      }
    }
  }
};

Child spawn(const std::vector<std::string>& args, const std::string& env_entry) {
  int fds[2];
  if (pipe(fds)) return {};
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 2);
  posix_spawn_file_actions_addclose(&fa, fds[0]);
  posix_spawn_file_actions_addclose(&fa, fds[1]);
  std::vector<std::string> full{plainstep::testing::plainstep_binary()};
  full.insert(full.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : full) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> envs{env_entry};
  for (char** e = environ; *e; ++e) envs.emplace_back(*e);
  std::vector<char*> envp;
  for (auto& e : envs) envp.push_back(e.data());
  envp.push_back(nullptr);
  Child c;
  posix_spawn(&c.pid, argv[0], &fa, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&fa);
  close(fds[1]);
  c.out = fds[0];
  return c;
}

class Stopped : public ::testing::TestWithParam<const char*> {};

// A step whose browser (or driver) is stopped fails within its timeout
// plus a margin, saying the browser stopped answering, and the run leaves
// no process behind. Before, it took the driver's 30 s and closing 30 more.
TEST_P(Stopped, BoundedByTheTimeoutAndNothingLeft) {
  const std::string which = GetParam();
  std::mt19937_64 rng(std::random_device{}());
  const std::string mark = "PLAINSTEP_TEST_MARK=stopped" + std::to_string(rng());
  fs::path dir = fs::temp_directory_path() / ("plainstep-stop-" + std::to_string(getpid()) + which);
  fs::create_directories(dir);
  std::ofstream(dir / "stop.steps") << "url: " << (FIX / "dialog_chain.html").string()
                                     << "\nverify text Checkout is visible\nverify text Never shown is visible\n";
  // Stop the processes once the first step has passed, while the second
  // reads the page again and again for text that never comes.
  Child c = spawn({"run", (dir / "stop.steps").string(), "--timeout", "3000"}, mark);
  ASSERT_GT(c.pid, 0);
  ASSERT_TRUE(c.read_until("verify text Checkout is visible  PASS", Clock::now() + std::chrono::seconds(60)))
      << c.text;
  int stopped = 0;
  for (pid_t p : marked(mark)) {
    std::string cmd = cmdline(p);
    // The crash reporter lives apart from the browser and never answers
    // the driver: a stuck browser is its browser and renderer processes.
    bool is_browser = cmd.find("chrom") != std::string::npos && cmd.find("crashpad") == std::string::npos;
    bool is_driver = !is_browser && cmd.find("node") != std::string::npos;
    if ((which == std::string("browser") && is_browser) || (which == std::string("driver") && is_driver)) {
      kill(p, SIGSTOP);
      ++stopped;
    }
  }
  auto since = Clock::now();
  int status = c.wait(Clock::now() + std::chrono::seconds(60));
  double took = seconds_since(since);
  // Whatever is left is let go and killed, so a failure never leaves it.
  std::vector<pid_t> left;
  for (auto until = Clock::now() + std::chrono::seconds(3); Clock::now() < until;) {
    left = marked(mark);
    if (left.empty()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::string left_names;
  for (pid_t p : left) {
    left_names += " " + cmdline(p).substr(0, 80);
    kill(p, SIGCONT);
    kill(p, SIGKILL);
  }
  fs::remove_all(dir);
  EXPECT_GT(stopped, 0) << "no " << which << " process found";
  EXPECT_EQ(status, 1) << c.text;
  EXPECT_LT(took, 3.0 + 12.0) << c.text;  // the timeout, the answer margin, closing
  EXPECT_NE(c.text.find("the browser stopped answering"), std::string::npos) << c.text;
  EXPECT_TRUE(left.empty()) << left.size() << " processes left running:" << left_names;
}

INSTANTIATE_TEST_SUITE_P(Reliability, Stopped, ::testing::Values("browser", "driver"));

// A snapshot that cannot be written once the run is going is a warning on
// the step, never its failure.
TEST(Snapshots, AFolderLostDuringTheRunWarnsAndTheStepPasses) {
  fs::path dir = fs::temp_directory_path() / ("plainstep-snap-" + std::to_string(getpid()));
  fs::create_directories(dir / "snaps");
  std::ofstream(dir / "snap.steps") << "url: " << (FIX / "rerender.html").string()
                                     << "\nwait 1500\nverify text Settings is visible\n";
  Child c = spawn({"run", "--snapshots", (dir / "snaps").string(), (dir / "snap.steps").string()}, "X=1");
  ASSERT_GT(c.pid, 0);
  ASSERT_TRUE(c.read_until("== ", Clock::now() + std::chrono::seconds(60))) << c.text;
  // The folder was checked at the start; now it is gone, a file in its place.
  fs::remove_all(dir / "snaps");
  std::ofstream(dir / "snaps") << "not a folder";
  int status = c.wait(Clock::now() + std::chrono::seconds(60));
  fs::remove_all(dir);
  EXPECT_EQ(status, 0) << c.text;
  EXPECT_NE(c.text.find("verify text Settings is visible  PASS"), std::string::npos) << c.text;
  EXPECT_NE(c.text.find("warning: the page's snapshot was not saved"), std::string::npos) << c.text;
}

}  // namespace cli_reliability_test
