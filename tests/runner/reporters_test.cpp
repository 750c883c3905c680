// The reports of a run, fed the events of a made-up run that has every
// kind of file: flaky with a shared file's steps, failed with candidates,
// skipped, one that could not run, one the interrupted run never finished.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "reporters/reporter.hpp"
#include "reporters/run_document.hpp"
#include "run_suite.hpp"
#include "support/junit_schema.hpp"

using namespace plainstep;
using namespace plainstep::host;
namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

std::string read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

fs::path scratch(const std::string& name) {
  fs::path p = fs::path(::testing::TempDir()) / ("plainstep-reporters-" + name);
  fs::remove_all(p);
  fs::create_directories(p);
  return p;
}

ElementRef element(const std::string& tag, const std::string& text, Box box, AttributeMap attrs = {}) {
  Element e;
  e.tag = tag;
  e.text = text;
  e.bounding_box = box;
  e.attributes = std::move(attrs);
  e.xpath = "/html[1]/body[1]/" + tag + "[1]";
  return make_element(e);
}

StepReport step(int number, int line, const std::string& text, StepStatus status,
                std::vector<std::string> details = {}) {
  StepReport s{number, line, text, status, status == StepStatus::skip ? 0 : 0.1234 * number, "", details};
  if (status == StepStatus::pass) s.outcome = "did " + text;
  return s;
}

WallClock::time_point at(int seconds) { return WallClock::time_point(std::chrono::seconds(1796800000 + seconds)); }

// The made-up run, told to `set` as a runner would tell it.
void feed(ReporterSet& set, bool finish_run = true) {
  RunStart start;
  start.started = at(0);
  start.root = "/home/ada/shop";
  start.options.retries = 1;
  start.files = {{"tests/shop/checkout.steps", "shop/checkout.steps", "https://shop.example/cart", {"smoke"}},
                 {"tests/login.steps", "login.steps", "https://shop.example/login"},
                 {"tests/empty.steps", "empty.steps", ""},
                 {"tests/broken.steps", "broken.steps", "https://shop.example/"},
                 {"tests/later.steps", "later.steps", "https://shop.example/later"}};
  set.run_started(start);

  // checkout: a shared file's step fails on the first attempt, all pass on the second
  for (int attempt : {1, 2}) {
    FileRef ref{0, attempt};
    set.attempt_started(ref);
    StepReport first = step(1, 3, "click Add to cart", StepStatus::pass);
    first.route = "spatial";
    first.element = element("button", "Add to cart", {321, 194, 110, 36});
    set.step_finished(ref, first);
    StepReport run = step(2, 4, "run shared/sign-in.steps", StepStatus::pass);
    set.step_started(ref, run);
    for (int n : {1, 2}) {
      bool fails = attempt == 1 && n == 2;
      StepReport inner = step(n, n, n == 1 ? "type ada into Email" : "click Log in",
                              fails ? StepStatus::fail : StepStatus::pass, fails ? std::vector<std::string>{"found no 'Log in'"} : std::vector<std::string>{});
      inner.depth = 1;
      inner.where = "shared/sign-in.steps:" + std::to_string(n);
      set.step_finished(ref, inner);
      run.nested.push_back(inner);
    }
    if (attempt == 1) {
      run.status = StepStatus::fail;
      run.details = {"shared/sign-in.steps:2 failed: click Log in: found no 'Log in'"};
      run.outcome.clear();
    }
    set.step_finished(ref, run);
    set.step_finished(ref, step(3, 5, "verify text Paid is present", attempt == 1 ? StepStatus::skip : StepStatus::pass));
    AttemptEnd end;
    end.passed = attempt == 2;
    end.seconds = attempt * 1.5;
    end.started = at(attempt);
    if (attempt == 1) end.trace = "traces/shop/checkout.steps-1.zip";
    set.attempt_finished(ref, end);
  }
  set.file_finished({0, FileOutcome::flaky, std::nullopt, std::nullopt, 4.5, at(1)});

  // login: fails with two candidates, a screenshot and a snapshot, markup in its texts
  FileRef login{1, 1};
  set.attempt_started(login);
  StepReport failing = step(1, 2, "click <b>Logn</b> & go", StepStatus::fail,
                            {"found no 'Logn' within 5000 ms (click, lexical)", "closest candidates:",
                             "  button 'Login' at (120, 44)", "  a 'Log in help' at (10, 90)"});
  failing.route = "lexical";
  failing.candidates = {element("button", "Login", {120, 44, 80, 32}),
                        element("a", "", {10, 90, 60, 20}, {{"_label", "Log in help"}})};
  failing.screenshot = "artifacts/login.steps/1-step1.png";
  failing.snapshot = "artifacts/login.steps/1-step1.json";
  set.step_finished(login, failing);
  set.step_finished(login, step(2, 3, "type \x01secret into Name", StepStatus::skip));
  AttemptEnd failed;
  failed.seconds = 5.2;
  failed.started = at(6);
  set.attempt_finished(login, failed);
  set.file_finished({1, FileOutcome::failed, std::nullopt, std::nullopt, 5.2, at(6)});

  set.file_finished({2, FileOutcome::skipped, std::nullopt, std::string("it has no steps to run"), 0, {}});

  FileRef broken{3, 1};
  set.attempt_started(broken);
  AttemptEnd no_browser;
  no_browser.error = "could not open https://shop.example/ in the browser: chromium exited";
  no_browser.started = at(12);
  set.attempt_finished(broken, no_browser);
  set.file_finished({3, FileOutcome::error, no_browser.error, std::nullopt, 0.4, at(12)});
  // later.steps starts and the run is stopped under it
  set.attempt_started({4, 1});
  set.step_finished({4, 1}, step(1, 2, "click Later", StepStatus::pass));
  if (finish_run) set.run_finished(13.25, true);
}

