// The reports of a real run, end to end: a passing file, a failing one of
// the same name in another folder, a flaky one and a file with nothing to
// run, reported as list, JSON, JUnit and HTML, with traces of the failures.
// The HTML report is then opened from disk in headless Chromium through
// plainstep's own driver and read as a tester would.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "driver/fixture_server.hpp"
#include "driver/pw.hpp"
#include "support/junit_schema.hpp"
#include "support/png_size.hpp"
#include "support/run_cli.hpp"
#include "support/zip_names.hpp"

using plainstep::testing::CliResult;
using plainstep::testing::FixtureServer;
using plainstep::testing::png_size;
using plainstep::testing::run_cli;
using plainstep::testing::run_program;
namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace cli_report_test {

const fs::path ROOT = plainstep::testing::repo_root();
const std::string FIX = "tests/fixtures/report/";

std::string read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Serves the suite fixtures' site, saying "Please come back later" the first
// time it is asked for ready.html: a file that opens it fails once.
struct FlakySite {
  std::atomic<int> asked{0};
  FixtureServer server{(ROOT / "tests/fixtures/suite/site").string(),
                       [this](const std::string& path) -> std::optional<std::string> {
                         if (path != "/ready.html" || asked++ > 0) return std::nullopt;
                         return "<!doctype html><title>Ready</title><p>Please come back later</p>";
                       }};
  std::string base() const { return server.url("").substr(0, server.url("").size() - 1); }
};

// One run of a passing, a failing, a flaky and a skipped file, one retry.
struct ReportRun {
  fs::path dir = fs::path(::testing::TempDir()) / "plainstep-report-run";
  fs::path out = dir / "report";
  FlakySite site;
  CliResult result;
  Json doc;
  ReportRun() {
    fs::remove_all(dir);
    fs::create_directories(dir);
    result = run_cli({"run", "--workers", "1", "--retries", "1", "--timeout", "2500", "--reporter",
                      "list,json,junit,html", "--trace", "retain-on-failure", "--output", out.string(),
                      "--base-url", site.base(), FIX + "account/login.steps", FIX + "shop/login.steps",
                      FIX + "flaky.steps", FIX + "empty.steps"},
                     "", {}, ROOT.string());
    try {
      doc = Json::parse(read(out / "report.json"));
    } catch (const std::exception&) {
      // the checks below say what is missing
    }
  }
  ~ReportRun() { fs::remove_all(dir); }
  const Json& file(const std::string& path) const {
    for (const auto& f : doc["files"])
      if (f["path"] == path) return f;
    static const Json none;
    return none;
  }
  // The failing step of the failing file's last attempt, as the report opens it.
  const Json& failed_step() const { return file("shop/login.steps")["attempts"][1]["steps"][1]; }
};

const ReportRun& report() {
  static ReportRun run;
  return run;
}

TEST(ReportRun, TheTerminalSaysWhereTheReportsAre) {
  const CliResult& r = report().result;
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("skipped  " + FIX + "empty.steps: it has no steps to run"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 passed, 1 failed, 1 flaky, 1 skipped\n"), std::string::npos) << r.out;
  for (const char* line : {"HTML report: ", "JSON report: ", "JUnit report: "})
    EXPECT_NE(r.out.find(line + report().out.string()), std::string::npos) << r.out;
  for (const char* trace : {"traces/shop/login.steps-1.zip", "traces/shop/login.steps-2.zip", "traces/flaky.steps-1.zip"})
    EXPECT_NE(r.out.find("  trace: " + (report().out / trace).string()), std::string::npos) << trace << "\n" << r.out;
}

TEST(ReportRun, TheJsonDocumentMatchesTheRun) {
  const ReportRun& run = report();
  ASSERT_TRUE(run.doc.is_object()) << run.result.out << run.result.err;
  EXPECT_EQ(run.doc["root"], (ROOT / "tests/fixtures/report").string());
  EXPECT_EQ(run.doc["interrupted"], false);
  EXPECT_EQ(run.doc["options"]["retries"], 1);
  for (const char* outcome : {"passed", "failed", "flaky", "skipped"}) EXPECT_EQ(run.doc["counts"][outcome], 1) << outcome;
  EXPECT_EQ(run.file("account/login.steps")["status"], "passed");
  EXPECT_EQ(run.file("empty.steps")["status"], "skipped");
  EXPECT_EQ(run.file("empty.steps")["attempts"].size(), 0u);
  // the flaky file: its first attempt failed on the page the server gave first
  const Json& flaky = run.file("flaky.steps");
  EXPECT_EQ(flaky["status"], "flaky");
  ASSERT_EQ(flaky["attempts"].size(), 2u);
  EXPECT_EQ(flaky["attempts"][0]["status"], "failed");
  EXPECT_EQ(flaky["attempts"][0]["trace"], "traces/flaky.steps-1.zip");
  EXPECT_EQ(flaky["attempts"][1]["status"], "passed");
  EXPECT_EQ(flaky["attempts"][1]["trace"], nullptr);
  const Json& failed = run.file("shop/login.steps");
  EXPECT_EQ(failed["status"], "failed");
  EXPECT_EQ(failed["url"], "file://" + (ROOT / "examples/site/shop.html").string());
  ASSERT_EQ(failed["attempts"].size(), 2u) << "a retry of the failing file";
  const Json& steps = failed["attempts"][1]["steps"];
  ASSERT_EQ(steps.size(), 3u);
  std::vector<std::string> statuses;
  for (const auto& s : steps) statuses.push_back(s["status"]);
  EXPECT_EQ(statuses, (std::vector<std::string>{"passed", "failed", "skipped"}));
  EXPECT_EQ(steps[0]["route"], "spatial");
  EXPECT_EQ(steps[0]["element"]["tag"], "button");
  EXPECT_EQ(steps[0]["element"]["text"], "Add to cart");
  EXPECT_EQ(steps[0]["screenshot"], nullptr) << "a passing step has no screenshot unless asked";
  const Json& s = run.failed_step();
  EXPECT_EQ(s["line"], 6);
  EXPECT_EQ(s["message"], "found no 'Add to basket' within 2500 ms (click, lexical, then field labels)");
  EXPECT_EQ(s["route"], "lexical, then field labels");
  // the candidates are those the terminal listed, in its order
  ASSERT_FALSE(s["candidates"].empty());
  const std::string& out = run.result.out;
  size_t at = out.find("closest candidates:");
  ASSERT_NE(at, std::string::npos) << out;
  for (const auto& c : s["candidates"]) {
    size_t next = out.find("         " + c["description"].get<std::string>() + "\n", at);
    EXPECT_NE(next, std::string::npos) << c["description"] << "\n" << out;
    at = next;
    EXPECT_EQ(c["text"], "Add to cart");
  }
}

TEST(ReportRun, AFailedStepHasItsScreenshotAndSnapshotUnderItsFilesOwnPath) {
  const ReportRun& run = report();
  const Json& s = run.failed_step();
  ASSERT_TRUE(s["screenshot"].is_string()) << s.dump(2);
  EXPECT_EQ(s["screenshot"], "artifacts/shop/login.steps/2-step2.png");
  EXPECT_EQ(run.file("shop/login.steps")["attempts"][0]["steps"][1]["screenshot"],
            "artifacts/shop/login.steps/1-step2.png") << "each attempt keeps its own";
  EXPECT_EQ(png_size(read(run.out / s["screenshot"].get<std::string>())), std::make_pair(1280, 720));
  Json snapshot = Json::parse(read(run.out / s["snapshot"].get<std::string>()));
  EXPECT_FALSE(snapshot["elements"].empty());
  // the passing file of the same name left nothing that could collide
  EXPECT_FALSE(fs::exists(run.out / "artifacts/account"));
  EXPECT_EQ(run.file("account/login.steps")["attempts"][0]["trace"], nullptr) << "retain-on-failure keeps it";
  EXPECT_FALSE(fs::exists(run.out / "traces/account"));
}

TEST(ReportRun, TheJunitFileValidatesAndAgreesWithTheJson) {
  const ReportRun& run = report();
  const fs::path xml = run.out / "junit.xml";
  EXPECT_EQ(plainstep::testing::junit_problems(xml.string()), "");
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file(xml.c_str()));
  std::vector<std::string> suites;
  for (auto suite : doc.child("testsuites").children("testsuite")) suites.push_back(suite.attribute("name").value());
  EXPECT_EQ(suites, (std::vector<std::string>{FIX + "account/login.steps", FIX + "shop/login.steps",
                                              FIX + "flaky.steps", FIX + "empty.steps"}));
  auto shop = doc.child("testsuites").find_child_by_attribute("testsuite", "name", (FIX + "shop/login.steps").c_str());
  auto failed = shop.find_child_by_attribute("testcase", "name", "6: click Add to basket");
  ASSERT_TRUE(failed) << "no testcase for the failing step";
  EXPECT_EQ(failed.child("failure").attribute("message").value(), run.failed_step()["message"].get<std::string>());
  // every attachment named is there
  std::regex attachment(R"(\[\[ATTACHMENT\|([^\]]+)\]\])");
  std::string all = failed.child_value("system-out") + std::string(shop.child_value("system-out"));
  size_t found = 0;
  for (std::sregex_iterator it(all.begin(), all.end(), attachment), end; it != end; ++it, ++found)
    EXPECT_TRUE(fs::exists((*it)[1].str())) << (*it)[1];
  EXPECT_EQ(found, 4u) << all;  // the last attempt's screenshot and snapshot, both attempts' traces
}

TEST(ReportRun, TheTraceOfTheFailureHoldsItsStepsAndOpensInPlaywrightsTraceTools) {
  const ReportRun& run = report();
  const fs::path zip = run.out / "traces/shop/login.steps-1.zip";
  auto names = plainstep::testing::zip_entry_names(read(zip));
  EXPECT_NE(std::find(names.begin(), names.end(), "trace.trace"), names.end()) << zip;
  EXPECT_TRUE(std::any_of(names.begin(), names.end(),
                          [](const std::string& n) { return n.starts_with("screencast/") && n.ends_with(".jpeg"); }))
      << ::testing::PrintToString(names);
  // Playwright's own trace tools read it: each step shows as its text.
  const fs::path cwd = run.dir / "trace-tools";
  fs::create_directories(cwd);
  const std::string cli = (ROOT / "node_modules/playwright-core/cli.js").string();
  CliResult opened = run_program({"node", cli, "trace", "open", zip.string()}, "", {}, cwd.string());
  ASSERT_EQ(opened.status, 0) << opened.out << opened.err;
  CliResult actions = run_program({"node", cli, "trace", "actions"}, "", {}, cwd.string());
  ASSERT_EQ(actions.status, 0) << actions.err;
  for (const char* step : {"click Add to cart below Coffee beans", "click Add to basket"})
    EXPECT_NE(actions.out.find(step), std::string::npos) << actions.out;
  EXPECT_NE(actions.out.find("Click"), std::string::npos) << "the driver's click under its step\n" << actions.out;
}

// ---- screenshots of every step, or none ------------------------------------------------

struct Shots {
  const char* name;
  const char* screenshots;
  const char* reporter;   // the terminal's, beside json
  const char* terminal;   // what it shows of the failing file
  bool passing_steps;     // a screenshot after each passing step
  bool failed_step;       // a screenshot of the failure
};

class Screenshots : public ::testing::TestWithParam<Shots> {};

TEST_P(Screenshots, FollowTheFlagAndTheFailureKeepsItsSnapshot) {
  const Shots& c = GetParam();
  const fs::path dir = fs::path(::testing::TempDir()) / ("plainstep-shots-" + std::string(c.name));
  fs::remove_all(dir);
  CliResult r = run_cli({"run", "--timeout", "2000", "--screenshots", c.screenshots, "--reporter",
                         std::string(c.reporter) + ",json", "--output", dir.string(), FIX + "shop/login.steps"},
                        "", {}, ROOT.string());
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.out.find(c.terminal), std::string::npos) << r.out;
  Json doc = Json::parse(read(dir / "report.json"));
  const Json& steps = doc["files"][0]["attempts"][0]["steps"];
  ASSERT_EQ(steps.size(), 3u);
  const Json& passed = steps[0];
  const Json& failed = steps[1];
  EXPECT_EQ(passed["screenshot"].is_string(), c.passing_steps) << passed.dump(2);
  EXPECT_EQ(failed["screenshot"].is_string(), c.failed_step) << failed.dump(2);
  EXPECT_EQ(steps[2]["screenshot"], nullptr) << "a skipped step has no picture";
  for (const Json* s : {&passed, &failed}) {
    if ((*s)["screenshot"].is_string()) {
      EXPECT_EQ(png_size(read(dir / (*s)["screenshot"].get<std::string>())), std::make_pair(1280, 720));
    }
  }
  ASSERT_TRUE(failed["snapshot"].is_string());
  EXPECT_TRUE(fs::exists(dir / failed["snapshot"].get<std::string>()));
  if (c.passing_steps) {
    // measured again after the click: the box still outlines the button in the picture
    const Json& box = passed["element"]["box"];
    ASSERT_TRUE(box.is_object()) << passed.dump(2);
    EXPECT_GT(box["width"].get<double>(), 0);
  }
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Report, Screenshots,
    ::testing::Values(Shots{"on", "on", "dot", "\u00b7F\u00b0\n", true, true},
                      Shots{"off", "off", "line", "[1/1] " "tests/fixtures/report/shop/login.steps  failed", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- an interrupted run ------------------------------------------------------------

// SIGTERM while the second of three files runs: it is stopped at once, and
// every report is written with the first file passed and the others not run.
TEST(InterruptedRun, WritesEveryReportAndMarksTheRestNotRun) {
  const fs::path dir = fs::path(::testing::TempDir()) / "plainstep-interrupted";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string site = "url: " + (ROOT / "examples/site/index.html").string() + "\n";
  std::ofstream(dir / "a.steps") << site << "verify text Sign in is visible\n";
  std::ofstream(dir / "b.steps") << site << "wait 1000\nwait 60000\nverify text Sign in is visible\n";
  std::ofstream(dir / "c.steps") << site << "verify text Sign in is visible\n";
  bool signalled = false;
  CliResult r = run_cli({"run", "--workers", "1", "--reporter", "list,json,junit,html", "--output",
                         (dir / "report").string(), (dir / "a.steps").string(), (dir / "b.steps").string(),
                         (dir / "c.steps").string()},
                        "", {}, "", [&](pid_t pid, const std::string& out) {
                          // once the second file is in its long wait
                          if (!signalled && out.find("wait 1000  PASS") != std::string::npos) {
                            std::this_thread::sleep_for(std::chrono::milliseconds(300));
                            kill(pid, SIGTERM);
                            signalled = true;
                          }
                        });
  ASSERT_TRUE(signalled) << r.out << r.err;
  EXPECT_EQ(r.status, 143) << r.out << r.err;
  EXPECT_NE(r.out.find("1 passed, 0 failed, 2 not run"), std::string::npos) << r.out;
  Json doc = Json::parse(read(dir / "report/report.json"));
  EXPECT_EQ(doc["interrupted"], true);
  std::vector<std::string> statuses;
  for (const auto& f : doc["files"]) statuses.push_back(f["status"]);
  EXPECT_EQ(statuses, (std::vector<std::string>{"passed", "not_run", "not_run"}));
  const Json& b = doc["files"][1];
  EXPECT_NE(b["reason"].get<std::string>().find("stopped while running"), std::string::npos) << b.dump(2);
  ASSERT_EQ(b["attempts"].size(), 1u);
  EXPECT_EQ(b["attempts"][0]["steps"][0]["status"], "passed") << "the steps it ran are kept";
  EXPECT_EQ(doc["files"][2]["attempts"].size(), 0u);
  EXPECT_EQ(plainstep::testing::junit_problems((dir / "report/junit.xml").string()), "");
  EXPECT_TRUE(fs::exists(dir / "report/data.js"));
  fs::remove_all(dir);
}

// ---- the HTML report in a browser ------------------------------------------------------------

class ReportInBrowser : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const ReportRun& run = report();
    ASSERT_TRUE(run.doc.is_object());
    playwright_ = pw::sync_playwright().start();
    browser_ = playwright_->chromium()->launch({});
    page_ = browser_->new_page({pw::Viewport{1366, 900}, false});
    page_->context()->on_request([](const std::string& url) { requests_.push_back(url); });
    page_->navigate("file://" + (run.out / "index.html").string());
  }
  static void TearDownTestSuite() {
    if (playwright_) playwright_->stop();
    page_.reset();
    browser_.reset();
    playwright_.reset();
  }
  // Waits (a little) for the page to reach a state; its value as JSON.
  static pw::json until(const std::string& expression) {
    pw::json v;
    for (int i = 0; i < 50; ++i) {
      v = page_->evaluate(expression);
      if (!v.is_null() && v != false && v != pw::json::array()) break;
      page_->wait_for_timeout(100);
    }
    return v;
  }
  static std::vector<std::string> listed() {
    return until("() => [...document.querySelectorAll('.files li.file .path')].map(e => e.textContent)");
  }
  static inline std::shared_ptr<pw::Playwright> playwright_;
  static inline std::shared_ptr<pw::Browser> browser_;
  static inline std::shared_ptr<pw::Page> page_;
  static inline std::vector<std::string> requests_;
};

TEST_F(ReportInBrowser, TheSummaryCountsEveryKindOfFile) {
  pw::json counts = until(R"(() => {
    const c = {};
    for (const b of document.querySelectorAll('.counts button'))
      c[b.querySelector('.count-w').textContent.trim()] = Number(b.querySelector('.count-n').textContent);
    return Object.keys(c).length ? c : null;
  })");
  EXPECT_EQ(counts, pw::json::parse(R"({"all": 4, "passed": 1, "failed": 1, "flaky": 1, "skipped": 1,
                                        "not run": 0, "error": 0})"));
  EXPECT_EQ(listed().size(), 4u);
}

