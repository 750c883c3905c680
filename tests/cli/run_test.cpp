// plainstep run end to end: the example step files against the demo shop,
// failing files, wording issues, auto-wait, JUnit and failure artifacts, in
// real headless Chromium. Each run is shared by the checks that read it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "support/run_cli.hpp"

using plainstep::testing::CliResult;
using plainstep::testing::has_line;
using plainstep::testing::lines_of;
using plainstep::testing::names_element;
using plainstep::testing::run_cli;
namespace fs = std::filesystem;

namespace cli_run_test {

const fs::path ROOT = plainstep::testing::repo_root();
const std::string FIX = "tests/fixtures/run/";

// The report line of the step written `step`, or "" when there is none.
std::string step_line(const CliResult& r, const std::string& step) {
  for (const auto& l : lines_of(r.out))
    if (l.find("  " + step + "  ") != std::string::npos) return l;
  return "";
}

// The lines that follow the report line of `step`, up to the next step.
std::vector<std::string> details_of(const CliResult& r, const std::string& step) {
  std::vector<std::string> out;
  bool in = false;
  for (const auto& l : lines_of(r.out)) {
    if (in && l.rfind("       ", 0) != 0) break;
    if (in) out.push_back(l);
    if (l.find("  " + step + "  ") != std::string::npos) in = true;
  }
  return out;
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

std::string scratch(const std::string& name) {
  fs::path p = fs::path(::testing::TempDir()) / ("plainstep-run-" + name);
  fs::remove_all(p);
  return p.string();
}

// ---- the examples, run once --------------------------------------------

// One run of the examples folder on two workers, shared by the checks
// below. examples/shared holds steps other files run, not tests.
struct ExampleRun {
  std::string junit = scratch("examples.xml");
  std::vector<std::string> files;
  CliResult result;
  ExampleRun() {
    for (const auto& e : fs::directory_iterator(ROOT / "examples"))
      if (e.path().extension() == ".steps") files.push_back("examples/" + e.path().filename().string());
    std::sort(files.begin(), files.end());
    result = run_cli({"run", "--workers", "2", "--junit", junit, "examples"}, "", {"PLAINSTEP_HEADLESS=true"},
                     ROOT.string());
  }
  ~ExampleRun() { fs::remove(junit); }
};

const ExampleRun& examples() {
  static ExampleRun run;
  return run;
}

class Examples : public ::testing::Test {
 protected:
  void SetUp() override {
    run_ = &examples().result;
    junit_ = &examples().junit;
    files_ = examples().files;
  }
  const CliResult* run_ = nullptr;
  const std::string* junit_ = nullptr;
  std::vector<std::string> files_;
};

TEST_F(Examples, EveryFileAndEveryStepPasses) {
  ASSERT_EQ(run_->status, 0) << run_->out << run_->err;
  ASSERT_GE(files_.size(), 4u);
  EXPECT_TRUE(has_line(*run_, std::to_string(files_.size()) + " passed, 0 failed")) << run_->out;
  size_t passed = 0;
  for (const auto& l : lines_of(run_->out)) {
    EXPECT_EQ(l.find("  FAIL  "), std::string::npos) << l;
    EXPECT_EQ(l.find("  SKIP"), std::string::npos) << l;
    // the steps of shared files show indented under their run step
    if (l.find("  PASS  ") != std::string::npos && l.rfind("      ", 0) != 0) ++passed;
  }
  size_t steps = 0;
  for (const auto& f : files_) steps += steps_of(ROOT / f).size();
  EXPECT_EQ(passed, steps) << run_->out;
}

// A PASS must name the element a person would pick, not merely some element.
struct Chosen {
  const char* step;
  const char* shows;  // what the PASS line names
};

class ExampleChoices : public Examples, public ::testing::WithParamInterface<Chosen> {};

TEST_P(ExampleChoices, PassLineNamesTheIntendedElement) {
  const auto& c = GetParam();
  std::string line = step_line(*run_, c.step);
  ASSERT_NE(line, "") << "no report line for " << c.step << "\n" << run_->out;
  EXPECT_NE(line.find("  PASS  "), std::string::npos) << line;
  EXPECT_TRUE(names_element(line, c.shows)) << c.shows << "\n" << line;
}

INSTANTIATE_TEST_SUITE_P(
    Demo, ExampleChoices,
    ::testing::Values(
        // the caption's row, not the Email field in the row above it
        Chosen{"type secret into the field right of Password", "into input [aria-label=Password] at (160, 165)"},
        Chosen{"type Ada Lovelace into Full name", "input [_label=Full name]"},
        Chosen{"type Analytical Engines into the Company field", "input [_label=Company]"},
        // a checkbox by its label
        Chosen{"click I accept the terms", "input [_label=I accept the terms]"},
        Chosen{"click Add to cart below Coffee beans", "button 'Add to cart' at (321, 194)"},
        Chosen{"click the button under Cheddar cheese", "button 'Add to cart' at (605, 194)"},
        Chosen{"click the 2nd Add to cart btn", "button 'Add to cart' at (321, 194)"},
        Chosen{"click the third button", "button 'Add to cart' at (605, 194)"},
        Chosen{"click fifth button", "button 'Add to cart' at (321, 342)"},
        // "under" inside a word is no relation; the grid answers the relation
        Chosen{"click Add to cart below Thunderbird mug", "button 'Add to cart' at (37, 342)"},
        Chosen{"verify the button below Olive oil is disabled", "button 'Sold out'"},
        Chosen{"click the button left of Checkout", "button 'Empty cart'"},
        Chosen{"click the button next to Empty cart", "button 'Checkout'"},
        Chosen{"verify dialog says Empty the cart?", "confirm 'Empty the cart?' (still open)"},
        Chosen{"extract text right of Total", "extracted '12.50'"},
        Chosen{"select Morning from Delivery slot", "chose button 'Morning'"},
        Chosen{"type Leave it at the door into the Note field", "into div [aria-label=Note]"},
        Chosen{"click the link near Your order", "a 'Products'"},
        Chosen{"hover Help", "span 'Help'"},
        Chosen{"verify text Welcome, Ada is present", "p 'Welcome, Ada'"},
        // the grown forms
        Chosen{"check the checkbox near Buy milk", "checked input [_label=Buy milk] at (379, 216)"},
        Chosen{"verify the checkbox near Buy bread is not checked", "input [_label=Buy bread] at (379, 275) not checked"},
        Chosen{"double click Buy bread", "double-clicked div 'Buy bread'"},
        Chosen{"click Delete", "button [aria-label=Delete]"},
        Chosen{"verify count of Buy is 2", "counted 2 of 'Buy'"},
        Chosen{"uncheck the checkbox near Buy oat milk", "was unchecked already"},
        Chosen{"uncheck Send me the newsletter", "input [_label=Send me the newsletter]"},
        Chosen{"remember text right of Order number as ORDER", "remembered 'PS-20417' as ORDER"},
        Chosen{"type ${ORDER} into Delivery notes", "typed 'PS-20417' into textarea [_label=Delivery notes]"},
        Chosen{"upload files/receipt.txt to Receipt", "uploaded 'receipt.txt' to input [_label=Receipt]"},
        Chosen{"right click 1 Analytical Way", "right-clicked span '1 Analytical Way'"},
        Chosen{"switch to new tab", "now on tab 2 of 2"},
        Chosen{"close tab", "closed the tab; now on tab 1 of 1"},
        Chosen{"drag Green tea to Packed", "dragged div 'Green tea'"}),
    [](const auto& info) { return "step" + std::to_string(info.index); });

TEST_F(Examples, DelayedContentIsFoundByWaitingForIt) {
  std::string line = step_line(*run_, "verify text right of Arrives is Tomorrow");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(line, m, std::regex(R"(PASS  (\d+\.\d+)s)"))) << line;
  // the details arrive 1.5 s after the click before it
  EXPECT_GE(std::stod(m[1]), 1.0) << line;
  EXPECT_LT(std::stod(m[1]), 5.0) << line;
}

TEST_F(Examples, JUnitHasOneSuitePerFileAndNoFailure) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file(junit_->c_str())) << *junit_;
  auto suites = doc.child("testsuites");
  EXPECT_EQ(suites.attribute("failures").as_int(), 0);
  std::vector<std::string> names;
  for (auto suite : suites.children("testsuite")) {
    names.push_back(suite.attribute("name").value());
    std::set<std::string> cases;
    for (auto tc : suite.children("testcase")) {
      cases.insert(tc.attribute("name").value());
      EXPECT_EQ(tc.attribute("classname").value(), names.back());
      EXPECT_FALSE(tc.child("failure")) << tc.attribute("name").value();
    }
    EXPECT_EQ(suite.attribute("tests").as_uint(), cases.size()) << names.back();
    // every step of the file is a testcase "LINE: step" (a shared file's
    // steps are more testcases, named by their place)
    std::ifstream in(ROOT / names.back());
    auto steps = steps_of(ROOT / names.back());
    size_t line_no = 0, next = 0;
    for (std::string l; std::getline(in, l);) {
      ++line_no;
      if (next < steps.size() && l.find(steps[next]) != std::string::npos &&
          l.find_first_not_of(" \t") == l.find(steps[next])) {
        EXPECT_TRUE(cases.count(std::to_string(line_no) + ": " + steps[next])) << names.back() << ":" << line_no;
        ++next;
      }
    }
    EXPECT_EQ(next, steps.size()) << names.back();
  }
  EXPECT_EQ(names, files_);
}