ReporterSettings settings(const fs::path& dir, std::vector<std::string> names, std::ostream* out = nullptr) {
  ReporterSettings s;
  s.names = std::move(names);
  s.output = dir.string();
  s.out = out;
  return s;
}

// ---- which reporters, where -------------------------------------------------

struct ReporterChoice {
  std::vector<std::string> names;
  std::optional<std::string> junit;
  bool folder;        // the report folder holds screenshots
  const char* error;  // what --reporter says, or nullptr
  const char* terminal = "";  // the reporter that writes to the terminal
};

class Choosing : public ::testing::TestWithParam<ReporterChoice> {};

TEST_P(Choosing, NamesAreCheckedAndDecideTheFolder) {
  const ReporterChoice& c = GetParam();
  std::ostringstream out;
  ReporterSettings s = settings(::testing::TempDir(), c.names, &out);
  s.junit = c.junit;
  if (c.error) {
    try {
      ReporterSet set(s);
      ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(std::string(e.what()), c.error);
    }
    return;
  }
  ReporterSet set(s);
  EXPECT_EQ(set.writes_report_folder(), c.folder);
  EXPECT_EQ(set.terminal(), c.terminal);
}

INSTANTIATE_TEST_SUITE_P(
    Reporters, Choosing,
    ::testing::Values(
        ReporterChoice{{"list"}, std::nullopt, false, nullptr, "list"}, ReporterChoice{{"dot,html"}, std::nullopt, true, nullptr, "dot"},
        ReporterChoice{{"json"}, std::nullopt, true, nullptr}, ReporterChoice{{"junit"}, std::nullopt, true, nullptr},
        // the JUnit file of its own flag leaves the folder alone
        ReporterChoice{{"list", "junit"}, std::string("x.xml"), false, nullptr, "list"},
        ReporterChoice{{" Line , JSON "}, std::nullopt, true, nullptr, "line"},
        ReporterChoice{{"list,xml"}, std::nullopt, false,
               "--reporter: no reporter named 'xml'; choose from list, dot, line, json, junit, html"},
        ReporterChoice{{"list", "dot"}, std::nullopt, false, "--reporter: list and dot both write to the terminal; choose one"}));

