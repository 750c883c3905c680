#include <gtest/gtest.h>

#include <sstream>

#include "run_closest.hpp"
#include "run_report.hpp"

using namespace plainstep;
using namespace plainstep::host;

namespace {

ElementRef el(const char* tag, const char* text, AttributeMap attrs = {}) {
  Element e;
  e.tag = tag;
  e.text = text;
  e.attributes = std::move(attrs);
  e.bounding_box = Box{120.4, 339.6, 80, 30};
  return make_element(e);
}

TEST(Report, DescribesAnElementByTagTextAndPosition) {
  EXPECT_EQ(describe_element(*el("button", "Login")), "button 'Login' at (120, 340)");
  EXPECT_EQ(describe_element(*el("input", "", {{"id", "email"}, {"_label", "Email"}})),
            "input [_label=Email] at (120, 340)");
  // An icon-only control by the icon it shows, before its markup.
  EXPECT_EQ(describe_element(*el("a", "", {{"id", "navbarDropdown"}, {"_icon", "user"}})),
            "a [_icon=user] at (120, 340)");
  auto long_text = describe_element(*el("p", "one two three four five six seven eight nine ten"));
  EXPECT_NE(long_text.find("..."), std::string::npos);
}

TEST(Report, StepLineAndSummary) {
  StepReport pass{1, 2, "click Login", StepStatus::pass, 0.214, "button 'Login' at (1, 2)", {}};
  StepReport fail{2, 3, "click Logout", StepStatus::fail, 5.0, "", {"looked for: 'Logout'"}};
  StepReport skip{3, 4, "accept dialog", StepStatus::skip, 0, "", {}};
  std::ostringstream o;
  for (auto* s : {&pass, &fail, &skip}) print_step(o, *s);
  EXPECT_EQ(o.str(),
            "  1  click Login  PASS  0.21s  button 'Login' at (1, 2)\n"
            "  2  click Logout  FAIL  5.00s\n"
            "       looked for: 'Logout'\n"
            "  3  accept dialog  SKIP\n");

  FileReport good{"a.steps", "u", {pass}, std::nullopt, 1};
  FileReport bad{"b.steps", "u", {pass, fail, skip}, std::nullopt, 6};
  FileReport broken{"c.steps", "u", {}, std::string("browser failed"), 0};
  std::ostringstream sum;
  print_summary(sum, {good, bad, broken}, 7.5);
  EXPECT_EQ(sum.str(), "1 passed, 2 failed\ntotal 7.50s\n");
  EXPECT_EQ(bad.failure_message(), "step 2 (line 3) failed: click Logout: looked for: 'Logout'");
}

// Step and page texts can hold anything: the terminal never gets a raw
// control character, XML never one it forbids, and both say where one was.
TEST(Report, ControlCharactersShownNotObeyed) {
  struct Case {
    std::string in, terminal, xml;
  };
  for (const Case& c : {
           Case{"plain \xc3\xa9t\xc3\xa9", "plain \xc3\xa9t\xc3\xa9", "plain \xc3\xa9t\xc3\xa9"},
           Case{"a\x01" "b", "a\\x01b", "a\xe2\x90\x81" "b"},  // U+2401
           Case{"\x1b[2Jcleared", "\\x1b[2Jcleared", "\xe2\x90\x9b[2Jcleared"},
           Case{"two\nlines", "two\\nlines", "two\nlines"},
           Case{"tab\tkept", "tab\tkept", "tab\tkept"},
           Case{"c1 \xc2\x9b here", "c1 \\x9b here", "c1 \xc2\x9b here"},
           Case{"cut \xe2\x82", "cut \xef\xbf\xbd\xef\xbf\xbd", "cut \xef\xbf\xbd\xef\xbf\xbd"},
           Case{"\xef\xbf\xbe", "\xef\xbf\xbe", "\xef\xbf\xbd"},
       }) {
    EXPECT_EQ(terminal_safe(c.in), c.terminal) << c.in;
    EXPECT_EQ(xml_safe(c.in), c.xml) << c.in;
  }
  StepReport s{1, 2, "click \x1b[31mRed", StepStatus::fail, 0.1, "", {"page said \x07"}};
  std::ostringstream o;
  print_step(o, s);
  EXPECT_EQ(o.str().find('\x1b'), std::string::npos) << o.str();
  EXPECT_EQ(o.str().find('\x07'), std::string::npos) << o.str();
}

// One file of each outcome, in path order, for the summary.
std::vector<FileReport> every_outcome() {
  StepReport pass{1, 2, "click Login", StepStatus::pass, 0.1, "", {}};
  StepReport fail{1, 2, "click Login", StepStatus::fail, 5.0, "", {"found no 'Login'"}};
  FileReport passed{"a.steps", "u", {pass}, std::nullopt, 1};
  FileReport flaky{"b.steps", "u", {pass}, std::nullopt, 1};
  flaky.retried.push_back(FileAttempt{{fail}, std::nullopt, 5, {}});
  FileReport failed{"c.steps", "u", {fail}, std::nullopt, 5};
  failed.retried.push_back(FileAttempt{{}, std::string("could not open u in the browser: gone"), 1, {}});
  FileReport not_run{"d.steps", "u", {}, std::nullopt, 0};
  not_run.not_run = "not run: 1 file failed, as many as the run allows (max failures)";
  FileReport invalid{"e.steps", "", {}, std::string("e.steps:3: Unknown action 'clik'.\ne.steps:4: more"), 0};
  invalid.invalid = true;
  FileReport stopped{"f.steps", "u", {pass}, std::nullopt, 1};
  stopped.not_run = "stopped while running: the run was interrupted (SIGINT)";
  return {passed, flaky, failed, not_run, invalid, stopped};
}

TEST(Report, EachFileHasOneOutcome) {
  auto files = every_outcome();
  std::vector<FileStatus> want{FileStatus::passed, FileStatus::flaky,   FileStatus::failed,
                               FileStatus::not_run, FileStatus::invalid, FileStatus::not_run};
  for (size_t i = 0; i < files.size(); ++i) EXPECT_EQ(files[i].status(), want[i]) << files[i].path;
  EXPECT_TRUE(files[1].passed());
  EXPECT_FALSE(files[3].passed()) << "a file not run did not pass";
  EXPECT_FALSE(files[5].passed()) << "a stopped file did not pass, whatever its steps say";
}

TEST(Report, SummaryCountsAndListsWhatDidNotSimplyPass) {
  auto files = every_outcome();
  std::ostringstream sum;
  print_summary(sum, files, 12);
  EXPECT_EQ(sum.str(), "1 passed, 1 failed, 1 flaky, 2 not run, 1 error\ntotal 12.00s\n");
  std::ostringstream list;
  print_outcomes(list, files);
  EXPECT_EQ(list.str(),
            "flaky    b.steps: passed on attempt 2 after step 1 (line 2) failed: click Login: found no 'Login'\n"
            "failed   c.steps: step 1 (line 2) failed: click Login: found no 'Login'\n"
            "not run  d.steps: not run: 1 file failed, as many as the run allows (max failures)\n"
            "error    e.steps:3: Unknown action 'clik'. (and 1 more)\n"
            "not run  f.steps: stopped while running: the run was interrupted (SIGINT)\n");
}

TEST(Closest, SharedWordsThenSpelling) {
  Elements els{el("button", "Register"), el("button", "Log in"), el("a", "Logout help"),
               el("input", "", {{"placeholder", "Login name"}})};
  Elements texts{el("p", "Welcome"), el("span", "")};
  auto got = closest_candidates("Login", els, texts, 3);
  // "Register", "Logout help" and "Welcome" neither share a word nor come close
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], els[3]);  // shares the word "login"
  EXPECT_EQ(got[1], els[1]);  // "log in" is one edit away
  EXPECT_EQ(closest_candidates("Welcome, Ada", els, texts, 3).size(), 0u);
  EXPECT_EQ(closest_candidates("Welcom", els, texts, 3), Elements{texts[0]});
  EXPECT_EQ(closest_candidates("x", {}, {}).size(), 0u);
  EXPECT_EQ(edit_distance("Kitten", "sitting"), 3u);
}

}  // namespace
