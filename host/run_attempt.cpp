#include "run_attempt.hpp"

#include <filesystem>

#include "driver/errors.hpp"

namespace plainstep::host {

namespace {

constexpr const char* _STOPPED = "stopped: the run was stopped";
constexpr const char* _BROWSER_DIED =
    "the browser closed or crashed while this file ran; a new browser runs the files after it";

StepReport _skipped(const StepLine& line, size_t index) {
  StepReport s;
  s.number = static_cast<int>(index + 1);
  s.line = line.line;
  s.text = line.text;
  s.status = StepStatus::skip;
  return s;
}

void _skip_rest(FileAttempt& a, const StepFile& file, size_t from, const AttemptHooks& hooks) {
  for (size_t i = from; i < file.steps.size(); ++i) {
    a.steps.push_back(_skipped(file.steps[i], i));
    if (hooks.step_done) hooks.step_done(a.steps.back());
  }
}

// Whether an error opening a context says the browser (or its driver) is
// gone, rather than that the page cannot be loaded.
bool _browser_gone(const std::exception& e, const SessionKeeper& keeper) {
  if (dynamic_cast<const pw::ConnectionError*>(&e)) return true;
  std::string m = e.what();
  return !keeper.browser_alive() || m.find("has been closed") != std::string::npos ||
         m.find("Target closed") != std::string::npos;
}

// A fresh context at the file's start address. A browser that died since
// the file before (its death not yet noticed) is replaced once.
void _open(SessionKeeper& keeper, const std::string& url) {
  try {
    keeper.open_context(url);
  } catch (const std::exception& e) {
    if (!_browser_gone(e, keeper)) throw;
    keeper.close();
    keeper.open_context(url);
  }
}

}  // namespace

FileAttempt run_attempt(SessionKeeper& keeper, const ReadyFile& rf, const RunSettings& settings,
                        const CaptureSettings& capture_settings, const std::string& rel, int attempt,
                        const AttemptHooks& hooks) {
  auto start = Clock::now();
  FileAttempt a;
  a.started = std::chrono::system_clock::now();
  auto note = [&](const std::string& line) {
    if (hooks.note) hooks.note(line);
  };
  AttemptCapture capture(capture_settings, keeper, rel, attempt, rf.file.path);
  // The trace starts on the fresh context before its page loads.
  keeper.before_load = [&](pw::BrowserContext& context) { capture.context_opened(context); };
  struct Unhook {
    SessionKeeper& k;
    ~Unhook() { k.before_load = nullptr; }
  } unhook{keeper};
  // What the attempt leaves (its trace) is kept while its context is open.
  auto keep = [&] {
    auto left = capture.finish(a.passed() && !a.stopped);
    a.trace = left.trace;
    for (const auto& n : left.notes) note("  (" + n + ")");
    if (a.trace && capture_settings.report_folder)
      note("  trace: " + (std::filesystem::path(*capture_settings.report_folder) / *a.trace).string());
  };
  try {
    _open(keeper, rf.url);
  } catch (const std::exception& e) {
    if (hooks.stopping && hooks.stopping()) {
      a.stopped = true;
      return a;
    }
    a.error = "could not open " + rf.url + " in the browser: " + std::string(e.what());
    note("  " + *a.error);
    _skip_rest(a, rf.file, 0, hooks);
    keep();
    try {
      keeper.close();  // the next file gets a new browser
    } catch (...) {
    }
    a.seconds = seconds_since(start);
    return a;
  }
  if (hooks.opened) hooks.opened();
  StepRunner runner(keeper, settings);
  runner.set_source(rf.file.path);
  // The steps of a shared file show as they finish, under the run step.
  runner.on_run_started = [&](const StepReport& s) {
    if (hooks.run_step_started) hooks.run_step_started(s);
  };
  runner.on_nested_done = [&](StepReport& s) {
    capture.step_finished(s, runner);
    if (hooks.step_done) hooks.step_done(s);
  };
  runner.on_note = note;
  for (size_t i = 0; i < rf.file.steps.size(); ++i) {
    const StepLine& line = rf.file.steps[i];
    StepReport s;
    capture.step_starts(line.text, line.line);
    try {
      s = runner.run(static_cast<int>(i + 1), line.line, line.text);
    } catch (const std::exception& e) {  // the driver or browser is gone
      s = _skipped(line, i);
      s.status = StepStatus::fail;
      std::string why = e.what();
      s.details.push_back(why.starts_with("the browser stopped answering") ? why
                                                                            : "the browser stopped answering: " + why);
    }
    if (hooks.stopping && hooks.stopping()) {
      // What failed once the run was being stopped failed for that.
      if (s.status == StepStatus::fail) {
        s.status = StepStatus::skip;
        s.details.clear();
        s.outcome = _STOPPED;
      }
      a.steps.push_back(s);
      if (hooks.step_done) hooks.step_done(s);
      a.stopped = true;
      break;
    }
    capture.step_finished(s, runner);
    a.steps.push_back(s);
    if (hooks.step_done) hooks.step_done(s);
    if (s.status == StepStatus::fail) {
      _skip_rest(a, rf.file, i + 1, hooks);
      break;
    }
  }
  if (!keeper.browser_alive() && !(hooks.stopping && hooks.stopping())) {
    a.error = _BROWSER_DIED;
    note(std::string("  ") + _BROWSER_DIED);
  }
  keep();
  try {
    keeper.close_context();
  } catch (const std::exception& e) {
    note("  (closing the browser context failed: " + std::string(e.what()) + ")");
    try {
      keeper.close();
    } catch (...) {
    }
  }
  a.seconds = seconds_since(start);
  return a;
}

}  // namespace plainstep::host
