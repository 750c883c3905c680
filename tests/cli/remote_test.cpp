// plainstep run on browsers elsewhere: a Playwright browser server and a
// Chromium's debugging port, both started here on the loopback address;
// the results, what is left running afterwards, and the errors when
// nothing (or the wrong thing) answers at the address.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "support/remote_browsers.hpp"
#include "support/run_cli.hpp"

namespace plainstep::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// Two demo files, run as a suite. With parallel workers this is where
// "--workers", "2" joins the arguments.
const std::vector<std::string> SUITE = {"examples/signin.steps", "examples/todos.steps"};

std::vector<std::string> run_args(const std::string& flag, const std::string& address) {
  std::vector<std::string> args{"run", flag, address};
  args.insert(args.end(), SUITE.begin(), SUITE.end());
  return args;
}

void expect_suite_passed(const CliResult& r) {
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_THAT(r.out, HasSubstr("\n2 passed, 0 failed")) << r.out;
  EXPECT_THAT(r.out, Not(HasSubstr("  FAIL  "))) << r.out;
  for (const auto& file : SUITE) EXPECT_THAT(r.out, HasSubstr("== " + file)) << r.out;
}

TEST(RemoteRun, ASuiteRunsOnABrowserServerThatKeepsRunningWithNothingOfOursLeft) {
  BrowserServer server({"DEBUG=pw:server"});
  ASSERT_NE(server.ws_endpoint, "") << "run-server did not start:\n" << server.output();
  std::string marker = new_marker();
  auto r = run_cli(run_args("--connect", server.ws_endpoint), "",
                   {marker, "PLAINSTEP_CHROMIUM=" + chromium_path(), "PLAINSTEP_HEADLESS=true"}, repo_root().string());
  expect_suite_passed(r);
  EXPECT_THAT(server.output(), HasSubstr("engaged launch mode for \"chromium\"")) << "no file ran on the server";
  EXPECT_THAT(marked_processes(marker), IsEmpty()) << "plainstep left a process of its own running";
  EXPECT_TRUE(server.running()) << "the run ended the browser server";
  EXPECT_THAT(marked_processes(server.marker(), std::chrono::milliseconds(10000), server.pid()), IsEmpty())
      << "the browsers the server launched for the run were left open";
  server.stop();
  EXPECT_THAT(marked_processes(server.marker()), IsEmpty());
}

TEST(RemoteRun, ASuiteRunsOnARunningChromiumThatKeepsRunningAsItWas) {
  DebuggingChromium chromium;
  ASSERT_NE(chromium.http_endpoint, "") << "chromium did not start:\n" << chromium.output();
  int tabs = open_pages(chromium.port);
  std::string marker = new_marker();
  // No chromium to launch here: the files can only run on the one attached to.
  auto r = run_cli(run_args("--cdp", chromium.http_endpoint), "",
                   {marker, "PLAINSTEP_CHROMIUM=/no/such/chromium"}, repo_root().string());
  expect_suite_passed(r);
  EXPECT_THAT(marked_processes(marker), IsEmpty()) << "plainstep left a process of its own running";
  EXPECT_TRUE(chromium.running()) << "the run ended a browser that is not its own";
  EXPECT_EQ(open_pages(chromium.port), tabs) << "the run left tabs of its own open";
  chromium.stop();
  EXPECT_THAT(marked_processes(chromium.marker()), IsEmpty());
}

// ---- addresses that cannot be used ----------------------------------------

struct Unusable {
  const char* name;
  std::vector<std::string> args;  // {refused} and {silent} stand for ports
  std::vector<std::string> env;
  const char* says;               // on standard error, {refused} and {silent} too
};

void PrintTo(const Unusable& u, std::ostream* os) { *os << u.name; }

std::string fill(std::string text, int refused, int silent) {
  text = std::regex_replace(text, std::regex(R"(\{refused\})"), std::to_string(refused));
  return std::regex_replace(text, std::regex(R"(\{silent\})"), std::to_string(silent));
}

