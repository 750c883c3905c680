// What a run shows on the terminal, fed events as workers would: a file's
// lines together when files run side by side, as they come when one runs
// at a time, errors of paths on the error stream, the progress line.
#include <gtest/gtest.h>

#include <sstream>

#include "run_console.hpp"

using namespace plainstep::host;

namespace {

FileReport file(const char* path) {
  FileReport f;
  f.path = path;
  f.url = "file:///site.html";
  return f;
}

StepReport step(int n, StepStatus status) {
  return StepReport{n, n + 1, "click Step " + std::to_string(n), status, 0.5, "", {}};
}

// Two files whose events interleave, as two workers give them, then an
// invalid path told before the run.
void feed(SuiteEvents e, FileReport& a, FileReport& b, FileReport& bad) {
  e.planned({a, b, bad});
  e.file_done(bad);
  e.attempt_started(a);
  e.attempt_started(b);
  e.step_done(a, step(1, StepStatus::pass));
  e.step_done(b, step(1, StepStatus::fail));
  e.note(b, "  [DOM snapshot saved \u2192 logs/x.json]");
  b.steps = {step(1, StepStatus::fail)};
  e.file_done(b);
  e.step_done(a, step(2, StepStatus::pass));
  a.steps = {step(1, StepStatus::pass), step(2, StepStatus::pass)};
  e.file_done(a);
}

struct Files {
  FileReport a = file("a.steps"), b = file("b.steps"), bad = file("c.steps");
  Files() {
    bad.invalid = true;
    bad.error = "c.steps:2: Unknown action 'clik'.\nc.steps:3: another";
  }
  SuiteReport report() const { return SuiteReport{{a, b, bad}, 3.0, std::nullopt}; }
};

TEST(Console, SideBySideEachFilesLinesComeTogetherWhenItEnds) {
  std::ostringstream out, err;
  Files f;
  ConsoleReport console(out, err, false, false, 0);
  feed(console.events(), f.a, f.b, f.bad);
  console.finish(f.report());
  EXPECT_EQ(out.str(),
            "== b.steps  (file:///site.html)\n"
            "  1  click Step 1  FAIL  0.50s\n"
            "  [DOM snapshot saved \u2192 logs/x.json]\n"
            "== a.steps  (file:///site.html)\n"
            "  1  click Step 1  PASS  0.50s\n"
            "  2  click Step 2  PASS  0.50s\n"
            "\n"
            "failed   b.steps: step 1 (line 2) failed: click Step 1\n"
            "error    c.steps:2: Unknown action 'clik'. (and 1 more)\n"
            "1 passed, 1 failed, 1 error\n"
            "total 3.00s\n");
  EXPECT_EQ(err.str(), "c.steps:2: Unknown action 'clik'.\nc.steps:3: another\n");
}

TEST(Console, OneAtATimeLinesComeAsTheyHappen) {
  std::ostringstream out, err;
  FileReport a = file("a.steps");
  ConsoleReport console(out, err, true, false, 2);
  SuiteEvents e = console.events();
  e.attempt_started(a);
  e.step_done(a, step(1, StepStatus::fail));
  EXPECT_EQ(out.str(), "== a.steps  (file:///site.html)\n  1  click Step 1  FAIL  0.50s\n");
  a.retried.push_back(FileAttempt{{step(1, StepStatus::fail)}, std::nullopt, 0.5, {}});
  e.attempt_started(a);
  EXPECT_NE(out.str().find("== a.steps  (file:///site.html)  retry 1 of 2\n"), std::string::npos) << out.str();
  e.step_done(a, step(1, StepStatus::pass));
  a.steps = {step(1, StepStatus::pass)};
  e.file_done(a);
  console.finish(SuiteReport{{a}, 2.0, std::nullopt});
  // a flaky file is listed even when files ran one at a time
  EXPECT_NE(out.str().find("\nflaky    a.steps: passed on attempt 2 after step 1 (line 2) failed: click Step 1\n"
                           "0 passed, 0 failed, 1 flaky\n"),
            std::string::npos)
      << out.str();
}

TEST(Console, OnATerminalAProgressLineStaysAtTheBottom) {
  std::ostringstream out, err;
  Files f;
  ConsoleReport console(out, err, false, true, 0);
  feed(console.events(), f.a, f.b, f.bad);
  std::string before = out.str();
  // redrawn in place after every file, erased before anything is printed
  EXPECT_NE(before.find("\r\033[K1/3 files done: 0 passed, 0 failed  0:00"), std::string::npos) << before;
  EXPECT_NE(before.find("\r\033[K2/3 files done: 0 passed, 1 failed  0:00"), std::string::npos) << before;
  EXPECT_NE(before.find("\r\033[K== a.steps"), std::string::npos) << before;
  EXPECT_TRUE(before.ends_with("3/3 files done: 1 passed, 1 failed  0:00")) << before;
  console.finish(f.report());
  std::string after = out.str().substr(before.size());
  EXPECT_EQ(after.rfind("\r\033[K\n", 0), 0u) << "the progress line is cleared first";
  EXPECT_TRUE(after.ends_with("total 3.00s\n")) << after;
}

}  // namespace
