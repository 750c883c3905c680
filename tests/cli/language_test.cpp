// The grown step language end to end, in real headless Chromium on the demo
// site and fixtures: every form's failure message, negative checks waiting
// until they hold, shared steps reported in place, cycles and unknown
// variables found before any browser starts, secrets masked in every
// report and file. (The examples run every form passing: run_test.cpp.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "support/run_cli.hpp"

using plainstep::testing::CliResult;
using plainstep::testing::run_cli;
namespace fs = std::filesystem;

namespace cli_language_test {

const fs::path ROOT = plainstep::testing::repo_root();
const std::string LANG = "tests/fixtures/lang/";
const std::vector<std::string> NO_BROWSER = {"PLAINSTEP_CHROMIUM=/nonexistent/chromium"};

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// The first line that starts with `head`, or "".
std::string line_starting(const CliResult& r, const std::string& head) {
  for (const auto& l : lines_of(r.out))
    if (l.rfind(head, 0) == 0) return l;
  return "";
}

// The block explain prints for step `n`, up to the next step.
std::string block_of(const std::string& out, int n) {
  std::string head = "step " + std::to_string(n) + ": ";
  size_t from = out.find(head);
  if (from == std::string::npos) return "";
  size_t to = out.find("\nstep " + std::to_string(n + 1) + ": ", from);
  return out.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

std::string read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// ---- every form's failure, on one live page ---------------------------------

struct Failure {
  const char* step;
  const char* says;  // in the failure's detail lines
};

const std::vector<Failure> FAILURES = {
    {"verify Save changes is not visible", "found button 'Save changes' at (24, 408), but it is not hidden within 1000 ms"},
    {"verify Save changes is hidden", "but it is not hidden within 1000 ms"},
    {"verify Save changes is not present", "but it is not gone within 1000 ms"},
    {"verify Save changes is not enabled", "but it is not disabled within 1000 ms"},
    {"verify text Your account is not present", "found h2 'Your account' at (24, 89), but it is not gone"},
    {"verify text Your account is not visible", "but it is not hidden"},
    {"verify text right of Order number is not PS-20417", "expected no 'PS-20417' right of Order number, found 'PS-20417'"},
    {"verify text right of Order number is exactly PS-2041", "expected exactly 'PS-2041' right of Order number, found 'PS-20417'"},
    {"verify text right of Order number is not exactly PS-20417", "expected anything but 'PS-20417' right of Order number, found 'PS-20417'"},
    {"verify Send me the newsletter is not checked", "to be unchecked, but it is checked"},
    {"verify SMS me when it ships is checked", "to be checked, but it is not checked"},
    {"verify Name has value Bob", "input 'Ada Lovelace' at (160, 125) to have the value 'Bob', but it has value 'Ada Lovelace'"},
    {"verify Country has value Spain", "to have the value 'Spain', but it has value 'United Kingdom'"},
    {"verify Delivery notes contains window", "to contain 'window', but it has value 'Leave it at the door'"},
    {"verify count of Save changes is 2", "expected 2 of 'Save changes', counted 1 within 1000 ms"},
    {"verify url contains nope", "the page's address is 'file://", },
    {"verify url is site/shop.html", "/examples/site/account.html', not 'file://"},
    {"verify title is Shop", "the page's title is 'Plainstep shop: your account', not 'Shop'"},
    {"verify title contains checkout", "which does not contain 'checkout'"},
    {"double click Nothing like it", "found no 'Nothing like it' within 1000 ms (double_click, lexical)"},
    {"right click Nothing like it", "found no 'Nothing like it' within 1000 ms (right_click, lexical)"},
    {"check Save changes", "button 'Save changes' at (24, 408) is no checkbox or radio button, so it cannot be checked"},
    {"uncheck Country", "is no checkbox or radio button, so it cannot be unchecked"},
    {"clear Nothing like it", "found no 'Nothing like it' within 1000 ms (clear, lexical)"},
    {"upload files/none.txt to Receipt", "no file to upload: 'files/none.txt' names '"},
    {"drag Nothing like it to Receipt", "found no 'Nothing like it' within 1000 ms (drag, lexical)"},
    {"scroll to Nothing like it", "found no 'Nothing like it' within 1000 ms (scroll_to, lexical"},
    {"go to site/nope.html", "no page at 'site/nope.html': the file '"},
    {"switch to new tab", "no new tab opened within 1000 ms (1 tab open)"},
    {"switch to tab 3", "there is no tab 3 within 1000 ms (1 tab open)"},
    {"close tab", "cannot close the only tab"},
    {"remember text right of Nothing like it as X", "found no text right of Nothing like it within 1000 ms"},
    {"run shared/none.steps", "shared/none.steps: cannot read step file"},
    {"type ${NOT_SET_ANYWHERE} into Name", "unknown variable ${NOT_SET_ANYWHERE}: no step before it remembers it"},
};

struct FailureRun {
  CliResult result;
  FailureRun() {
    std::vector<std::string> args{"explain", "--url", "site/account.html", "--timeout", "1000"};
    for (const auto& f : FAILURES) args.push_back(f.step);
    result = run_cli(args, "", {}, (ROOT / "examples").string());
  }
};

const FailureRun& failures() {
  static FailureRun run;
  return run;
}

class FailureMessages : public ::testing::TestWithParam<size_t> {};

TEST_P(FailureMessages, SayWhatWasAskedAndWhatWasFound) {
  const CliResult& r = failures().result;
  const Failure& f = FAILURES[GetParam()];
  std::string block = block_of(r.out, static_cast<int>(GetParam()) + 1);
  ASSERT_NE(block.find(std::string("step ") + std::to_string(GetParam() + 1) + ": " + f.step), std::string::npos)
      << r.out << r.err;
  EXPECT_NE(block.find("outcome:    FAIL"), std::string::npos) << block;
  EXPECT_NE(block.find(f.says), std::string::npos) << f.step << "\n" << block;
}

INSTANTIATE_TEST_SUITE_P(EveryForm, FailureMessages, ::testing::Range<size_t>(0, FAILURES.size()));

TEST(FailureMessages, ExplainNamesWhatEachActionDoes) {
  const CliResult& r = failures().result;
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(block_of(r.out, 1).find("action:     checks an element"), std::string::npos);
  EXPECT_NE(block_of(r.out, 16).find("action:     checks the page itself"), std::string::npos);
  EXPECT_NE(block_of(r.out, 20).find("action:     acts on an element"), std::string::npos);
}

// ---- negatives wait until they hold ----------------------------------------

TEST(Negatives, PassAsSoonAsWhatWasThereIsGone) {
  auto r = run_cli({"run", LANG + "delays.steps"}, "", {}, ROOT.string());
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  for (const char* step : {"verify text Saving... is not visible", "verify Dismiss is not present"}) {
    std::smatch m;
    std::string line;
    for (const auto& l : lines_of(r.out))
      if (l.find("  " + std::string(step) + "  ") != std::string::npos) line = l;
    ASSERT_TRUE(std::regex_search(line, m, std::regex(R"(PASS  (\d+\.\d+)s  no )"))) << r.out;
    // gone 1.2 s after the click: waited for, not passed at once nor timed out
    EXPECT_GE(std::stod(m[1]), 0.9) << line;
    EXPECT_LT(std::stod(m[1]), 4.5) << line;
  }
}

// ---- shared steps -------------------------------------------------------------

struct SharedRun {
  std::string junit = (fs::path(::testing::TempDir()) / "plainstep-shared.xml").string();
  CliResult result;
  SharedRun() {
    fs::remove(junit);
    result = run_cli({"run", "--timeout", "2000", "--junit", junit, "--var", "USER_PASSWORD=hunter2",
                      LANG + "shared_steps.steps", LANG + "shared_broken.steps"},
                     "", {}, ROOT.string());
  }
  ~SharedRun() { fs::remove(junit); }
};

const SharedRun& shared() {
  static SharedRun run;
  return run;
}

TEST(SharedSteps, RunInPlaceAndReportUnderTheCallingStep) {
  const CliResult& r = shared().result;
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  auto lines = lines_of(r.out);
  auto at = [&](const std::string& head) {
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i].rfind(head, 0) == 0) return static_cast<long>(i);
    return -1L;
  };
  long start = at("  2  run shared/sign-in.steps");
  long nested = at("      shared/sign-in.steps:3  type ${USER_PASSWORD} into the field right of Password  PASS");
  long done = at("  2  run shared/sign-in.steps  PASS");
  ASSERT_GE(start, 0) << r.out;
  EXPECT_LT(start, nested) << r.out;
  EXPECT_LT(nested, done) << r.out;
  EXPECT_NE(line_starting(r, "  2  run shared/sign-in.steps  PASS").find("ran 4 steps of shared/sign-in.steps"),
            std::string::npos);
  EXPECT_NE(line_starting(r, "  3  verify text Welcome, Ada is present  PASS"), "") << r.out;
}

