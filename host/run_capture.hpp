#pragma once
// What one attempt of a step file leaves behind for its reports: the
// screenshot and page snapshot of a failed step (of every step with
// --screenshots on), the failure artifacts of --artifacts, and the
// Playwright trace of --trace.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "run_step.hpp"

namespace pw {
class BrowserContext;
class Tracing;
}  // namespace pw

namespace plainstep::host {

enum class ScreenshotMode { off, failures, on };
enum class TraceMode { off, on, retain_on_failure };

// "on", "failures", "off" / "on", "retain-on-failure", "off"; throws
// std::invalid_argument naming the flag and the word otherwise.
ScreenshotMode screenshot_mode(const std::string& word);
TraceMode trace_mode(const std::string& word);

struct CaptureSettings {
  ScreenshotMode screenshots = ScreenshotMode::failures;
  TraceMode trace = TraceMode::off;
  // The report folder: screenshots and snapshots go under artifacts/ when
  // a report shows them, traces under traces/.
  std::optional<std::string> report_folder{};
  bool report_artifacts = false;
  std::optional<std::string> artifacts{};  // --artifacts DIR: framed screenshots of failures
};

// Used by the thread that runs the attempt, on its session.
class AttemptCapture {
 public:
  // `rel` names the file in the report folder (see common_folder);
  // `source` is the step file, which the trace names for each step.
  AttemptCapture(const CaptureSettings& settings, SessionKeeper& keeper, std::string rel, int attempt,
                 std::string source);
  ~AttemptCapture();

  // The session's context is open, its page not loaded yet: the trace starts.
  void context_opened(pw::BrowserContext& context);
  // A step of the file starts: the trace groups what follows under its text.
  void step_starts(const std::string& text, int line);
  // A step has finished (a shared file's too, before the step that ran it):
  // its screenshot and snapshot are saved and named in `step`, and with
  // --artifacts, "artifact: PATH" lines are added to its details.
  void step_finished(StepReport& step, StepRunner& runner);
  // What the attempt left once it ended: its trace, relative to the report
  // folder, and what did not go as it should ("no trace saved: ...").
  struct Left {
    std::optional<std::string> trace{};
    std::vector<std::string> notes{};
  };
  // The attempt has ended: its trace is saved (or dropped, for a passing
  // attempt with retain-on-failure).
  Left finish(bool passed);

 private:
  std::string _in_report(const std::string& name) const;
  void _screenshot(StepReport& step, StepRunner& runner, const std::string& base);
  void _trace_failed(const std::exception& e);

  const CaptureSettings& settings_;
  SessionKeeper& keeper_;
  std::string rel_;
  int attempt_;
  std::string source_;
  int listed_ = 0;  // steps finished so far: a step's number in the reports
  bool group_open_ = false;
  std::shared_ptr<pw::Tracing> tracing_;
  std::optional<std::string> trace_problem_;
};

// Makes DIR ready for this run's reports. A folder plainstep wrote before
// (it holds the marker file) loses the last run's reports, screenshots and
// traces; any other folder keeps what it holds. Returns why the folder
// cannot be used, or nothing.
std::optional<std::string> prepare_report_folder(const std::string& dir);

}  // namespace plainstep::host