// ---- failing files, run once -------------------------------------------

// One run of two failing files and a passing one, shared likewise.
struct FailingRun {
  std::string junit = scratch("failing.xml");
  std::string artifacts = scratch("artifacts");
  CliResult result;
  FailingRun() {
    result = run_cli({"run", "--timeout", TIMEOUT, "--junit", junit, "--artifacts", artifacts,
                      FIX + "missing.steps", FIX + "delayed.steps", FIX + "passing.steps"},
                     "", {}, ROOT.string());
  }
  ~FailingRun() {
    fs::remove(junit);
    fs::remove_all(artifacts);
  }
  // Room for a loaded machine to read the page and click; far less than
  // the 8 s the delayed details take.
  static constexpr const char* TIMEOUT = "2500";
};

const FailingRun& failing() {
  static FailingRun run;
  return run;
}

class Failing : public ::testing::Test {
 protected:
  void SetUp() override {
    run_ = &failing().result;
    junit_ = &failing().junit;
    artifacts_ = &failing().artifacts;
  }
  const CliResult* run_ = nullptr;
  const std::string* junit_ = nullptr;
  const std::string* artifacts_ = nullptr;
};

TEST_F(Failing, ExitsOneAndTheOtherFilesStillRun) {
  EXPECT_EQ(run_->status, 1) << run_->out << run_->err;
  EXPECT_TRUE(has_line(*run_, "1 passed, 2 failed")) << run_->out;
  EXPECT_NE(step_line(*run_, "type ada@example.com into the Email field").find("  PASS  "),
            std::string::npos)
      << run_->out;
}