TEST(SharedSteps, AFailingSharedStepFailsTheCallingStepAndSkipsTheRest) {
  const CliResult& r = shared().result;
  EXPECT_NE(line_starting(r, "      shared/broken.steps:2  click Log out  FAIL"), "") << r.out;
  EXPECT_NE(line_starting(r, "      shared/broken.steps:3  verify text Bye is visible  SKIP"), "") << r.out;
  std::string caller = line_starting(r, "  1  run shared/broken.steps  FAIL");
  ASSERT_NE(caller, "") << r.out;
  auto lines = lines_of(r.out);
  auto it = std::find(lines.begin(), lines.end(), caller);
  ASSERT_NE(it + 1, lines.end());
  EXPECT_NE((it + 1)->find("shared/broken.steps:2 failed: click Log out: found no 'Log out'"), std::string::npos)
      << *(it + 1);
  EXPECT_NE(line_starting(r, "  2  click Login  SKIP"), "") << r.out;
}

TEST(SharedSteps, TheJUnitReportHoldsTheSharedStepsUnderTheirCaller) {
  std::string xml = read(shared().junit);
  EXPECT_NE(xml.find("      shared/sign-in.steps:4  click Login  PASS"), std::string::npos) << xml;
  EXPECT_NE(xml.find("shared/broken.steps:2 failed: click Log out"), std::string::npos) << xml;
  // each step of the shared file is a testcase of its own, named by its place
  EXPECT_NE(xml.find("name=\"shared/sign-in.steps:4: click Login\""), std::string::npos) << xml;
  EXPECT_EQ(xml.find("hunter2"), std::string::npos);
}