TEST(CommonFolder, NamesEachFileBelowTheFoldersTheyShare) {
  struct Case {
    std::vector<std::string> paths;
    std::string root;
    std::vector<std::string> rel;
  };
  for (const Case& c : {Case{{"/a/b/x.steps", "/a/c/x.steps"}, "/a", {"b/x.steps", "c/x.steps"}},
                        Case{{"/a/b/x.steps"}, "/a/b", {"x.steps"}},
                        Case{{"/a/b/x.steps", "/a/b/y/../z.steps"}, "/a/b", {"x.steps", "z.steps"}},
                        Case{{"/a/x.steps", "/b/x.steps"}, "/", {"a/x.steps", "b/x.steps"}},
                        Case{{"/ab/x.steps", "/a/x.steps"}, "/", {"ab/x.steps", "a/x.steps"}}}) {
    auto [root, rel] = common_folder(c.paths);
    EXPECT_EQ(root, c.root) << c.paths.front();
    EXPECT_EQ(rel, c.rel) << c.paths.front();
  }
  auto [root, rel] = common_folder({"relative/a.steps"});
  EXPECT_EQ(root, (fs::current_path() / "relative").string());
  EXPECT_EQ(rel, std::vector<std::string>{"a.steps"});
}

// ---- the JSON document ------------------------------------------------------------

class Document : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = scratch("json");
    ReporterSet set(settings(dir_, {"json"}));
    feed(set);
    doc_ = Json::parse(read(dir_ / "report.json"));
  }
  static const Json& file(size_t i) { return doc_["files"][i]; }
  static inline fs::path dir_;
  static inline Json doc_;
};

TEST_F(Document, RunFieldsAndCounts) {
  EXPECT_EQ(doc_["format"], "plainstep-report/1");
  EXPECT_EQ(doc_["started"], "2026-12-09T07:06:40.000Z");
  EXPECT_EQ(doc_["duration_ms"], 13250);
  EXPECT_EQ(doc_["interrupted"], true);
  EXPECT_EQ(doc_["root"], "/home/ada/shop");
  EXPECT_EQ(doc_["options"], Json::parse(R"({"browser": "chromium", "workers": 1, "retries": 1, "shard": null,
                                              "timeout_ms": 5000, "base_url": null})"));
  EXPECT_EQ(doc_["counts"], Json::parse(R"({"files": 5, "passed": 0, "failed": 1, "flaky": 1, "skipped": 1,
                                             "not_run": 1, "error": 1, "steps": 8})"));
}

TEST_F(Document, EveryFileHasItsStatusAndWhy) {
  struct Want {
    const char* path;
    const char* status;
    Json error, reason;
    size_t attempts;
  };
  for (size_t i = 0; i < 5; ++i) {
    const Want w = std::vector<Want>{
        {"shop/checkout.steps", "flaky", nullptr, nullptr, 2},
        {"login.steps", "failed", nullptr, nullptr, 1},
        {"empty.steps", "skipped", nullptr, "it has no steps to run", 0},
        {"broken.steps", "error", "could not open https://shop.example/ in the browser: chromium exited", nullptr, 0},
        {"later.steps", "not_run", nullptr, "the run was interrupted before this file finished", 1},
    }[i];
    EXPECT_EQ(file(i)["path"], w.path);
    EXPECT_EQ(file(i)["status"], w.status) << w.path;
    EXPECT_EQ(file(i)["error"], w.error) << w.path;
    EXPECT_EQ(file(i)["reason"], w.reason) << w.path;
    EXPECT_EQ(file(i)["attempts"].size(), w.attempts) << w.path;
  }
  EXPECT_EQ(file(0)["tags"], Json::array({"smoke"}));
  EXPECT_EQ(file(0)["started"], "2026-12-09T07:06:41.000Z");
  EXPECT_EQ(file(2)["url"], nullptr);
  EXPECT_EQ(file(2)["started"], nullptr);
  // stopped while running: what it did is kept, the attempt says it was cut short
  EXPECT_EQ(file(4)["attempts"][0]["status"], "failed");
  EXPECT_EQ(file(4)["attempts"][0]["error"], "the run was interrupted before this attempt ended");
  EXPECT_EQ(file(4)["attempts"][0]["steps"].size(), 1u);
}