TEST_F(Failing, SaysWhatWasLookedForAndWhatCameClose) {
  EXPECT_NE(step_line(*run_, "click Add to cart below Coffee beans").find("  PASS  "), std::string::npos);
  EXPECT_NE(step_line(*run_, "click Add to basket").find("  FAIL  "), std::string::npos) << run_->out;
  auto d = details_of(*run_, "click Add to basket");
  ASSERT_GE(d.size(), 3u) << run_->out;
  EXPECT_NE(d[0].find("found no 'Add to basket' within 2500 ms"), std::string::npos) << d[0];
  // A loaded machine may add how long reading took before the candidates.
  auto at = std::find_if(d.begin(), d.end(),
                         [](const std::string& l) { return l.find("closest candidates:") != std::string::npos; });
  ASSERT_NE(at, d.end()) << run_->out;
  ASSERT_NE(at + 1, d.end()) << run_->out;
  EXPECT_NE(at[1].find("button 'Add to cart'"), std::string::npos) << at[1];
}

TEST_F(Failing, StepsAfterAFailureAreSkipped) {
  for (const char* s : {"verify text right of Total is 5.50", "accept dialog", "click Save note"})
    EXPECT_TRUE(step_line(*run_, s).ends_with("  SKIP")) << s << "\n" << run_->out;
}

