#pragma once
// Carrying out the steps of one step file in an open browser session:
// parse, read the page, resolve (retrying until the timeout), act, report.
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "agent/step_reader/step_reader.hpp"
#include "browser/session_keeper/session_keeper.hpp"
#include "records/records.hpp"
#include "run_report.hpp"
#include "run_resolve.hpp"
#include "run_variables.hpp"

namespace plainstep::host {

struct RunSettings {
  int timeout_ms = 5000;                 // auto-wait for targets, checks, dialogs, actions
  std::optional<std::string> artifacts;  // folder for failure screenshots and snapshots
  std::optional<std::string> base_url{};  // what relative go to addresses are taken from
  std::map<std::string, std::string> vars{};  // --var NAME=VALUE
  std::set<std::string> masked{};             // --mask NAME
  // A snapshot of every page read goes to this folder. The harvester must
  // not write its own meanwhile (settings::SAVE_SNAPSHOTS off).
  std::optional<std::string> snapshots{};
};

using Clock = std::chrono::steady_clock;

// What is left of a step's time, never below zero.
int remaining_ms(Clock::time_point deadline);
// A driver message's first line, trimmed: the rest is its call log.
std::string first_line(const std::string& message);
// Whether a parsed step is the given action.
bool is_action(const ParsedInstruction& p, Action a);

// The last page state a step read and what it settled on, for failure
// reports and artifacts.
struct StepEvidence {
  std::optional<std::string> url;
  Elements elements;
  Elements text_elements;
  std::optional<RoutedResult> routed;
  ElementRef outline;  // the chosen or expected element
  std::string wanted;  // what the step looked for, in the user's words
  Elements candidates{};  // a failure's closest candidates, as its details list them
  std::string route{};    // the route a failure names, when it names one
};

// Adds to the report of a finished step what it settled on: its route,
// its element and a failure's candidates (see StepReport), their texts
// masked. A run step keeps none: its own steps carry theirs.
void note_choice(StepReport& r, const StepEvidence& evidence, const Variables& variables);

struct StepFailure;

class StepRunner {
 public:
  StepRunner(SessionKeeper& keeper, const RunSettings& settings)
      : keeper_(keeper), settings_(settings) {}

  // Runs one step and reports it; never throws for a failing step.
  StepReport run(int number, int line, const std::string& step);

  // The step file the steps come from: go to, upload and run take relative
  // paths from its folder.
  void set_source(const std::string& path);

  // The run's variables: what remember text stored, --var, secrets.
  Variables& variables() { return variables_; }

  // A run step (run FILE) starts its steps; one of them has finished. The
  // top-level steps are reported by the caller.
  std::function<void(const StepReport&)> on_run_started;
  // The nested step may still be added to (its screenshot) before it is kept.
  std::function<void(StepReport&)> on_nested_done;

  const StepEvidence& evidence() const { return evidence_; }

  // A line that is no step's report ("[DOM snapshot saved -> ...]"); when
  // unset, such lines go to standard output.
  std::function<void(const std::string&)> on_note;

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