TEST_F(Document, ASharedFilesStepsAreListedBeforeTheStepThatRanThem) {
  const Json& first = file(0)["attempts"][0];
  EXPECT_EQ(first["status"], "failed");
  EXPECT_EQ(first["trace"], "traces/shop/checkout.steps-1.zip");
  EXPECT_EQ(file(0)["attempts"][1]["trace"], nullptr);
  std::vector<std::tuple<int, int, Json, std::string, std::string>> got;
  for (const auto& s : first["steps"])
    got.emplace_back(s["number"], s["line"], s["source"], s["text"].get<std::string>(), s["status"].get<std::string>());
  using T = std::tuple<int, int, Json, std::string, std::string>;
  EXPECT_EQ(got, (std::vector<T>{T{1, 3, nullptr, "click Add to cart", "passed"},
                                 T{2, 4, "shared/sign-in.steps:1", "type ada into Email", "passed"},
                                 T{3, 4, "shared/sign-in.steps:2", "click Log in", "failed"},
                                 T{4, 4, nullptr, "run shared/sign-in.steps", "failed"},
                                 T{5, 5, nullptr, "verify text Paid is present", "skipped"}}));
  EXPECT_EQ(first["steps"][4]["duration_ms"], nullptr);
  EXPECT_EQ(first["steps"][0]["duration_ms"], 123);
}

TEST_F(Document, AFailedStepSaysWhatItLookedForAndWhatCameClose) {
  const Json& s = file(1)["attempts"][0]["steps"][0];
  EXPECT_EQ(s["text"], "click <b>Logn</b> & go");
  EXPECT_EQ(s["message"], "found no 'Logn' within 5000 ms (click, lexical)");
  EXPECT_EQ(s["details"], Json::array({"closest candidates:", "  button 'Login' at (120, 44)",
                                       "  a 'Log in help' at (10, 90)"}));
  EXPECT_EQ(s["outcome"], nullptr);
  EXPECT_EQ(s["route"], "lexical");
  EXPECT_EQ(s["element"], nullptr);
  ASSERT_EQ(s["candidates"].size(), 2u);
  EXPECT_EQ(s["candidates"][0], Json::parse(R"J({"tag": "button", "text": "Login", "label": null,
      "description": "button 'Login' at (120, 44)", "box": {"x": 120.0, "y": 44.0, "width": 80.0, "height": 32.0},
      "xpath": "/html[1]/body[1]/button[1]"})J"));
  EXPECT_EQ(s["candidates"][1]["label"], "Log in help");
  EXPECT_EQ(s["candidates"][1]["description"], "a [_label=Log in help] at (10, 90)");
  EXPECT_EQ(s["screenshot"], "artifacts/login.steps/1-step1.png");
  EXPECT_EQ(s["snapshot"], "artifacts/login.steps/1-step1.json");
  const Json& passed = file(0)["attempts"][0]["steps"][0];
  EXPECT_EQ(passed["element"]["description"], "button 'Add to cart' at (321, 194)");
  EXPECT_EQ(passed["outcome"], "did click Add to cart");
  EXPECT_EQ(passed["message"], nullptr);
}

TEST_F(Document, EveryStepHasEveryField) {
  const std::vector<std::string> fields{"number", "line", "text", "source", "status", "duration_ms", "outcome",
                                        "route", "element", "message", "details", "candidates", "screenshot",
                                        "snapshot"};
  for (const auto& f : doc_["files"])
    for (const auto& a : f["attempts"]) {
      for (const char* k : {"attempt", "status", "duration_ms", "trace", "error", "steps"})
        EXPECT_TRUE(a.contains(k)) << k;
      for (const auto& s : a["steps"]) {
        std::vector<std::string> keys;
        for (const auto& [k, v] : s.items()) keys.push_back(k);
        EXPECT_EQ(keys.size(), fields.size());
        for (const auto& k : fields) EXPECT_TRUE(s.contains(k)) << k;
      }
    }
}

// ---- the suite runner's events ---------------------------------------------------------

