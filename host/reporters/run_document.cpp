#include "reporters/run_document.hpp"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <stdexcept>

namespace plainstep::host {

using ojson = nlohmann::ordered_json;

namespace {

constexpr const char* _FORMAT = "plainstep-report/1";

ojson _ms(double seconds) { return static_cast<long long>(std::llround(seconds * 1000)); }

ojson _text_or_null(const std::optional<std::string>& s) { return s ? ojson(*s) : ojson(nullptr); }
ojson _text_or_null(const std::string& s) { return s.empty() ? ojson(nullptr) : ojson(s); }

const char* _step_status(StepStatus s) {
  switch (s) {
    case StepStatus::pass: return "passed";
    case StepStatus::fail: return "failed";
    case StepStatus::skip: break;
  }
  return "skipped";
}

ojson _element(const ElementRef& e) {
  if (!e) return nullptr;
  const std::string* label = e->attributes.get("_label");
  if (!label || label->empty()) label = e->attributes.get("aria-label");
  ojson box = nullptr;
  if (e->bounding_box)
    box = {{"x", e->bounding_box->x},
           {"y", e->bounding_box->y},
           {"width", e->bounding_box->width},
           {"height", e->bounding_box->height}};
  return {{"tag", e->tag},
          {"text", e->text},
          {"label", label && !label->empty() ? ojson(*label) : ojson(nullptr)},
          {"description", describe_element(*e)},
          {"box", box},
          {"xpath", _text_or_null(e->xpath)}};
}

ojson _step(const ListedStep& l) {
  const StepReport& s = *l.step;
  // A failure's first line is its message; the lines after it say more.
  ojson message = nullptr;
  auto details = ojson::array();
  for (size_t i = 0; i < s.details.size(); ++i) {
    if (i == 0 && s.status == StepStatus::fail) message = s.details[i];
    else details.push_back(s.details[i]);
  }
  auto candidates = ojson::array();
  for (const auto& c : s.candidates) candidates.push_back(_element(c));
  return {{"number", l.number},
          {"line", l.line},
          {"text", s.text},
          {"source", _text_or_null(l.source)},
          {"status", _step_status(s.status)},
          {"duration_ms", s.status == StepStatus::skip ? ojson(nullptr) : _ms(s.seconds)},
          {"outcome", _text_or_null(s.outcome)},
          {"route", _text_or_null(s.route)},
          {"element", _element(s.element)},
          {"message", message},
          {"details", details},
          {"candidates", candidates},
          {"screenshot", _text_or_null(s.screenshot)},
          {"snapshot", _text_or_null(s.snapshot)}};
}

ojson _attempt_json(const AttemptRecord& a) {
  auto steps = ojson::array();
  for (const auto& l : listed_steps(a.steps)) steps.push_back(_step(l));
  return {{"attempt", a.attempt},
          {"status", a.passed() ? "passed" : "failed"},
          {"duration_ms", a.end ? _ms(a.end->seconds) : ojson(nullptr)},
          {"trace", a.end ? _text_or_null(a.end->trace) : ojson(nullptr)},
          {"error", _text_or_null(a.error())},
          {"steps", steps}};
}

void _flatten(const StepReport& s, int line, std::vector<ListedStep>& out) {
  for (const auto& n : s.nested) {
    _flatten(n, line, out);
    out.back().source = n.where;
  }
  out.push_back({&s, static_cast<int>(out.size()) + 1, line, std::nullopt});
}

}  // namespace

const char* outcome_name(FileOutcome o) {
  switch (o) {
    case FileOutcome::passed: return "passed";
    case FileOutcome::failed: return "failed";
    case FileOutcome::flaky: return "flaky";
    case FileOutcome::skipped: return "skipped";
    case FileOutcome::not_run: return "not_run";
    case FileOutcome::error: break;
  }
  return "error";
}

std::vector<ListedStep> listed_steps(const std::vector<StepReport>& steps) {
  std::vector<ListedStep> out;
  for (const auto& s : steps) _flatten(s, s.line, out);
  return out;
}

std::string iso_utc(WallClock::time_point t) {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
  std::time_t secs = static_cast<std::time_t>(ms / 1000);
  std::tm utc{};
  gmtime_r(&secs, &utc);
  char buf[40];
  size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &utc);
  std::snprintf(buf + n, sizeof buf - n, ".%03dZ", static_cast<int>(ms % 1000));
  return buf;
}