TEST_F(Failing, AShortTimeoutGivesUpBeforeTheDelayedContent) {
  EXPECT_NE(step_line(*run_, "click Track parcel").find("  PASS  "), std::string::npos);
  std::string line = step_line(*run_, "verify text right of Arrives is Tomorrow");
  EXPECT_NE(line.find("  FAIL  "), std::string::npos) << run_->out;
  auto d = details_of(*run_, "verify text right of Arrives is Tomorrow");
  ASSERT_FALSE(d.empty());
  EXPECT_NE(d[0].find("right of Arrives reading 'Tomorrow' within 2500 ms"), std::string::npos) << d[0];
}

TEST_F(Failing, JUnitCarriesTheFailureMessages) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file(junit_->c_str())) << *junit_;
  auto suites = doc.child("testsuites");
  EXPECT_EQ(suites.attribute("failures").as_int(), 2);
  auto missing = suites.find_child_by_attribute("testsuite", "name", (FIX + "missing.steps").c_str());
  ASSERT_TRUE(missing);
  auto tc = missing.find_child_by_attribute("testcase", "name", "5: click Add to basket");
  ASSERT_TRUE(tc);
  std::string message = tc.child("failure").attribute("message").value();
  EXPECT_EQ(message.find("found no 'Add to basket' within 2500 ms"), 0u) << message;
  EXPECT_TRUE(missing.find_child_by_attribute("testcase", "name", "7: accept dialog").child("skipped"));
  EXPECT_NE(std::string(missing.child_value("system-out")).find("accept dialog  SKIP"), std::string::npos);
  auto ok = suites.find_child_by_attribute("testsuite", "name", (FIX + "passing.steps").c_str());
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok.attribute("failures").as_int(), 0);
}

TEST_F(Failing, ArtifactsHoldAScreenshotAndTheSnapshot) {
  // named by the file's path under the run's common folder, and the attempt
  const fs::path dir = fs::path(*artifacts_) / "missing.steps";
  std::ifstream png(dir / "1-step2.png", std::ios::binary);
  char magic[8] = {};
  png.read(magic, 8);
  EXPECT_EQ(std::string(magic + 1, 3), "PNG") << "no PNG at " << (dir / "1-step2.png");
  std::ifstream snap(dir / "1-step2.json");
  ASSERT_TRUE(snap) << "no snapshot in " << dir;
  auto j = nlohmann::json::parse(snap);
  ASSERT_TRUE(j.contains("elements"));
  bool has_add_to_cart = false;
  for (const auto& e : j["elements"]) has_add_to_cart |= e.value("text", "") == "Add to cart";
  EXPECT_TRUE(has_add_to_cart);
  EXPECT_NE(step_line(*run_, "click Add to basket"), "");
  EXPECT_NE(run_->out.find("artifact: " + (dir / "1-step2.png").string()), std::string::npos);
}

// ---- real-page patterns, run once ----------------------------------------

const std::string ACT = "tests/fixtures/act/";

// The act fixtures: controls drawn over by their labels or helpers, fields
// named as a person reads them, a name standing twice, dialog messages.
struct ActRun {
  std::vector<std::string> passing{ACT + "controls.steps", ACT + "icheck.steps",
                                   ACT + "forms.steps", ACT + "people.steps", ACT + "dialogs.steps",
                                   ACT + "typing.steps", ACT + "boxes.steps"};
  CliResult result;
  ActRun() {
    std::vector<std::string> args{"run", "--timeout", "4000"};
    args.insert(args.end(), passing.begin(), passing.end());
    args.push_back(ACT + "dialog_mismatch.steps");
    result = run_cli(args, "", {}, ROOT.string());
  }
};