// What the suite runner tells, through the set: an attempt ends when the
// next one starts or its file is done, and each file's outcome is the
// suite's.
TEST(SuiteEvents, AttemptsAndOutcomesOfTheSuiteReachTheReports) {
  fs::path dir = scratch("suite");
  ReporterSet set(settings(dir, {"json"}));
  SuiteEvents e = set.events({"chromium", 2, 1, std::string("1/2"), 3000, std::nullopt});
  StepReport pass = step(1, 2, "click Go", StepStatus::pass);
  StepReport fail = step(1, 2, "click Go", StepStatus::fail, {"found no 'Go'"});
  std::vector<FileReport> files(5);
  const char* paths[] = {"t/a/flaky.steps", "t/stopped.steps", "t/broken.steps", "t/empty.steps", "t/b/fine.steps"};
  for (size_t i = 0; i < files.size(); ++i) {
    files[i].path = paths[i];
    files[i].rel = std::string(paths[i]).substr(2);
    files[i].url = "u";
  }
  files[2].invalid = true;
  files[2].error = "t/broken.steps:3: Unknown action 'clik'.";
  files[3].skipped = "it has no steps to run";
  e.planned(files);
  // flaky: the first attempt fails and keeps its trace, the retry passes
  e.attempt_started(files[0]);
  e.step_done(files[0], fail);
  files[0].retried.push_back(FileAttempt{{fail}, std::nullopt, 2.0, at(1), false, "traces/a/flaky.steps-1.zip"});
  e.attempt_started(files[0]);
  e.step_done(files[0], pass);
  files[0].steps = {pass};
  files[0].seconds = 1.0;
  files[0].started = at(3);
  e.file_done(files[0]);
  // stopped under its first step
  e.attempt_started(files[1]);
  e.step_done(files[1], pass);
  files[1].steps = {pass};
  files[1].not_run = "stopped while running: the run was interrupted (SIGINT)";
  e.file_done(files[1]);
  e.file_done(files[2]);
  e.file_done(files[3]);
  e.attempt_started(files[4]);
  e.step_done(files[4], pass);
  files[4].steps = {pass};
  e.file_done(files[4]);
  EXPECT_TRUE(set.run_finished(9, true).empty());

  Json doc = Json::parse(read(dir / "report.json"));
  EXPECT_EQ(doc["options"]["shard"], "1/2");
  EXPECT_EQ(doc["options"]["workers"], 2);
  EXPECT_EQ(doc["root"], (fs::current_path() / "t").string());
  std::vector<std::string> statuses, rels;
  for (const auto& f : doc["files"]) {
    statuses.push_back(f["status"]);
    rels.push_back(f["path"]);
  }
  EXPECT_EQ(statuses, (std::vector<std::string>{"flaky", "not_run", "error", "skipped", "passed"}));
  EXPECT_EQ(rels, (std::vector<std::string>{"a/flaky.steps", "stopped.steps", "broken.steps", "empty.steps",
                                            "b/fine.steps"}));
  const Json& flaky = doc["files"][0];
  ASSERT_EQ(flaky["attempts"].size(), 2u);
  EXPECT_EQ(flaky["attempts"][0]["status"], "failed");
  EXPECT_EQ(flaky["attempts"][0]["trace"], "traces/a/flaky.steps-1.zip");
  EXPECT_EQ(flaky["attempts"][0]["steps"][0]["message"], "found no 'Go'");
  EXPECT_EQ(flaky["attempts"][1]["status"], "passed");
  EXPECT_EQ(flaky["duration_ms"], 3000) << "every attempt's time";
  EXPECT_EQ(flaky["started"], "2026-12-09T07:06:41.000Z") << "when its first attempt started";
  const Json& stopped = doc["files"][1];
  EXPECT_EQ(stopped["reason"], "stopped while running: the run was interrupted (SIGINT)");
  EXPECT_EQ(stopped["attempts"][0]["error"], "the run was stopped while this attempt ran");
  EXPECT_EQ(doc["files"][2]["error"], "t/broken.steps:3: Unknown action 'clik'.");
  EXPECT_EQ(doc["files"][2]["attempts"].size(), 0u);
  EXPECT_EQ(doc["files"][3]["reason"], "it has no steps to run");
  EXPECT_EQ(doc["counts"]["flaky"], 1);
  EXPECT_EQ(doc["interrupted"], true);
}

// ---- the HTML report -------------------------------------------------------------

TEST(Html, TheFolderHoldsTheViewerAsShippedAndTheRunAsData) {
  fs::path dir = scratch("html");
  ReporterSet set(settings(dir, {"html"}));
  feed(set);
  for (const char* name : {"index.html", "report.css", "report.js"})
    EXPECT_EQ(read(dir / name), read(plainstep::testing::repo_root() / "host/report" / name)) << name;
  std::string data = read(dir / "data.js");
  const std::string head = "window.PLAINSTEP_REPORT = ";
  ASSERT_TRUE(data.starts_with(head)) << data.substr(0, 80);
  ASSERT_TRUE(data.ends_with(";\n"));
  Json doc = Json::parse(data.substr(head.size(), data.size() - head.size() - 2));
  EXPECT_EQ(doc["files"].size(), 5u);
  EXPECT_EQ(doc["files"][1]["attempts"][0]["steps"][0]["text"], "click <b>Logn</b> & go");
  EXPECT_EQ(set.written(), std::vector<std::string>{"HTML report: " + (dir / "index.html").string()});
}

