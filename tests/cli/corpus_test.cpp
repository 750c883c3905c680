// The real-page corpus end to end: pages from npm packages (fetched by
// scripts/fetch-corpus), served by tests/corpus/serve.js, each scenario run
// through `plainstep run` and its twin (the same test written with
// Playwright's own locators) run by node. A twin must pass; a scenario must
// pass, or fail exactly where tests/corpus/expected-failures.txt says.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

#include "support/run_cli.hpp"

using plainstep::testing::CliResult;
using plainstep::testing::names_element;
using plainstep::testing::run_cli;
namespace fs = std::filesystem;

namespace cli_corpus_test {

const fs::path ROOT = plainstep::testing::repo_root();
const fs::path CORPUS = ROOT / "tests" / "corpus";
const fs::path SCENARIOS = CORPUS / "scenarios";

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

std::string node_binary() {
  if (const char* n = std::getenv("PLAINSTEP_NODE"); n && *n) return n;
  return "node";
}

// A child process in its own process group, so that stopping it stops what
// it started too. Standard output and error are read into `out`.
class Child {
 public:
  Child(const std::vector<std::string>& args, const std::vector<std::string>& env, bool keep_stdin) {
    int in[2], out[2];
    if (pipe(in) || pipe(out)) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_adddup2(&fa, out[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1]}) posix_spawn_file_actions_addclose(&fa, fd);
    posix_spawn_file_actions_addchdir_np(&fa, ROOT.c_str());
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    std::vector<std::string> a = args;
    std::vector<char*> argv = plainstep::testing::c_strings(a);
    std::vector<std::string> envs = plainstep::testing::environment_with(env);
    std::vector<char*> envp = plainstep::testing::c_strings(envs);
    int rc = posix_spawnp(&pid_, argv[0], &fa, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    posix_spawnattr_destroy(&attr);
    close(in[0]);
    close(out[1]);
    if (rc != 0) {
      pid_ = -1;
      error_ = "cannot start " + args[0] + ": " + std::strerror(rc);
      close(in[1]);
      close(out[0]);
      return;
    }
    in_ = in[1];
    out_ = out[0];
    if (!keep_stdin) { close(in_); in_ = -1; }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() { stop(); }

  bool started() const { return pid_ > 0; }
  const std::string& error() const { return error_; }
  const std::string& out() const { return output_; }

  // Reads output until `done` holds of it, the child closes its output, or
  // `ms` pass. True when `done` held.
  template <class Done>
  bool read_until(Done done, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (out_ >= 0 && !done(output_)) {
      int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count());
      if (left <= 0) return false;
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, left) <= 0) continue;
      char buf[65536];
      ssize_t n = read(out_, buf, sizeof buf);
      if (n <= 0) { close(out_); out_ = -1; break; }
      output_.append(buf, size_t(n));
    }
    return done(output_);
  }

  // Waits for the child to end within `ms`; stops it past that. Its exit
  // status, or -1 when it had to be stopped.
  int wait(int ms) {
    read_until([](const std::string&) { return false; }, ms);
    if (out_ >= 0) {  // still writing: past its time
      stop();
      return -1;
    }
    int st = 0;
    waitpid(pid_, &st, 0);
    pid_ = -1;
    return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  }

  // Asks the child's group to end (closing its input, then SIGTERM), and
  // kills it when it does not within a few seconds.
  void stop() {
    if (in_ >= 0) { close(in_); in_ = -1; }
    if (pid_ > 0) {
      for (int i = 0; i < 100; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) { pid_ = -1; break; }
        if (i == 10) kill(-pid_, SIGTERM);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      if (pid_ > 0) {
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
      }
    }
    if (out_ >= 0) { close(out_); out_ = -1; }
  }

 private:
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
  std::string output_, error_;
};

// The corpus server, started once for the whole suite.
struct Server {
  std::unique_ptr<Child> child;
  std::string origin;  // http://127.0.0.1:PORT
  std::string problem;
  Server() {
    if (!fs::exists(CORPUS / "fetched")) {
      problem = (CORPUS / "fetched").string() + " is missing: run scripts/fetch-corpus (scripts/bootstrap does)";
      return;
    }
    // Standard input stays open: the server ends when it closes.
    child = std::make_unique<Child>(std::vector<std::string>{node_binary(), "tests/corpus/serve.js"},
                                    std::vector<std::string>{}, true);
    if (!child->started()) { problem = child->error(); return; }
    static const std::regex serving(R"(serving on (http://127\.0\.0\.1:\d+)/)");
    std::smatch m;
    if (!child->read_until([](const std::string& o) { return o.find('\n') != std::string::npos; }, 15000) ||
        !std::regex_search(child->out(), m, serving)) {
      problem = "the corpus server did not start: " + child->out();
      return;
    }
    origin = m[1];
  }
};

Server& server() {
  static Server s;
  return s;
}

// The steps of a step file as the runner counts them.
std::vector<std::string> steps_of(const fs::path& file) {
  std::vector<std::string> out;
  std::ifstream in(file);
  for (std::string l; std::getline(in, l);) {
    auto b = l.find_first_not_of(" \t");
    if (b == std::string::npos || l[b] == '#' || l.compare(b, 4, "url:") == 0) continue;
    out.push_back(l.substr(b, l.find_last_not_of(" \t") - b + 1));
  }
  return out;
}