TEST_F(ReportInBrowser, FilteringToFailuresAndOpeningTheFailingFileShowsItsScreenshotAndCandidates) {
  page_->query_selector(".counts button.st-failed")->click();
  EXPECT_EQ(listed(), std::vector<std::string>{"shop/login.steps"});
  page_->query_selector(".files li.file a")->click();
  EXPECT_EQ(until("() => document.querySelector('h1.file-title')?.textContent"), "shop/login.steps");
  EXPECT_EQ(until("() => document.querySelector('.step-row[aria-current] .step-text')?.textContent"),
            "click Add to basket");
  // the screenshot loads from the folder, with the candidates outlined and numbered
  pw::json natural = until(R"(() => { const i = document.querySelector('.shot-frame img');
                                      return i && i.complete && i.naturalWidth ? [i.naturalWidth, i.naturalHeight] : null; })");
  EXPECT_EQ(natural, pw::json::array({1280, 720}));
  pw::json marks = until("() => [...document.querySelectorAll('.marks .mark')].map(m => m.dataset.mark)");
  const Json& candidates = report().failed_step()["candidates"];
  ASSERT_EQ(marks.size(), candidates.size());
  for (size_t i = 0; i < marks.size(); ++i) EXPECT_EQ(marks[i], std::to_string(i + 1));
  // the first outline stands where the candidate's box says, scaled with the picture
  pw::json placed = page_->evaluate(R"(() => {
    const img = document.querySelector('.shot-frame img').getBoundingClientRect();
    const m = document.querySelector('.marks .mark').getBoundingClientRect();
    const k = img.width / 1280;
    return [(m.left - img.left) / k, (m.top - img.top) / k, m.width / k];
  })");
  const Json& box = candidates[0]["box"];
  EXPECT_NEAR(placed[0].get<double>(), box["x"].get<double>(), 3);
  EXPECT_NEAR(placed[1].get<double>(), box["y"].get<double>(), 3);
  EXPECT_NEAR(placed[2].get<double>(), box["width"].get<double>(), 3);
  pw::json listed_candidates = until("() => [...document.querySelectorAll('.cand-list li code')].map(c => c.textContent)");
  ASSERT_EQ(listed_candidates.size(), candidates.size());
  EXPECT_EQ(listed_candidates[0], candidates[0]["description"]);
  EXPECT_EQ(until("() => document.querySelector('.snapshot a')?.getAttribute('href')"),
            "artifacts/shop/login.steps/2-step2.json");
  EXPECT_EQ(until("() => document.querySelector('.trace a')?.getAttribute('href')"), "traces/shop/login.steps-2.zip");
  // its first attempt, a tab away
  pw::json tabs = until("() => [...document.querySelectorAll('[role=tab]')].map(t => t.textContent)");
  EXPECT_EQ(tabs, pw::json::array({"attempt 1 (failed)", "attempt 2 (failed)"}));
}

TEST_F(ReportInBrowser, AFlakyFileShowsEachAttempt) {
  page_->evaluate("() => { location.hash = '#file=flaky.steps'; }");
  pw::json tabs = until("() => [...document.querySelectorAll('[role=tab]')].map(t => t.textContent)");
  EXPECT_EQ(tabs, pw::json::array({"attempt 1 (failed)", "attempt 2 (passed)"}));
}

TEST_F(ReportInBrowser, NoRequestLeftTheReportFolder) {
  const std::string folder = "file://" + report().out.string() + "/";
  ASSERT_FALSE(requests_.empty());
  for (const auto& url : requests_) EXPECT_TRUE(url.starts_with(folder)) << url;
  for (const char* name : {"index.html", "data.js", "report.js", "report.css", "artifacts/shop/login.steps/2-step2.png"})
    EXPECT_NE(std::find(requests_.begin(), requests_.end(), folder + name), requests_.end())
        << name << " was not loaded\n" << ::testing::PrintToString(requests_);
}

}  // namespace cli_report_test