TEST(SharedSteps, ACycleIsFoundBeforeAnyBrowserStarts) {
  auto checked = run_cli({"check", LANG + "cycle.steps"}, "", {}, ROOT.string());
  EXPECT_EQ(checked.status, 1) << checked.out;
  EXPECT_NE(checked.out.find(LANG + "shared/loop-b.steps:1: run loop-a.steps makes a cycle: " + LANG +
                             "shared/loop-a.steps runs " + LANG + "shared/loop-b.steps, which runs loop-a.steps again"),
            std::string::npos)
      << checked.out;
  auto ran = run_cli({"run", LANG + "cycle.steps"}, "", NO_BROWSER, ROOT.string());
  EXPECT_EQ(ran.status, 2) << ran.out << ran.err;
  EXPECT_NE(ran.err.find("makes a cycle"), std::string::npos) << ran.err;
  EXPECT_EQ(ran.out.find("=="), std::string::npos) << ran.out;
}

TEST(SharedSteps, ACycleRunAnywayStopsAtTheFileAlreadyRunning) {
  auto r = run_cli({"run", "--no-check", LANG + "cycle.steps"}, "", {}, ROOT.string());
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("run loop-a.steps runs a file already running"), std::string::npos) << r.out;
}

// ---- variables -----------------------------------------------------------------

