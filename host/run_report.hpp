#pragma once
// What a run shows: one line per step as it finishes, the failure details,
// the summary. The reports that write files are in reporters/.
#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "records/records.hpp"

namespace plainstep::host {

enum class StepStatus { pass, fail, skip };

struct StepReport {
  int number = 0;               // 1-based, counting steps, not lines
  int line = 0;                 // line in the step file
  std::string text;             // the step as written
  StepStatus status = StepStatus::skip;
  double seconds = 0;
  std::string outcome;          // what it resolved to, or the extracted value
  std::vector<std::string> details;  // failure: what was looked for, what was found
  // A step of a shared step file (run FILE): how deep, and where it stands
  // ("login.steps:3"); its own steps, for a run step.
  int depth = 0;
  std::string where{};
  std::vector<StepReport> nested{};
  // What the step settled on, for the reports that show why: the route
  // that chose it ("spatial, then lexical"; "" when it read no page), the
  // element, and for a failure the closest candidates, in the order its
  // details name them. Their texts are masked like the step's.
  std::string route{};
  ElementRef element{};
  Elements candidates{};
  // The step's screenshot and page snapshot, relative to the report folder.
  std::string screenshot{}, snapshot{};
};

// One run of a file's steps. A failing file that is retried runs again in
// a fresh browser context: each run is an attempt of its own.
struct FileAttempt {
  std::vector<StepReport> steps;
  std::optional<std::string> error;  // the attempt could not run, or the browser died under it
  double seconds = 0;
  std::chrono::system_clock::time_point started{};
  bool stopped = false;  // cut short: the run was being stopped
  std::optional<std::string> trace{};  // its trace, relative to the report folder

  bool passed() const;
  const StepReport* first_failure() const;
  std::string failure_message() const;
};

// How a file of a run ended.
enum class FileStatus {
  passed,
  flaky,    // failed, then passed on a retry
  failed,
  not_run,  // never started (failure limit, stopped run) or stopped while running
  invalid,  // the path itself: missing, unreadable, no step files, wording, no start address
  skipped,  // nothing to run: no steps
};

const char* file_status_word(FileStatus s);

struct FileReport {
  std::string path;
  std::string url;
  std::vector<StepReport> steps;     // of the last attempt
  std::optional<std::string> error;  // the file could not run at all (browser failed, ...), or what
                                     // is wrong with the path when invalid
  double seconds = 0;                // of the last attempt
  std::chrono::system_clock::time_point started{};  // when the last attempt started
  std::vector<std::string> tags{};   // its "# tags:" line
  std::vector<FileAttempt> retried{};  // the failed attempts before the last one, oldest first
  bool invalid = false;
  std::optional<std::string> not_run{};  // why it did not run, or was stopped
  std::optional<std::string> skipped{};  // why there was nothing to run
  std::string rel{};                     // its path below the run's common folder, as reports name it
  std::optional<std::string> trace{};    // the last attempt's trace, relative to the report folder

  FileStatus status() const;
  // Passed, on the first attempt or a retry.
  bool passed() const;
  bool flaky() const { return status() == FileStatus::flaky; }
  const StepReport* first_failure() const;
  std::string failure_message() const;
  // The last attempt alone.
  FileAttempt attempt() const;
};

// 'button "Login" at (120, 340)': tag, text (shortened), top-left corner.
std::string describe_element(const Element& e);

// "  3  click Login  PASS  0.21s  button "Login" at (120, 340)" plus the
// indented detail lines of a failure. A step of a shared file is indented
// under the step that ran it and named by its place ("login.steps:3").
// A text as a terminal may show it: control characters (escape sequences
// included) written as \x1b, \n and the like, broken UTF-8 as U+FFFD.
std::string terminal_safe(std::string_view s);
// A text as XML 1.0 allows it: a forbidden control character shows as its
// picture (\x01 as U+2401), broken UTF-8 and U+FFFE/U+FFFF as U+FFFD.
std::string xml_safe(std::string_view s);

void print_step(std::ostream& out, const StepReport& step);

// The line a run step shows when it starts, before its own steps.
void print_step_start(std::ostream& out, const StepReport& step);

// A step as a whole: a run step's start, its steps and its own line.
void print_step_block(std::ostream& out, const StepReport& step);

// "N passed, N failed" alone on its line (then ", N flaky", ", N not run",
// ", N skipped", ", N errors" when there are any), then the total time.
void print_summary(std::ostream& out, const std::vector<FileReport>& files, double seconds);

// One line for each file that did not simply pass, in the order given:
// "failed   PATH: message", "flaky    PATH: ...", "not run  PATH: why",
// "skipped  PATH: why", "error    PATH: what is wrong with it".
void print_outcomes(std::ostream& out, const std::vector<FileReport>& files);

// Seconds since `start`, for step and file times.
double seconds_since(std::chrono::steady_clock::time_point start);

const char* status_word(StepStatus s);

}  // namespace plainstep::host