const ActRun& act() {
  static ActRun run;
  return run;
}

TEST(Act, EveryStepOfThePassingFilesPasses) {
  const CliResult& r = act().result;
  EXPECT_EQ(r.status, 1) << r.out << r.err;  // the mismatching dialog check
  EXPECT_TRUE(has_line(r, std::to_string(act().passing.size()) + " passed, 1 failed")) << r.out;
  for (const auto& file : act().passing)
    for (const auto& s : steps_of(ROOT / file)) {
      std::string line = step_line(r, s);
      EXPECT_NE(line.find("  PASS  "), std::string::npos) << file << ": " << s << "\n" << r.out;
    }
}

struct Reached {
  const char* step;
  const char* shows;
};

class ActChoices : public ::testing::TestWithParam<Reached> {};

TEST_P(ActChoices, ReachesWhatAPersonWould) {
  std::string line = step_line(act().result, GetParam().step);
  EXPECT_NE(line.find("  PASS  "), std::string::npos) << line << "\n" << act().result.out;
  EXPECT_TRUE(names_element(line, GetParam().shows)) << GetParam().shows << "\n" << line;
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ActChoices,
    ::testing::Values(
        // the label draws the box over the real input: clicked through it
        Reached{"click Check this custom checkbox",
                "input [_label=Check this custom checkbox] at (44, 112) through its label"},
        Reached{"click Collect in store", "input [_label=Collect in store]"},
        // a transparent helper covers the checkbox: clicked where it stands
        Reached{"click I agree to the terms", "input [_label=I agree to the terms]"},
        Reached{"click I agree to the terms", "through the ins drawn over it"},
        Reached{"click \"Dropdown menu\"", "button 'Dropdown menu"},
        Reached{"type Ada into \"Example textarea\"", "into textarea [_label=Example textarea]"},
        Reached{"type hello into Text", "into input [_label=Text]"},
        Reached{"select Large from Select", "selected 'Large' in select 'Small Large'"},
        Reached{"type tea into Search", "into input [_label=Search:]"},
        Reached{"click Active", "input [_label=Active]"},
        Reached{"verify text right of Alexander Pierce is Admin", "td 'Admin'"},
        Reached{"extract text right of Alexander Pierce", "extracted 'Admin'"},
        Reached{"verify dialog says Saved.", "alert 'Saved.\\nYour changes"},
        Reached{"uncheck Check this custom checkbox", "through its label"},
        Reached{"verify dialog says Delete the draft? This cannot be undone.", "(still open)"}),
    [](const auto& info) { return "step" + std::to_string(info.index); });

TEST(Act, ADialogThatSaysSomethingElseFails) {
  const CliResult& r = act().result;
  EXPECT_NE(step_line(r, "verify dialog says Saved as a draft").find("  FAIL  "), std::string::npos)
      << r.out;
  auto d = details_of(r, "verify dialog says Saved as a draft");
  ASSERT_FALSE(d.empty()) << r.out;
  EXPECT_NE(d[0].find("the dialog says 'Saved.\\nYour changes are   live on the site.', which does "
                      "not contain 'Saved as a draft'"),
            std::string::npos)
      << d[0];
}

// ---- input errors: no browser ------------------------------------------