// ---- JUnit ----------------------------------------------------------------------------

class Junit : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = scratch("junit");
    ReporterSet set(settings(dir_, {"junit"}));
    feed(set);
    ASSERT_TRUE(doc_.load_file((dir_ / "junit.xml").c_str()));
  }
  static pugi::xml_node suite(const char* name) {
    return doc_.child("testsuites").find_child_by_attribute("testsuite", "name", name);
  }
  static inline fs::path dir_;
  static inline pugi::xml_document doc_;
};

TEST_F(Junit, ValidatesAgainstTheCommonSchema) {
  EXPECT_EQ(plainstep::testing::junit_problems((dir_ / "junit.xml").string()), "");
}

TEST_F(Junit, OneSuitePerFileOneCasePerStep) {
  std::vector<std::string> suites;
  for (auto s : doc_.child("testsuites").children("testsuite")) suites.push_back(s.attribute("name").value());
  EXPECT_EQ(suites, (std::vector<std::string>{"tests/shop/checkout.steps", "tests/login.steps", "tests/empty.steps",
                                               "tests/broken.steps", "tests/later.steps"}));
  auto checkout = suite("tests/shop/checkout.steps");
  std::vector<std::string> cases;
  for (auto c : checkout.children("testcase")) {
    cases.push_back(c.attribute("name").value());
    EXPECT_STREQ(c.attribute("classname").value(), "tests/shop/checkout.steps");
  }
  // the last attempt's steps; the shared file's named by their place
  EXPECT_EQ(cases, (std::vector<std::string>{"3: click Add to cart", "shared/sign-in.steps:1: type ada into Email",
                                             "shared/sign-in.steps:2: click Log in", "4: run shared/sign-in.steps",
                                             "5: verify text Paid is present"}));
  EXPECT_EQ(checkout.attribute("failures").as_int(), 0);
  auto flaky = checkout.child("properties").find_child_by_attribute("property", "name", "flaky");
  EXPECT_STREQ(flaky.attribute("value").value(), "true");
  std::string out = checkout.child_value("system-out");
  EXPECT_NE(out.find("attempt 1: failed"), std::string::npos) << out;
  EXPECT_NE(out.find("[[ATTACHMENT|" + (dir_ / "traces/shop/checkout.steps-1.zip").string() + "]]"), std::string::npos)
      << out;
}

TEST_F(Junit, CountsTimesAndPlacesAreWhatCiServersRead) {
  std::regex millis(R"(\d+\.\d{3})");
  unsigned tests = 0;
  for (auto s : doc_.child("testsuites").children("testsuite")) {
    unsigned cases = 0, failures = 0, errors = 0, skipped = 0;
    for (auto c : s.children("testcase")) {
      ++cases;
      failures += c.child("failure") ? 1 : 0;
      errors += c.child("error") ? 1 : 0;
      skipped += c.child("skipped") ? 1 : 0;
      EXPECT_TRUE(std::regex_match(c.attribute("time").value(), millis)) << c.attribute("time").value();
    }
    EXPECT_EQ(s.attribute("tests").as_uint(), cases) << s.attribute("name").value();
    EXPECT_EQ(s.attribute("failures").as_uint(), failures);
    EXPECT_EQ(s.attribute("errors").as_uint(), errors);
    EXPECT_EQ(s.attribute("skipped").as_uint(), skipped);
    EXPECT_TRUE(std::regex_match(s.attribute("time").value(), millis)) << s.attribute("time").value();
    EXPECT_STRNE(s.attribute("hostname").value(), "");
    tests += cases;
  }
  EXPECT_EQ(doc_.child("testsuites").attribute("tests").as_uint(), tests);
  EXPECT_STREQ(suite("tests/login.steps").attribute("timestamp").value(), "2026-12-09T07:06:46");
  EXPECT_STREQ(suite("tests/login.steps").attribute("time").value(), "5.200");
  auto props = suite("tests/login.steps").child("properties");
  EXPECT_STREQ(props.find_child_by_attribute("property", "name", "browser").attribute("value").value(), "chromium");
  EXPECT_STREQ(props.find_child_by_attribute("property", "name", "url").attribute("value").value(),
               "https://shop.example/login");
}