  // The grown forms that do not go the way of a target and an action:
  // page and live checks, addresses, tabs, drag and shared steps. False
  // for every other step.
  bool _run_grown(const ParsedInstruction& p, const std::string& step, StepReport& r,
                  Clock::time_point deadline);
  // Double and right clicks, check and uncheck, clear, upload, scroll to:
  // true when `p` is one of them, which it then carries out on `el`.
  bool _act_more(const ParsedInstruction& p, const ElementRef& el, StepReport& r,
                 Clock::time_point deadline);
  void _check_page(const ParsedInstruction& p, StepReport& r, Clock::time_point deadline);
  void _check_live(const ParsedInstruction& p, const std::string& step, StepReport& r,
                   Clock::time_point deadline);
  void _go_to(const ParsedInstruction& p, StepReport& r, Clock::time_point deadline);
  void _tab(const ParsedInstruction& p, StepReport& r, Clock::time_point deadline);
  void _drag(const ParsedInstruction& p, const std::string& step, StepReport& r,
             Clock::time_point deadline);
  void _run_steps(const ParsedInstruction& p, StepReport& r);
  void _check_box(const ParsedInstruction& p, const ElementRef& el, pw::ElementHandle& h,
                  StepReport& r, Clock::time_point deadline);
  // An address as go to and verify url read it: as written when it has a
  // scheme, else from --base-url, else a file from the step file's folder.
  std::string _address(const std::string& written);
  // The page's records, as the harvester reads them; with secrets about,
  // their snapshot is written masked.
  std::pair<Elements, Elements> _read_page(const std::shared_ptr<pw::Page>& page);
  void _mask(StepReport& r) const;
  void _note_current_page();
  // Bounds driver actions by the step's deadline (or, when reading ate it,
  // by the action's fair share) until the guard goes.
  std::shared_ptr<void> _action_timeout(Clock::time_point deadline);
  // Adds to a failure the frames of other origins the step could not see into.
  void _name_unreadable_frames(StepFailure& f);
  // The least time an action gets, however long reading the page took:
  // a read's worth, at most a quarter of the timeout.
  int _action_share_ms() const;
  // Until the guard goes: a driver call unanswered at `answer_by` (when
  // given) stops the session as stuck; with `dialogs`, a dialog the page
  // opens ends the wait with pw::Interrupted.
  std::shared_ptr<void> _watch(std::optional<Clock::time_point> answer_by, bool dialogs);
  // When a read that starts now must have answered.
  Clock::time_point _read_bound(Clock::time_point deadline) const;
  // The element at the record's path, in frames and shadow trees too;
  // nullptr when nothing stands there any more.
  std::shared_ptr<pw::ElementHandle> _locate(const ElementRef& el);
  // What a click or hover on `h` must reach instead (see _STAND_IN), with
  // `how` saying what it is; nullptr when `h` takes it itself.
  std::shared_ptr<pw::ElementHandle> _stand_in(pw::ElementHandle& h, std::string& how);
  // Brings the pointer to the element before a click; throws _Gone when
  // that made the page leave for another document.
  void _point_at(pw::ElementHandle& h, Clock::time_point deadline);
  // A driver action that may open a dialog (a click on "Empty cart"): the
  // page stops until the dialog is answered, so the action counts as done
  // once the dialog is up; its answer arrives after the dialog step.
  void _call_watching_dialog(const std::string& guid, const std::string& method,
                             const json& params, Clock::time_point deadline);

  SessionKeeper& keeper_;
  RunSettings settings_;
  StepReader reader_;
  StepEvidence evidence_;
  int slowest_read_ms_ = 0;  // of this session: how long a read of this page may take
  long step_read_ms_ = 0;    // reading time of the running step
  int step_reads_ = 0;
  std::string snapshot_warning_;  // a snapshot of this step that could not be saved
  Variables variables_{settings_.vars, settings_.masked};
  // The step file being run, as reports name it, and how deep in run steps.
  std::string source_path_, source_label_;
  int depth_ = 0;
  std::vector<std::string> running_;                // step files being run, for cycles
  std::vector<std::weak_ptr<pw::Page>> visited_;    // tabs made current, oldest first
};

// Saves the page's snapshot as BASE.json and a PNG of the page as
// BASE.png, with the closest candidates framed and numbered as the step's
// details list them, else `evidence.outline` framed. Returns the paths
// written; a failure to write is returned as a message, never thrown.
// With `variables`, their secret values are masked in the snapshot.
std::vector<std::string> save_artifacts(SessionKeeper& keeper, const StepEvidence& evidence,
                                        const std::string& base, const Variables* variables = nullptr);

// The records of the page as the step last read it, as JSON at `path`
// (masked with `variables`). False when the step read no page, or, with
// the reason in `error`, when it cannot be written.
bool save_snapshot(const StepEvidence& evidence, const std::string& path, const Variables* variables,
                   std::string* error = nullptr);

// A box to frame on a screenshot, with its number ("" for none).
struct Outline {
  Box box;
  std::string label;
};

// A PNG of the viewport with each outline framed. Returns false, with the
// reason in `error`, when no screenshot could be taken.
bool outlined_screenshot(SessionKeeper& keeper, const std::vector<Outline>& outlines, const std::string& path,
                         std::string* error = nullptr);

// The same with `outline` framed (when it has a box).
bool framed_screenshot(SessionKeeper& keeper, const ElementRef& outline, const std::string& path,
                       std::string* error = nullptr);

// The element left the page between reading and acting: read again.
struct _Gone {};

// A thrown failure of one step: the message and the detail lines.
struct StepFailure {
  std::string message;
  std::vector<std::string> details;
};

}  // namespace plainstep::host