// The page of a scenario at the running server: its `url:` line names the
// page at the server's default address; only the origin changes.
std::string page_of(const fs::path& file, const std::string& origin) {
  std::ifstream in(file);
  static const std::regex url(R"(^\s*url:\s*https?://[^/\s]+(/\S*)\s*$)");
  std::smatch m;
  for (std::string l; std::getline(in, l);)
    if (std::regex_match(l, m, url)) return origin + std::string(m[1]);
  return "";
}

// Lines of a list file without comments and blank lines, split into words:
// "scenario.steps STEP rest of the line".
struct Entry {
  std::string scenario;
  int step = 0;
  std::string why;
};

std::vector<Entry> read_list(const fs::path& file) {
  std::vector<Entry> out;
  std::ifstream in(file);
  for (std::string l; std::getline(in, l);) {
    auto b = l.find_first_not_of(" \t");
    if (b == std::string::npos || l[b] == '#') continue;
    std::istringstream words(l);
    Entry e;
    words >> e.scenario >> e.step;
    std::getline(words, e.why);
    e.why.erase(0, e.why.find_first_not_of(" \t"));
    out.push_back(e);
  }
  return out;
}

// What the first failing step of a run is: its number, and its report lines.
struct Outcome {
  int failed_step = 0;  // 0: every step passed
  std::string report;   // the failing step's line and the lines under it
};

// The report line of step `n` of `run`, or "".
std::string step_line(const std::string& run, int n, const std::string& step) {
  for (const auto& l : lines_of(run))
    if (l.rfind("  " + std::to_string(n) + "  " + step + "  ", 0) == 0) return l;
  return "";
}

Outcome first_failure(const std::string& run, const std::vector<std::string>& steps) {
  Outcome o;
  auto lines = lines_of(run);
  for (size_t i = 0; i < lines.size(); ++i) {
    for (size_t n = 0; n < steps.size(); ++n) {
      std::string head = "  " + std::to_string(n + 1) + "  " + steps[n] + "  FAIL";
      if (lines[i].rfind(head, 0) != 0) continue;
      o.failed_step = int(n) + 1;
      o.report = lines[i];
      for (size_t j = i + 1; j < lines.size() && lines[j].rfind("       ", 0) == 0; ++j) o.report += "\n" + lines[j];
      return o;
    }
  }
  return o;
}

// "at (x, y)" at the end of a twin's report line of step n, if it noted one.
std::optional<std::string> twin_place(const std::string& twin_out, int n, const std::string& step) {
  static const std::regex at(R"(  (at \(-?\d+, -?\d+\))$)");
  std::smatch m;
  std::string l = step_line(twin_out, n, step);
  if (std::regex_search(l, m, at)) return std::string(m[1]);
  return std::nullopt;
}

std::vector<std::string> scenario_names() {
  std::vector<std::string> out;
  if (fs::exists(SCENARIOS))
    for (const auto& e : fs::directory_iterator(SCENARIOS))
      if (e.path().extension() == ".steps") out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

class Corpus : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    ASSERT_EQ(server().problem, "");
    file_ = SCENARIOS / GetParam();
    steps_ = steps_of(file_);
  }
  fs::path file_;
  std::vector<std::string> steps_;
};

// Twins run once per scenario; the scenario's test reads the twin's places.
std::map<std::string, std::pair<int, std::string>>& twin_runs() {
  static std::map<std::string, std::pair<int, std::string>> runs;
  return runs;
}

const std::pair<int, std::string>& twin_of(const std::string& name) {
  auto& runs = twin_runs();
  auto it = runs.find(name);
  if (it != runs.end()) return it->second;
  fs::path twin = SCENARIOS / (fs::path(name).stem().string() + ".twin.js");
  std::pair<int, std::string> r{-2, "no twin: " + twin.string() + " is missing"};
  if (fs::exists(twin)) {
    Child c({node_binary(), twin.string()}, {"CORPUS_URL=" + server().origin}, false);
    if (!c.started()) {
      r = {-2, c.error()};
    } else {
      int status = c.wait(150000);
      r = {status, c.out() + (status == -1 ? "\n(stopped after 150 s)" : "")};
    }
  }
  return runs[name] = r;
}

TEST_P(Corpus, TwinPassesOffline) {
  const auto& [status, out] = twin_of(GetParam());
  EXPECT_EQ(status, 0) << "twin of " << GetParam() << " failed:\n" << out;
}

