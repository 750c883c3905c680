#include "run_capture.hpp"

#include <filesystem>
#include <stdexcept>

#include "driver/browser.hpp"
#include "driver/element_handle.hpp"
#include "driver/tracing.hpp"
#include "file_write.hpp"
#include "text/text.hpp"

namespace plainstep::host {

namespace fs = std::filesystem;

namespace {

// Left behind by the reports in their folder: a folder holding it is ours
// to clear for the next run.
constexpr const char* _MARKER = ".plainstep-report";
// What a run writes into the report folder, and so clears in its own folder.
constexpr const char* _OURS[] = {"index.html", "report.css", "report.js", "data.js",
                                 "report.json", "junit.xml", "artifacts", "traces"};

std::string _first_line(const std::string& s) { return s.substr(0, s.find('\n')); }

void _make_parent(const fs::path& file) {
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  if (ec) throw std::runtime_error("cannot create " + text::quoted_literal(file.parent_path().string()) + ": " +
                                   ec.message());
}

// The element where it stands now, so that its box matches a screenshot
// taken after the step acted; no box when it has left the page.
ElementRef _as_now(SessionKeeper& keeper, const ElementRef& e) {
  if (!e || e->xpath.empty()) return e;
  Element now = *e;
  now.bounding_box.reset();
  try {
    if (auto h = keeper.get_page()->locate_path(e->xpath))
      if (auto r = h->bounding_box()) now.bounding_box = Box{r->x, r->y, r->width, r->height};
  } catch (const std::exception&) {
    // gone with the page it stood on
  }
  return make_element(std::move(now));
}

}  // namespace

ScreenshotMode screenshot_mode(const std::string& word) {
  if (word == "on") return ScreenshotMode::on;
  if (word == "failures") return ScreenshotMode::failures;
  if (word == "off") return ScreenshotMode::off;
  throw std::invalid_argument("--screenshots " + text::quoted_literal(word) + ": choose on, failures or off");
}

TraceMode trace_mode(const std::string& word) {
  if (word == "on") return TraceMode::on;
  if (word == "retain-on-failure") return TraceMode::retain_on_failure;
  if (word == "off") return TraceMode::off;
  throw std::invalid_argument("--trace " + text::quoted_literal(word) + ": choose on, retain-on-failure or off");
}

AttemptCapture::AttemptCapture(const CaptureSettings& settings, SessionKeeper& keeper, std::string rel,
                               int attempt, std::string source)
    : settings_(settings), keeper_(keeper), rel_(std::move(rel)), attempt_(attempt), source_(std::move(source)) {}

AttemptCapture::~AttemptCapture() = default;

std::string AttemptCapture::_in_report(const std::string& name) const {
  return (fs::path(*settings_.report_folder) / name).string();
}

void AttemptCapture::_trace_failed(const std::exception& e) {
  if (!trace_problem_) trace_problem_ = _first_line(e.what());
  tracing_.reset();
  group_open_ = false;
}

void AttemptCapture::context_opened(pw::BrowserContext& context) {
  if (settings_.trace == TraceMode::off || !settings_.report_folder) return;
  try {
    tracing_ = context.tracing();
    tracing_->start({true, true, rel_});
  } catch (const std::exception& e) {
    _trace_failed(e);
  }
}

void AttemptCapture::step_starts(const std::string& text, int line) {
  if (!tracing_) return;
  try {
    if (group_open_) tracing_->group_end();
    std::error_code ec;
    tracing_->group(text, fs::absolute(source_, ec).string(), line);
    group_open_ = true;
  } catch (const std::exception& e) {
    _trace_failed(e);
  }
}

void AttemptCapture::step_finished(StepReport& step, StepRunner& runner) {
  ++listed_;
  if (step.depth == 0 && group_open_) {
    try {
      tracing_->group_end();
    } catch (const std::exception& e) {
      _trace_failed(e);
    }
    group_open_ = false;
  }
  // A run step's own steps have their pictures; a skipped one has none.
  if (step.status == StepStatus::skip || !step.nested.empty()) return;
  const bool failed = step.status == StepStatus::fail;
  const std::string name = rel_ + "/" + std::to_string(attempt_) + "-step" + std::to_string(listed_);
  if (failed && settings_.artifacts)
    for (const auto& a : save_artifacts(keeper_, runner.evidence(), (fs::path(*settings_.artifacts) / name).string(),
                                        &runner.variables()))
      step.details.push_back("artifact: " + a);
  if (settings_.report_folder && settings_.report_artifacts) _screenshot(step, runner, "artifacts/" + name);
}

void AttemptCapture::_screenshot(StepReport& step, StepRunner& runner, const std::string& base) {
  const bool failed = step.status == StepStatus::fail;
  const bool shoot = settings_.screenshots == ScreenshotMode::on ||
                     (failed && settings_.screenshots == ScreenshotMode::failures);
  if (!failed && !shoot) return;
  try {
    _make_parent(_in_report(base + ".png"));
  } catch (const std::exception& e) {
    step.details.push_back(e.what());
    return;
  }
  std::string error;
  if (failed && save_snapshot(runner.evidence(), _in_report(base + ".json"), &runner.variables(), &error))
    step.snapshot = base + ".json";
  else if (!error.empty())
    step.details.push_back("no snapshot saved: " + error);
  if (!shoot) return;
  // A failed step's page is as it gave up, its boxes as last read; after a
  // step that acted, the element is measured again where it stands now.
  if (!failed) step.element = _as_now(keeper_, step.element);
  error.clear();
  if (outlined_screenshot(keeper_, {}, _in_report(base + ".png"), &error)) step.screenshot = base + ".png";
}

AttemptCapture::Left AttemptCapture::finish(bool passed) {
  Left left;
  if (tracing_) {
    try {
      if (group_open_) tracing_->group_end();
      group_open_ = false;
      bool keep = settings_.trace == TraceMode::on || !passed;
      if (auto zip = tracing_->stop(keep)) {
        const std::string name = "traces/" + rel_ + "-" + std::to_string(attempt_) + ".zip";
        _make_parent(_in_report(name));
        write_file_whole(_in_report(name), *zip);
        left.trace = name;
      }
    } catch (const std::exception& e) {
      _trace_failed(e);
    }
    tracing_.reset();
  }
  if (trace_problem_) left.notes.push_back("no trace saved: " + *trace_problem_);
  return left;
}

std::optional<std::string> prepare_report_folder(const std::string& dir) {
  std::error_code ec;
  const bool fresh = !fs::exists(dir, ec) || (fs::is_directory(dir, ec) && fs::is_empty(dir, ec));
  if (auto why = folder_problem(dir)) return why;
  if (!fresh && !fs::exists(fs::path(dir) / _MARKER, ec)) return std::nullopt;
  for (const char* name : _OURS) {
    fs::remove_all(fs::path(dir) / name, ec);
    if (ec) return "cannot clear the last run's " + std::string(name) + ": " + ec.message();
  }
  try {
    write_file_whole((fs::path(dir) / _MARKER).string(),
                     "plainstep run writes its reports here and replaces them on the next run.\n");
  } catch (const std::exception& e) {
    return e.what();
  }
  return std::nullopt;
}

}  // namespace plainstep::host
