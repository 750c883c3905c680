#pragma once
// Carrying out the steps of one step file in an open browser session:
// parse, read the page, resolve (retrying until the timeout), act, report.
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "agent/step_reader/step_reader.hpp"
#include "browser/session_keeper/session_keeper.hpp"
#include "records/records.hpp"
#include "run_report.hpp"
#include "run_resolve.hpp"

namespace plainstep::host {

struct RunSettings {
  int timeout_ms = 5000;                 // auto-wait for targets, checks, dialogs, actions
  std::optional<std::string> artifacts;  // folder for failure screenshots and snapshots
};

using Clock = std::chrono::steady_clock;

// The last page state a step read and what it settled on, for failure
// reports and artifacts.
struct StepEvidence {
  std::optional<std::string> url;
  Elements elements;
  Elements text_elements;
  std::optional<RoutedResult> routed;
  ElementRef outline;  // the chosen or expected element
  std::string wanted;  // what the step looked for, in the user's words
};

class StepRunner {
 public:
  StepRunner(SessionKeeper& keeper, const RunSettings& settings)
      : keeper_(keeper), settings_(settings) {}

  // Runs one step and reports it; never throws for a failing step.
  StepReport run(int number, int line, const std::string& step);

  const StepEvidence& evidence() const { return evidence_; }

  // Called with the chosen element just before the step acts on it (or,
  // for checks, once it settled); explain takes its screenshot there.
  std::function<void(const ElementRef&)> before_act;

 private:
  void _run_parsed(const ParsedInstruction& p, const std::string& step, StepReport& r,
                   Clock::time_point deadline);
  // Reads the page and resolves until the step's target is found and, for
  // a check, holds; throws _StepFailure when the deadline passes first.
  RoutedResult _resolve_waiting(const ParsedInstruction& p, const std::string& step,
                                Clock::time_point deadline);
  std::shared_ptr<pw::Dialog> _wait_for_dialog(Clock::time_point deadline);
  void _refuse_if_dialog_open(const std::string& what);
  void _act(const ParsedInstruction& p, const ElementRef& el, StepReport& r,
            Clock::time_point deadline);
  void _select(const ParsedInstruction& p, const ElementRef& el, const std::string& step,
               StepReport& r, Clock::time_point deadline);
  void _pause(int ms);
  // Bounds driver actions by the step's deadline until the guard goes.
  std::shared_ptr<void> _action_timeout(Clock::time_point deadline);
  // The element at the record's path, in frames and shadow trees too;
  // nullptr when nothing stands there any more.
  std::shared_ptr<pw::ElementHandle> _locate(const ElementRef& el);
  // What a click or hover on `h` must reach instead (see _STAND_IN), with
  // `how` saying what it is; nullptr when `h` takes it itself.
  std::shared_ptr<pw::ElementHandle> _stand_in(pw::ElementHandle& h, std::string& how);
  // A driver action that may open a dialog (a click on "Empty cart"): the
  // page stops until the dialog is answered, so the action counts as done
  // once the dialog is up; its answer arrives after the dialog step.
  void _call_watching_dialog(const std::string& guid, const std::string& method,
                             const json& params, Clock::time_point deadline);

  SessionKeeper& keeper_;
  RunSettings settings_;
  StepReader reader_;
  StepEvidence evidence_;
};

// Saves a PNG of the page with `evidence.outline` framed, and the page's
// snapshot, as DIR/<stem>-step<N>.png and .json. Returns the paths written;
// a failure to write is returned as a message, never thrown.
std::vector<std::string> save_artifacts(SessionKeeper& keeper, const StepEvidence& evidence,
                                        const std::string& dir, const std::string& stem,
                                        int step_number);

// A PNG of the page with `outline` framed (when it has a box). Returns false,
// with the reason in `error`, when no screenshot could be taken.
bool framed_screenshot(SessionKeeper& keeper, const ElementRef& outline, const std::string& path,
                       std::string* error = nullptr);

// A thrown failure of one step: the message and the detail lines.
struct StepFailure {
  std::string message;
  std::vector<std::string> details;
};

}  // namespace plainstep::host