TEST(Variables, CheckNamesTheOnesNothingSets) {
  auto r = run_cli({"check", LANG + "variables.steps"}, "", {}, ROOT.string());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find(LANG + "variables.steps:3: unknown variable ${PLAIN}: no step before it remembers it "
                              "(remember text ... as PLAIN), and no --var PLAIN=... or environment variable "
                              "PLAIN sets it"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("variables.steps:5: unknown variable ${LATER}"), std::string::npos) << r.out;
  // remembered before its use: known
  EXPECT_EQ(r.out.find("${REMEMBERED}"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("2 issues in 1 file"), std::string::npos) << r.out;

  auto set = run_cli({"check", "--var", "PLAIN=a", LANG + "variables.steps"}, "", {"LATER=b"}, ROOT.string());
  EXPECT_EQ(set.status, 0) << set.out;

  auto bad = run_cli({"run", "--var", "no-equals", LANG + "variables.steps"}, "", NO_BROWSER, ROOT.string());
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("--var 'no-equals' needs the form NAME=VALUE"), std::string::npos) << bad.err;
}

// ---- secrets -------------------------------------------------------------------

struct SecretRun {
  fs::path dir = fs::path(::testing::TempDir()) / "plainstep-secrets";
  CliResult result;
  SecretRun() {
    fs::remove_all(dir);
    fs::create_directories(dir);
    result = run_cli({"run", "--timeout", "1500", "--var", "USER_PASSWORD=hunter2", "--var",
                      "SIGN_IN=grace@example.com", "--mask", "SIGN_IN", "--junit",
                      (dir / "report.xml").string(), "--artifacts", (dir / "artifacts").string(),
                      "--snapshots", (dir / "snapshots").string(), LANG + "secrets.steps"},
                     "", {"API_TOKEN=tok-5150"}, ROOT.string());
  }
  ~SecretRun() { fs::remove_all(dir); }
};

TEST(Secrets, NeverShowInReportsLogsSnapshotsOrArtifacts) {
  static SecretRun run;
  const CliResult& r = run.result;
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  const std::vector<std::string> secrets{"hunter2", "grace@example.com", "tok-5150", "Welcome, Grace"};
  for (const auto& s : {"hunter2", "grace@example.com", "tok-5150"}) {
    EXPECT_EQ(r.out.find(s), std::string::npos) << s << "\n" << r.out;
    EXPECT_EQ(r.err.find(s), std::string::npos) << s;
  }
  EXPECT_NE(r.out.find("typed '****' into input [aria-label=Password]"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("remembered '****' as GREETING_KEY"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("found no text '****'"), std::string::npos) << r.out;
  size_t files = 0;
  for (const auto& e : fs::recursive_directory_iterator(run.dir)) {
    if (!e.is_regular_file()) continue;
    ++files;
    const std::string name = e.path().filename().string();
    for (const auto& s : {"hunter2", "grace", "tok-5150"}) EXPECT_EQ(name.find(s), std::string::npos) << name;
    if (e.path().extension() == ".png") continue;  // the page as drawn; a password field shows dots
    const std::string content = read(e.path());
    // the greeting became secret only when remembered: snapshots before it
    // may show it, nothing after
    for (const auto& s : {"hunter2", "grace@example.com", "tok-5150"})
      EXPECT_EQ(content.find(s), std::string::npos) << s << " in " << e.path();
  }
  EXPECT_GE(files, 5u);  // the report, the two artifacts, snapshots
  bool masked_address = false;
  for (const auto& e : fs::directory_iterator(run.dir / "snapshots"))
    masked_address |= e.path().filename().string().find("t=****") != std::string::npos;
  EXPECT_TRUE(masked_address) << "no snapshot of the page whose address holds the token";
}

// ---- addresses -----------------------------------------------------------------

TEST(Addresses, ABaseAddressTakesRelativeOnes) {
  std::string base = "file://" + (ROOT / "examples" / "site").string() + "/";
  auto r = run_cli({"explain", "--url", "examples/site/index.html", "--base-url", base,
                    "go to shop.html", "verify url is shop.html", "verify title contains products"},
                   "", {}, ROOT.string());
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(block_of(r.out, 1).find("now at " + base + "shop.html"), std::string::npos) << r.out;
}

}  // namespace cli_language_test
