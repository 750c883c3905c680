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

struct FileReport {
  std::string path;
  std::string url;
  std::vector<StepReport> steps;
  std::optional<std::string> error;  // the file could not run at all (browser failed, ...)
  double seconds = 0;

  bool passed() const;
  const StepReport* first_failure() const;
  std::string failure_message() const;
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

// "N passed, N failed" alone on its line, then the total time.
void print_summary(std::ostream& out, const std::vector<FileReport>& files, double seconds);

// Seconds since `start`, for step and file times.
double seconds_since(std::chrono::steady_clock::time_point start);

const char* status_word(StepStatus s);

}  // namespace plainstep::host
