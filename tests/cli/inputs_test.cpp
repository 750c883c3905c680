// Bad numbers, folders where files belong and odd files: every command
// rejects them with a message naming the flag, variable or file and the
// value, with the exit status the README gives, before a browser starts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/run_cli.hpp"

using plainstep::testing::run_cli;
namespace fs = std::filesystem;

namespace cli_inputs_test {

const std::string SITE = std::string(PLAINSTEP_SOURCE_DIR) + "/examples/site";

// A scratch folder per test, with a few files the cases name by
// placeholder: {dir}, {steps}, {snapshot}.
class Inputs : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("plainstep-inputs-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "folder.json");
    write("ok.steps", "url: " + SITE + "/index.html\nverify text Sign in is visible\n");
    write("huge.json", R"({"url": "x", "elements": [{"tag": "a", "text": "x", "bounding_box": {"x": 1e999, "y": 0, "width": 1, "height": 1}}]})");
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string write(const std::string& name, const std::string& content) {
    std::ofstream(dir_ / name, std::ios::binary) << content;
    return (dir_ / name).string();
  }
  std::string fill(std::string s) const {
    for (auto [key, value] : {std::pair<std::string, std::string>{"{dir}", dir_.string()}}) {
      for (size_t at; (at = s.find(key)) != std::string::npos;) s.replace(at, key.size(), value);
    }
    return s;
  }
  fs::path dir_;
};

struct Bad {
  const char* name;
  std::vector<std::string> args;
  std::vector<std::string> env;
  int status;
  std::vector<std::string> said;  // each part appears on standard error
};

class BadInputs : public Inputs, public ::testing::WithParamInterface<Bad> {};

TEST_P(BadInputs, AreRejectedNamingTheSourceAndTheValue) {
  const Bad& c = GetParam();
  std::vector<std::string> args, env;
  for (const auto& a : c.args) args.push_back(fill(a));
  for (const auto& e : c.env) env.push_back(fill(e));
  auto r = run_cli(args, "", env);
  EXPECT_EQ(r.status, c.status) << r.out << r.err;
  for (const auto& part : c.said) EXPECT_NE(r.err.find(fill(part)), std::string::npos) << part << "\n" << r.err;
  EXPECT_EQ(r.err.find("stoi"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("json.exception"), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadInputs,
    ::testing::Values(
        Bad{"driver_timeout_inf", {"run", "{dir}/ok.steps"}, {"PLAINSTEP_DRIVER_TIMEOUT=inf"}, 2,
            {"PLAINSTEP_DRIVER_TIMEOUT", "'inf'"}},
        Bad{"driver_timeout_huge", {"run", "{dir}/ok.steps"}, {"PLAINSTEP_DRIVER_TIMEOUT=1e10"}, 2,
            {"PLAINSTEP_DRIVER_TIMEOUT", "'1e10'"}},
        Bad{"driver_timeout_negative", {"check", "{dir}/ok.steps"}, {"PLAINSTEP_DRIVER_TIMEOUT=-5"}, 2,
            {"PLAINSTEP_DRIVER_TIMEOUT", "'-5'"}},
        Bad{"viewport_flag_overflow", {"run", "--viewport", "99999999999x720", "{dir}/ok.steps"}, {}, 2,
            {"--viewport", "'99999999999x720'"}},
        Bad{"viewport_variable", {"run", "{dir}/ok.steps"}, {"PLAINSTEP_VIEWPORT=1280x0"}, 2,
            {"PLAINSTEP_VIEWPORT", "'1280x0'"}},
        Bad{"screenshot_viewport", {"screenshot", "--viewport", "x720", SITE + "/index.html", "{dir}/s.png"},
            {}, 2, {"--viewport", "'x720'"}},
        Bad{"snapshot_is_a_folder", {"resolve", "--snapshot", "{dir}/folder.json", "--step", "click Go"}, {},
            2, {"{dir}/folder.json", "it is a folder"}},
        Bad{"number_too_large_for_json", {"resolve", "--snapshot", "{dir}/huge.json", "--step", "click Go"},
            {}, 2, {"{dir}/huge.json"}},
        // folders a run writes into, checked before the browser starts
        Bad{"snapshots_folder_is_a_file", {"run", "--snapshots", "{dir}/ok.steps", "{dir}/ok.steps"}, {}, 2,
            {"--snapshots folder '{dir}/ok.steps'", "it is a file"}},
        Bad{"snapshots_variable_is_a_file", {"run", "{dir}/ok.steps"}, {"PLAINSTEP_SNAPSHOTS={dir}/ok.steps"}, 2,
            {"PLAINSTEP_SNAPSHOTS folder '{dir}/ok.steps'"}},
        Bad{"artifacts_folder_is_a_file", {"run", "--artifacts", "{dir}/ok.steps", "{dir}/ok.steps"}, {}, 2,
            {"--artifacts folder '{dir}/ok.steps'"}},
        Bad{"report_folder_is_a_file", {"run", "--reporter", "html", "--output", "{dir}/ok.steps", "{dir}/ok.steps"},
            {}, 2, {"--output folder '{dir}/ok.steps'", "it is a file"}},
        Bad{"trace_folder_is_a_file", {"run", "--trace", "on", "--output", "{dir}/ok.steps", "{dir}/ok.steps"}, {}, 2,
            {"--output folder '{dir}/ok.steps'"}},
        Bad{"junit_in_a_file", {"run", "--junit", "{dir}/ok.steps/report.xml", "{dir}/ok.steps"}, {}, 2,
            {"--junit folder '{dir}/ok.steps'"}},
        Bad{"unknown_reporter", {"run", "--reporter", "list,xml", "{dir}/ok.steps"}, {}, 2,
            {"--reporter: no reporter named 'xml'; choose from list, dot, line, json, junit, html"}},
        Bad{"two_terminal_reporters", {"run", "{dir}/ok.steps"}, {"PLAINSTEP_REPORTER=dot,line"}, 2,
            {"dot and line both write to the terminal"}},
        Bad{"screenshots_word", {"run", "--screenshots", "always", "{dir}/ok.steps"}, {}, 2,
            {"--screenshots 'always': choose on, failures or off"}},
        Bad{"trace_word", {"run", "--trace", "yes", "{dir}/ok.steps"}, {}, 2,
            {"--trace 'yes': choose on, retain-on-failure or off"}},
        Bad{"explain_screenshot_into_a_file", {"explain", "--url", SITE + "/index.html", "--screenshot",
            "{dir}/ok.steps/shot.png", "verify text Sign in is visible"}, {}, 2,
            {"--screenshot '{dir}/ok.steps/shot.png'"}}),
    [](const auto& info) { return std::string(info.param.name); });

// check and run give one verdict: a wait run would refuse, check reports.
TEST_F(Inputs, CheckAndRunAgreeOnAWaitTooLong) {
  std::string f = write("wait.steps", "url: " + SITE + "/index.html\nwait 99999999999999999999\n");
  auto check = run_cli({"check", f});
  EXPECT_EQ(check.status, 1) << check.out << check.err;
  EXPECT_NE(check.out.find(f + ":2: `wait` value must be at most 3600000 milliseconds"), std::string::npos)
      << check.out;
  auto run = run_cli({"run", f});
  EXPECT_EQ(run.status, 2) << run.out << run.err;
  EXPECT_NE(run.err.find(f + ":2: `wait` value must be at most 3600000 milliseconds"), std::string::npos)
      << run.err;
}

// What run refuses at once, check reports: a key the browser does not
// know, a step that names nothing once its filler words are gone.
struct Refused {
  const char* name;
  const char* step;
  const char* said;
};

class CheckAndRun : public Inputs, public ::testing::WithParamInterface<Refused> {};

TEST_P(CheckAndRun, GiveOneVerdict) {
  std::string f = write("step.steps", "url: " + SITE + "/index.html\n" + GetParam().step + "\n");
  auto check = run_cli({"check", f});
  EXPECT_EQ(check.status, 1) << check.out << check.err;
  EXPECT_NE(check.out.find(f + ":2: " + GetParam().said), std::string::npos) << check.out;
  auto run = run_cli({"run", "--no-check", "--timeout", "1000", f});
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.out.find(GetParam().said), std::string::npos) << run.out;
}

INSTANTIATE_TEST_SUITE_P(Table, CheckAndRun,
                         ::testing::Values(Refused{"unknown_key", "press Foo", "unknown key 'Foo'"},
                                           Refused{"unknown_in_combination", "press Control+Foo",
                                                   "unknown key 'Control+Foo'"},
                                           Refused{"names_nothing", "click the",
                                                   "the step names nothing to look for"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Key names in any letter case: "press enter" presses Enter.
TEST_F(Inputs, KeyNamesInAnyCase) {
  std::string f = write("keys.steps", "url: " + SITE + "/index.html\npress enter\npress control+a\npress TAB\n");
  EXPECT_EQ(run_cli({"check", f}).status, 0);
  auto run = run_cli({"run", f});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("pressed enter"), std::string::npos) << run.out;
}

// A wait in another script's digits is read as the number it shows.
TEST_F(Inputs, AWaitInArabicIndicDigitsWaitsThatLong) {
  std::string f = write("wait.steps", "url: " + SITE + "/index.html\nwait \u0663\u0660\u0660\n");
  EXPECT_EQ(run_cli({"check", f}).status, 0);
  auto run = run_cli({"run", f});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("waited 300 ms"), std::string::npos) << run.out;
}

// A file saved with lone CR line ends has its steps.
TEST_F(Inputs, AFileWithCarriageReturnsOnlyHasItsSteps) {
  std::string f = write("mac.steps", "url: " + SITE + "/index.html\r# old editor\rverify text Sign in is visible\r");
  auto check = run_cli({"check", f});
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  auto run = run_cli({"run", f});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("1 passed, 0 failed"), std::string::npos) << run.out;
}

}  // namespace cli_inputs_test