TEST_P(Corpus, ScenarioResolvesAsAPersonWould) {
  std::string page = page_of(file_, server().origin);
  ASSERT_NE(page, "") << GetParam() << " has no url: line naming a page of the corpus server";
  ASSERT_FALSE(steps_.empty()) << GetParam() << " has no steps";
  CliResult r = run_cli({"run", "--url", page, file_.string()}, "", {"PLAINSTEP_HEADLESS=true"}, ROOT.string());
  ASSERT_TRUE(r.status == 0 || r.status == 1) << "plainstep run ended with status " << r.status << "\n" << r.out << r.err;

  Outcome o = first_failure(r.out, steps_);
  ASSERT_EQ(o.failed_step == 0, r.status == 0) << r.out << r.err;

  // A step that passed must have acted on the element the twin acted on, for
  // the steps whose element is held to the twin's (picks.txt).
  const auto& twin = twin_of(GetParam());
  for (const auto& p : read_list(CORPUS / "picks.txt")) {
    if (p.scenario != GetParam() || p.step < 1 || size_t(p.step) > steps_.size()) continue;
    if (o.failed_step && p.step >= o.failed_step) continue;
    const std::string& step = steps_[size_t(p.step) - 1];
    auto want = twin_place(twin.second, p.step, step);
    if (!want) {
      ADD_FAILURE() << GetParam() << " step " << p.step << " is held to the twin's element, but the twin noted no place for it";
      continue;
    }
    std::string line = step_line(r.out, p.step, step);
    if (!names_element(line, *want)) {
      o.failed_step = p.step;
      o.report = line + "\n       acted on another element than a person would: the twin's is " + *want;
      break;
    }
  }

  std::optional<Entry> expected;
  for (const auto& e : read_list(CORPUS / "expected-failures.txt"))
    if (e.scenario == GetParam()) expected = e;

  std::string where = GetParam() + " step " + std::to_string(o.failed_step);
  if (!expected) {
    EXPECT_EQ(o.failed_step, 0) << where << " failed:\n" << o.report << "\n\nthe whole run:\n" << r.out;
    return;
  }
  if (o.failed_step == 0) {
    ADD_FAILURE() << GetParam() << " now passes every step: remove its line from tests/corpus/expected-failures.txt ("
                  << "step " << expected->step << ", " << expected->why << ")";
  } else if (o.failed_step < expected->step) {
    ADD_FAILURE() << where << " failed, before the known failure at step " << expected->step << ":\n"
                  << o.report << "\n\nthe whole run:\n" << r.out;
  } else if (o.failed_step > expected->step) {
    ADD_FAILURE() << GetParam() << " step " << expected->step << " passes now; the first failure is " << where
                  << ": update tests/corpus/expected-failures.txt\n"
                  << o.report;
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, Corpus, ::testing::ValuesIn(scenario_names()), [](const auto& info) {
  std::string n = fs::path(info.param).stem().string();
  for (auto& c : n)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return n;
});

// The corpus is what the issue asks for: enough pages, packages and steps,
// every scenario with its twin, every page from a pinned package.
TEST(CorpusShape, EnoughPagesPackagesAndSteps) {
  auto names = scenario_names();
  std::set<std::string> pages, packages;
  size_t steps = 0;
  for (const auto& n : names) {
    std::string page = page_of(SCENARIOS / n, "");
    pages.insert(page);
    packages.insert(page.substr(1, page.find('/', page.find('@', 2)) - 1));
    steps += steps_of(SCENARIOS / n).size();
    EXPECT_TRUE(fs::exists(SCENARIOS / (fs::path(n).stem().string() + ".twin.js"))) << n << " has no twin";
  }
  EXPECT_GE(pages.size(), 6u);
  EXPECT_GE(packages.size(), 3u);
  EXPECT_GE(steps, 100u);
  // Every page comes from a package pinned, with its integrity, in the list
  // scripts/fetch-corpus fetches from.
  std::set<std::string> pinned;
  std::ifstream list(CORPUS / "packages.txt");
  for (std::string l; std::getline(list, l);)
    if (!l.empty() && l[0] != '#') pinned.insert(l.substr(0, l.find_first_of(" \t")));
  for (const auto& p : packages) EXPECT_TRUE(pinned.count(p)) << p << " is not pinned in packages.txt";
}

// The server answers the corpus and the CDN addresses its pages load, and
// nothing outside it.
TEST(CorpusServer, ServesPagesWithCdnAddressesMadeLocal) {
  ASSERT_EQ(server().problem, "");
  const std::string& origin = server().origin;
  auto fetch = [&](const std::string& path) {
    Child c({node_binary(), "-e",
             "fetch(process.argv[1]).then(async r => { console.log(r.status); console.log(await r.text()); },"
             " e => { console.log('error ' + e.message); })",
             origin + path},
            {}, false);
    c.wait(15000);
    return c.out();
  };
  std::string tables = fetch("/startbootstrap-sb-admin@7.0.7/dist/tables.html");
  EXPECT_EQ(tables.rfind("200\n", 0), 0u) << tables.substr(0, 200);
  EXPECT_EQ(tables.find("https://cdn.jsdelivr.net"), std::string::npos);
  EXPECT_NE(tables.find("/simple-datatables@7.1.2/dist/umd/simple-datatables.min.js"), std::string::npos);
  // jsDelivr's minified file, made from the package's own
  EXPECT_EQ(fetch("/simple-datatables@7.1.2/dist/umd/simple-datatables.min.js").rfind("200\n", 0), 0u);
  EXPECT_EQ(fetch("/../../../etc/passwd").rfind("404\n", 0), 0u);
}

}  // namespace cli_corpus_test
