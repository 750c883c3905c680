// The run flags from the command line, their environment variables and the
// configuration file: a flag wins over its variable, the variable over the
// file, the file over the default; a key that is no flag is an error.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "cmd_run_flags.hpp"
#include "config.hpp"

using namespace plainstep::host;
namespace fs = std::filesystem;

namespace {

struct Parsed {
  RunFlags flags;
  SuiteOptions options;
};

// Parses `args` (after "run") with `env` set, reading `file` as the
// configuration file when it is given.
Parsed parse(std::vector<std::string> args, const std::optional<std::string>& file,
             const std::vector<std::pair<std::string, std::string>>& env) {
  fs::path path = fs::path(::testing::TempDir()) / ("plainstep-flags-" + std::to_string(getpid()) + ".toml");
  if (file) {
    std::ofstream(path) << *file;
    args.insert(args.begin(), {"--config", path.string()});
  }
  args.push_back("tests/");
  for (const auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
  Parsed p;
  CLI::App app;
  add_run_flags(app, p.flags);
  std::vector<std::string> argv_text{"run"};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_text) argv.push_back(a.data());
  struct Cleanup {
    const std::vector<std::pair<std::string, std::string>>& env;
    fs::path path;
    ~Cleanup() {
      for (const auto& [k, v] : env) unsetenv(k.c_str());
      fs::remove(path);
    }
  } cleanup{env, path};
  app.parse(static_cast<int>(argv.size()), argv.data());
  apply_config_file(app, p.flags);
  p.options = suite_options(p.flags);
  return p;
}

struct Merge {
  const char* what;
  std::optional<std::string> file;
  std::vector<std::string> args;
  std::vector<std::pair<std::string, std::string>> env;
  std::function<void(const Parsed&)> check;
};

class Merging : public ::testing::TestWithParam<Merge> {};

TEST_P(Merging, FlagsOverVariablesOverTheFileOverDefaults) {
  const auto& c = GetParam();
  SCOPED_TRACE(c.what);
  c.check(parse(c.args, c.file, c.env));
}

INSTANTIATE_TEST_SUITE_P(
    Sources, Merging,
    ::testing::Values(
        Merge{"defaults", std::nullopt, {}, {},
              [](const Parsed& p) {
                EXPECT_EQ(p.options.timeout_ms, 5000);
                EXPECT_EQ(p.options.workers, default_workers());
                EXPECT_GE(p.options.workers, 1);
                EXPECT_EQ(p.options.retries, 0);
                EXPECT_EQ(p.options.max_failures, 0);
                EXPECT_FALSE(p.options.shard);
                EXPECT_FALSE(p.options.base_url);
              }},
        Merge{"the file over the default", "timeout = 3000\n", {}, {},
              [](const Parsed& p) { EXPECT_EQ(p.options.timeout_ms, 3000); }},
        Merge{"a flag over the file", "timeout = 3000\n", {"--timeout", "4000"}, {},
              [](const Parsed& p) { EXPECT_EQ(p.options.timeout_ms, 4000); }},
        Merge{"a variable over the file", "timeout = 3000\n", {}, {{"PLAINSTEP_TIMEOUT", "2000"}},
              [](const Parsed& p) { EXPECT_EQ(p.options.timeout_ms, 2000); }},
        Merge{"a flag over its variable", std::nullopt, {"--workers", "3"}, {{"PLAINSTEP_WORKERS", "5"}},
              [](const Parsed& p) { EXPECT_EQ(p.options.workers, 3); }},
        Merge{"suite settings",
              "# the suite\nworkers = 3\nretries = 2\nmax_failures = 4\nshard = \"2/3\"\n"
              "grep = [\"checkout\", \"login\"]\n",
              {}, {},
              [](const Parsed& p) {
                EXPECT_EQ(p.options.workers, 3);
                EXPECT_EQ(p.options.retries, 2);
                EXPECT_EQ(p.options.max_failures, 4);
                ASSERT_TRUE(p.options.shard);
                EXPECT_EQ(p.options.shard->index, 2);
                EXPECT_EQ(p.options.shard->count, 3);
                EXPECT_EQ(p.options.selection.grep, (std::vector<std::string>{"checkout", "login"}));
              }},
        Merge{"keys with dashes, and under [run]", "max-failures = 1\n[run]\nworkers = 2\n", {}, {},
              [](const Parsed& p) {
                EXPECT_EQ(p.options.max_failures, 1);
                EXPECT_EQ(p.options.workers, 2);
              }},
        Merge{"base_url", "base_url = \"http://localhost:8080\"\n", {}, {},
              [](const Parsed& p) { EXPECT_EQ(p.options.base_url, "http://localhost:8080"); }},
        Merge{"PLAINSTEP_BASE_URL over the file", "base_url = \"http://localhost:8080\"\n", {},
              {{"PLAINSTEP_BASE_URL", "https://staging.example.com"}},
              [](const Parsed& p) { EXPECT_EQ(p.options.base_url, "https://staging.example.com"); }},
        Merge{"a flag the host reads the variable of", "headed = true\nbrowser = \"firefox\"\n", {}, {},
              [](const Parsed& p) {
                EXPECT_TRUE(p.flags.headed);
                EXPECT_EQ(p.flags.browser, "firefox");
              }},
        Merge{"... and its variable over the file", "headed = true\nbrowser = \"firefox\"\n", {},
              {{"PLAINSTEP_HEADLESS", "true"}, {"PLAINSTEP_BROWSER", "chromium"}},
              [](const Parsed& p) {
                EXPECT_FALSE(p.flags.headed);
                EXPECT_FALSE(p.flags.browser);
              }},
        Merge{"--var adds to the file's, the command line's last", "var = [\"A=1\", \"B=2\"]\nmask = [\"A\"]\n",
              {"--var", "B=3", "--mask", "C"}, {},
              [](const Parsed& p) {
                EXPECT_EQ(p.options.vars, (std::map<std::string, std::string>{{"A", "1"}, {"B", "3"}}));
                EXPECT_EQ(p.options.masked, (std::set<std::string>{"A", "C"}));
              }},
        Merge{"--tag replaces the file's", "tag = [\"smoke\"]\n", {"--tag", "fast"}, {},
              [](const Parsed& p) { EXPECT_EQ(p.options.selection.tags, (std::vector<std::string>{"fast"})); }},
        Merge{"a flag set false in the file", "no_check = false\n", {}, {},
              [](const Parsed& p) { EXPECT_TRUE(p.options.check_wording); }},
        Merge{"a flag set true in the file", "no_check = true\n", {}, {},
              [](const Parsed& p) { EXPECT_FALSE(p.options.check_wording); }}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

struct Refusal {
  std::optional<std::string> file;  // nullopt: a --config that does not exist
  std::vector<std::string> says;
};

class Refusing : public ::testing::TestWithParam<Refusal> {};

TEST_P(Refusing, NamesTheFileAndTheKey) {
  const auto& c = GetParam();
  try {
    if (c.file) {
      parse({}, c.file, {});
    } else {
      parse({"--config", "/nonexistent/plainstep.toml"}, std::nullopt, {});
    }
    FAIL() << "accepted " << c.file.value_or("a missing file");
  } catch (const std::invalid_argument& e) {
    std::string m = e.what();
    EXPECT_NE(m.find(c.file ? ".toml: " : "/nonexistent/plainstep.toml: "), std::string::npos) << m;
    for (const auto& s : c.says) EXPECT_NE(m.find(s), std::string::npos) << s << " in " << m;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, Refusing,
    ::testing::Values(
        Refusal{"wrokers = 2\n", {"unknown key 'wrokers'", "workers", "max-failures", "base-url"}},
        Refusal{"[other]\nworkers = 2\n", {"unknown key 'other.workers'"}},
        Refusal{"config = \"other.toml\"\n", {"unknown key 'config'"}},
        Refusal{"paths = [\"tests/\"]\n", {"unknown key 'paths'"}},
        Refusal{"workers = 0\n", {"workers"}},
        Refusal{"timeout = soon\n", {"timeout"}},
        Refusal{"var = \"NOVALUE\"\n", {"var", "NOVALUE"}},
        Refusal{std::nullopt, {"cannot read the settings"}}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(Merging, ABadShardIsRefused) {
  EXPECT_THROW(parse({"--shard", "3/2"}, std::nullopt, {}), std::invalid_argument);
}

}  // namespace