TEST_F(Junit, FailuresErrorsAndSkipsEachInTheirPlace) {
  auto login = suite("tests/login.steps");
  auto failed = login.find_child_by_attribute("testcase", "name", "2: click <b>Logn</b> & go");
  ASSERT_TRUE(failed);
  EXPECT_STREQ(failed.child("failure").attribute("message").value(), "found no 'Logn' within 5000 ms (click, lexical)");
  EXPECT_NE(std::string(failed.child_value("failure")).find("  button 'Login' at (120, 44)"), std::string::npos);
  std::string attached = failed.child_value("system-out");
  EXPECT_EQ(attached, "[[ATTACHMENT|" + (dir_ / "artifacts/login.steps/1-step1.png").string() + "]]\n[[ATTACHMENT|" +
                          (dir_ / "artifacts/login.steps/1-step1.json").string() + "]]\n");
  // a control character in a step shows as its picture
  auto skipped = login.find_child_by_attribute("testcase", "name", "3: type \xe2\x90\x81secret into Name");
  ASSERT_TRUE(skipped);
  EXPECT_TRUE(skipped.child("skipped"));

  auto broken = suite("tests/broken.steps").child("testcase");
  EXPECT_STREQ(broken.child("error").attribute("message").value(),
               "could not open https://shop.example/ in the browser: chromium exited");
  EXPECT_EQ(suite("tests/broken.steps").attribute("errors").as_int(), 1);
  auto empty = suite("tests/empty.steps").child("testcase");
  EXPECT_STREQ(empty.child("skipped").attribute("message").value(), "it has no steps to run");
  // stopped under its first step: that step is there, the rest skipped as not run
  auto later = suite("tests/later.steps");
  EXPECT_TRUE(later.find_child_by_attribute("testcase", "name", "2: click Later"));
  EXPECT_STREQ(later.find_child_by_attribute("testcase", "name", "tests/later.steps")
                   .child("skipped").attribute("message").value(),
               "the run was interrupted before this file finished");
}

// A failure outside any step: the file that never ran a step could not
// run (an error), one whose browser went away after a step failed.
TEST(JunitOutcome, AnAttemptsOwnErrorIsAnErrorOnlyWhenNoStepRan) {
  struct Case {
    StepStatus first;
    const char* outcome;
    const char* type;
  };
  for (const Case& c : {Case{StepStatus::skip, "error", "could not run"},
                        Case{StepStatus::pass, "failure", "attempt failed"}}) {
    fs::path dir = scratch("own-error");
    ReporterSet set(settings(dir, {"junit"}));
    RunStart start;
    start.files = {{"a.steps", "a.steps", "u"}};
    set.run_started(start);
    set.attempt_started({0, 1});
    set.step_finished({0, 1}, step(1, 2, "click Go", c.first));
    set.step_finished({0, 1}, step(2, 3, "click Stop", StepStatus::skip));
    AttemptEnd end;
    end.error = "could not open u in the browser: it would not start";
    set.attempt_finished({0, 1}, end);
    set.file_finished({0, FileOutcome::failed});
    set.run_finished(1, false);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file((dir / "junit.xml").c_str()));
    auto whole = doc.child("testsuites").child("testsuite").find_child_by_attribute("testcase", "name", "a.steps");
    auto o = whole.child(c.outcome);
    ASSERT_TRUE(o) << c.outcome;
    EXPECT_STREQ(o.attribute("type").value(), c.type);
    EXPECT_STREQ(o.attribute("message").value(), "could not open u in the browser: it would not start");
    EXPECT_EQ(plainstep::testing::junit_problems((dir / "junit.xml").string()), "");
  }
}