void RunDocument::run_started(const RunStart& start) {
  start_ = start;
  files_.clear();
  for (const auto& f : start.files) files_.push_back({f, {}, {}});
}

AttemptRecord* RunDocument::_attempt(const FileRef& ref) {
  if (ref.index >= files_.size()) return nullptr;
  auto& attempts = files_[ref.index].attempts;
  for (auto& a : attempts)
    if (a.attempt == ref.attempt) return &a;
  return nullptr;
}

void RunDocument::attempt_started(const FileRef& ref) {
  if (ref.index < files_.size() && !_attempt(ref)) files_[ref.index].attempts.push_back({ref.attempt, {}, {}});
}

void RunDocument::step_finished(const FileRef& ref, const StepReport& step) {
  // A shared file's steps arrive again inside the step that ran them.
  if (step.depth > 0) return;
  if (AttemptRecord* a = _attempt(ref)) a->steps.push_back(step);
}

void RunDocument::attempt_finished(const FileRef& ref, const AttemptEnd& end) {
  if (AttemptRecord* a = _attempt(ref)) a->end = end;
}

void RunDocument::run_finished(const RunEnd& end) {
  end_ = end;
  for (const auto& f : end.files)
    if (f.index < files_.size()) files_[f.index].end = f;
  write();
}

ojson RunDocument::to_json() const {
  const ReportOptions& o = start_.options;
  ojson counts = {{"files", files_.size()}, {"passed", 0}, {"failed", 0}, {"flaky", 0}, {"skipped", 0},
                  {"not_run", 0}, {"error", 0}, {"steps", 0}};
  auto files = ojson::array();
  for (const auto& f : files_) {
    const FileEnd& e = f.end;
    counts[outcome_name(e.status)] = counts[outcome_name(e.status)].get<int>() + 1;
    // A file that could not run has no attempt to show; its error says why.
    auto attempts = ojson::array();
    if (e.status != FileOutcome::error)
      for (const auto& a : f.attempts) attempts.push_back(_attempt_json(a));
    if (!attempts.empty())
      counts["steps"] = counts["steps"].get<size_t>() + listed_steps(f.attempts.back().steps).size();
    bool started = e.started.time_since_epoch().count() != 0;
    files.push_back({{"path", f.planned.rel},
                     {"url", _text_or_null(f.planned.url)},
                     {"tags", f.planned.tags},
                     {"status", outcome_name(e.status)},
                     {"error", _text_or_null(e.error)},
                     {"reason", _text_or_null(e.reason)},
                     {"duration_ms", _ms(e.seconds)},
                     {"started", started ? ojson(iso_utc(e.started)) : ojson(nullptr)},
                     {"attempts", attempts}});
  }
  return {{"format", _FORMAT},
          {"plainstep", PLAINSTEP_VERSION},
          {"started", iso_utc(start_.started)},
          {"duration_ms", _ms(end_.seconds)},
          {"interrupted", end_.interrupted},
          {"root", start_.root},
          {"options",
           {{"browser", o.browser},
            {"workers", o.workers},
            {"retries", o.retries},
            {"shard", _text_or_null(o.shard)},
            {"timeout_ms", o.timeout_ms},
            {"base_url", _text_or_null(o.base_url)}}},
          {"counts", counts},
          {"files", files}};
}

std::vector<std::string> FileDocument::written() const {
  if (!done_) return {};
  return {name_ + ": " + path_};
}

void FileDocument::write() {
  try {
    write_files();
  } catch (const std::exception& e) {
    throw std::runtime_error("cannot write the " + name_ + ": " + std::string(e.what()));
  }
  done_ = true;
}

std::string dump_document(const ojson& doc, int indent) {
  return doc.dump(indent, ' ', false, ojson::error_handler_t::replace);
}

}  // namespace plainstep::host