TEST(RunInput, WordingIssuesAreToldBeforeAnyBrowserStartsAndTheOtherFilesRun) {
  // A browser that cannot start would fail the run with 1; the wording is
  // reported first, so it never gets that far.
  auto r = run_cli({"run", FIX + "wording.steps", FIX + "no_url.steps"}, "",
                   {"PLAINSTEP_CHROMIUM=/nonexistent/chromium"}, ROOT.string());
  EXPECT_EQ(r.status, 2) << r.out << r.err;
  EXPECT_NE(r.err.find(FIX + "wording.steps:5: Unknown action 'clik'"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(FIX + "wording.steps:6: `wait` value must be a number"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(FIX + "no_url.steps: no start address"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("=="), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("could not open"), std::string::npos) << r.out;

  // with a file of good wording among them, that file still runs, and the
  // run still ends with 2 for the others
  auto mixed = run_cli({"run", FIX + "wording.steps", FIX + "passing.steps"}, "", {}, ROOT.string());
  EXPECT_EQ(mixed.status, 2) << mixed.out << mixed.err;
  EXPECT_NE(mixed.err.find(FIX + "wording.steps:5: Unknown action 'clik'"), std::string::npos) << mixed.err;
  EXPECT_NE(step_line(mixed, "type ada@example.com into the Email field").find("  PASS  "), std::string::npos)
      << mixed.out;
  EXPECT_TRUE(has_line(mixed, "1 passed, 0 failed, 1 error")) << mixed.out;

  // the same missing browser with well-worded files: the session fails
  auto opened = run_cli({"run", FIX + "passing.steps"}, "",
                        {"PLAINSTEP_CHROMIUM=/nonexistent/chromium"}, ROOT.string());
  EXPECT_EQ(opened.status, 1) << opened.out << opened.err;
  EXPECT_NE(opened.out.find("could not open"), std::string::npos) << opened.out;
}

TEST(RunInput, UsageErrorsExitTwo) {
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const std::vector<Case> cases = {
      {{"run", FIX + "no_url.steps"}, "no_url.steps: no start address"},
      {{"run", FIX + "no-such-file.steps"}, "no-such-file.steps"},
      {{"run", "--timeout", "0", FIX + "passing.steps"}, "--timeout"},
      {{"run", "--viewport", "wide", FIX + "passing.steps"}, "WIDTHxHEIGHT"},
  };
  for (const auto& c : cases) {
    auto r = run_cli(c.args, "", {"PLAINSTEP_CHROMIUM=/nonexistent/chromium"}, ROOT.string());
    EXPECT_EQ(r.status, 2) << c.args.back() << "\n" << r.out << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
  }
}

TEST(RunInput, HelpListsEveryFlagWithItsVariable) {
  auto r = run_cli({"run", "--help"});
  EXPECT_EQ(r.status, 0);
  for (const char* s : {"--url", "--browser", "--headed", "--maximized", "--viewport", "--timeout",
                        "--snapshots", "--junit", "--artifacts", "--no-check", "--reporter", "--output",
                        "--screenshots", "--trace", "PLAINSTEP_REPORTER", "PLAINSTEP_OUTPUT",
                        "PLAINSTEP_SCREENSHOTS", "PLAINSTEP_TRACE", "PLAINSTEP_URL",
                        "PLAINSTEP_BROWSER", "PLAINSTEP_HEADLESS", "PLAINSTEP_MAXIMIZED",
                        "PLAINSTEP_VIEWPORT", "PLAINSTEP_TIMEOUT", "PLAINSTEP_SNAPSHOTS",
                        "PLAINSTEP_JUNIT", "PLAINSTEP_ARTIFACTS", "PLAINSTEP_NO_CHECK", "--workers",
                        "--shard", "--retries", "--max-failures", "--grep", "--tag", "--config",
                        "PLAINSTEP_WORKERS", "PLAINSTEP_SHARD", "PLAINSTEP_RETRIES", "PLAINSTEP_MAX_FAILURES",
                        "PLAINSTEP_CONFIG", "plainstep.toml", "130 on Ctrl-C"})
    EXPECT_NE(r.out.find(s), std::string::npos) << s;
  // how the settings' sources rank
  EXPECT_NE(r.out.find("a flag overrides its environment variable, a variable overrides plainstep.toml"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("the file overrides the defaults"), std::string::npos) << r.out;
}

}  // namespace cli_run_test