// The schema itself catches what CI servers would misread.
TEST(JunitSchema, RefusesWhatReadersMisread) {
  const std::string good =
      R"(<testsuites><testsuite name="a.steps" tests="1" failures="0" errors="0" time="1.000" )"
      R"(timestamp="2026-12-09T06:00:00" hostname="h"><testcase name="2: click" classname="a.steps" time="0.100"/>)"
      R"(</testsuite></testsuites>)";
  fs::path dir = scratch("schema");
  auto check = [&](const std::string& from, const std::string& to) {
    std::string xml = good;
    if (!from.empty()) xml.replace(xml.find(from), from.size(), to);
    std::ofstream(dir / "x.xml") << xml;
    return plainstep::testing::junit_problems((dir / "x.xml").string());
  };
  EXPECT_EQ(check("", ""), "");
  for (auto [from, to] : std::vector<std::pair<std::string, std::string>>{
           {"06:00:00\"", "06:00:00Z\""},             // a zone in the timestamp
           {"time=\"0.100\"", "time=\"0,100\""},      // a comma
           {" classname=\"a.steps\"", ""},            // no classname
           {"/>", "><skipped/><failure/></testcase>"},  // two outcomes
           {"hostname=\"h\"", ""}}) {
    EXPECT_NE(check(from, to), "") << "accepted with " << to;
  }
}

// A report that cannot be written (the disk fills up) leaves the one before
// it whole, and says so.
TEST(JunitWrite, AFailedWriteKeepsThePreviousReportAndSaysSo) {
  fs::path dir = scratch("keep");
  {
    ReporterSet set(settings(dir, {"junit"}));
    feed(set);
  }
  auto before = read(dir / "junit.xml");
  pid_t child = fork();
  if (child == 0) {  // a disk that takes no more than 200 bytes per file
    signal(SIGXFSZ, SIG_IGN);
    rlimit lim{200, 200};
    setrlimit(RLIMIT_FSIZE, &lim);
    ReporterSet set(settings(dir, {"junit"}));
    feed(set, false);
    auto problems = set.run_finished(1, false);
    _exit(problems.size() == 1 && problems[0].find("cannot write the JUnit report") != std::string::npos ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the failed write was not reported";
  EXPECT_EQ(read(dir / "junit.xml"), before);
}

// ---- the terminal ----------------------------------------------------------------------

std::string terminal_of(const std::string& name, bool tty = false) {
  std::ostringstream out;
  ReporterSettings s = settings(::testing::TempDir(), {name}, &out);
  s.terminal = tty;
  ReporterSet set(s);
  feed(set);
  return out.str();
}

TEST(Terminal, DotShowsACharacterPerStepThenTheFailures) {
  std::string out = terminal_of("dot");
  // checkout twice (3 steps each), login (2), later (1)
  EXPECT_TRUE(out.starts_with("\u00b7F\u00b0\u00b7\u00b7\u00b7F\u00b0\u00b7\n\n")) << out;
  EXPECT_NE(out.find("== tests/login.steps  (https://shop.example/login)\n"
                     "  1  click <b>Logn</b> & go  FAIL  0.12s\n"
                     "       found no 'Logn' within 5000 ms (click, lexical)\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("      shared/sign-in.steps:2  click Log in  FAIL"), std::string::npos) << out;
  EXPECT_NE(out.find("could not open https://shop.example/ in the browser"), std::string::npos) << out;
  EXPECT_EQ(out.find("click Add to cart  PASS"), std::string::npos) << "passing steps are dots";
}

TEST(Terminal, LineCountsFilesAndShowsFailuresInFull) {
  std::string plain = terminal_of("line");
  EXPECT_NE(plain.find("[1/5] tests/shop/checkout.steps  flaky  4.50s\n"), std::string::npos) << plain;
  EXPECT_NE(plain.find("[4/5] tests/broken.steps  error  0.40s\n"), std::string::npos) << plain;
  EXPECT_NE(plain.find("       found no 'Logn' within 5000 ms"), std::string::npos) << plain;
  EXPECT_EQ(plain.find('\r'), std::string::npos) << "a log is not redrawn";
  std::string tty = terminal_of("line", true);
  EXPECT_NE(tty.find("\r\x1b[2K[0/5] tests/shop/checkout.steps  1  click Add to cart"), std::string::npos) << tty;
  EXPECT_TRUE(tty.ends_with("\r\x1b[2K")) << "the progress line is left on the screen";
}

}  // namespace