class UnusableAddress : public ::testing::TestWithParam<Unusable> {};

TEST_P(UnusableAddress, ExitsTwoNamingItBeforeAnyFileStarts) {
  const auto& row = GetParam();
  int refused = closed_port();
  SilentListener silent;
  std::vector<std::string> args{"run"}, env;
  for (const auto& a : row.args) args.push_back(fill(a, refused, silent.port));
  args.push_back("examples/signin.steps");
  for (const auto& e : row.env) env.push_back(fill(e, refused, silent.port));
  std::string marker = new_marker();
  env.push_back(marker);
  auto r = run_cli(args, "", env, repo_root().string());
  EXPECT_EQ(r.status, 2) << r.out << r.err;
  EXPECT_THAT(r.err, HasSubstr(fill(row.says, refused, silent.port)));
  EXPECT_THAT(r.out, Not(HasSubstr("== examples/signin.steps"))) << "a file started";
  EXPECT_THAT(marked_processes(marker), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnusableAddress,
    ::testing::Values(
        Unusable{"ServerRefusing", {"--connect", "ws://127.0.0.1:{refused}/"}, {},
                 "plainstep run: browser server: cannot reach ws://127.0.0.1:{refused}/: connection refused"},
        Unusable{"ServerFromTheEnvironment", {}, {"PLAINSTEP_CONNECT=ws://127.0.0.1:{refused}/x"},
                 "cannot reach ws://127.0.0.1:{refused}/x: connection refused"},
        Unusable{"ChromiumRefusing", {"--cdp", "http://127.0.0.1:{refused}"}, {},
                 "plainstep run: Chromium debugging port: cannot reach http://127.0.0.1:{refused}: "
                 "connection refused"},
        Unusable{"NothingAnswersInTime", {"--connect", "ws://127.0.0.1:{silent}/"}, {"PLAINSTEP_CONNECT_TIMEOUT=0.5"},
                 "cannot reach ws://127.0.0.1:{silent}/: no answer within 0.5 s"},
        Unusable{"ServerAddressOverHttp", {"--connect", "http://127.0.0.1:{refused}/"}, {},
                 "starts with ws:// or wss://, such as ws://127.0.0.1:3000/, got 'http://127.0.0.1:{refused}/'"},
        Unusable{"NoScheme", {"--cdp", "127.0.0.1:{refused}"}, {},
                 "'127.0.0.1:{refused}' is not a browser address: it has no scheme"},
        Unusable{"BothFromTheEnvironment", {},
                 {"PLAINSTEP_CONNECT=ws://127.0.0.1:{refused}/", "PLAINSTEP_CDP=http://127.0.0.1:{refused}"},
                 "were both given; choose one"},
        Unusable{"BothAsFlags", {"--connect", "ws://127.0.0.1:{refused}/", "--cdp", "http://127.0.0.1:{refused}"},
                 {}, "--connect excludes --cdp"},
        Unusable{"ChromiumPortForFirefox", {"--cdp", "http://127.0.0.1:{refused}", "--browser", "firefox"}, {},
                 "reaches Chromium only, not firefox"},
        Unusable{"BadTimeout", {"--connect", "ws://127.0.0.1:{refused}/"}, {"PLAINSTEP_CONNECT_TIMEOUT=soon"},
                 "PLAINSTEP_CONNECT_TIMEOUT must be a number of seconds"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RemoteRun, HelpNamesTheFlagsAndTheirVariables) {
  auto r = run_cli({"run", "--help"});
  EXPECT_EQ(r.status, 0);
  for (const char* s : {"--connect", "--cdp", "PLAINSTEP_CONNECT", "PLAINSTEP_CDP", "PLAINSTEP_CONNECT_TIMEOUT"})
    EXPECT_THAT(r.out, HasSubstr(s));
}

}  // namespace
}  // namespace plainstep::testing
