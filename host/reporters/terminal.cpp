// The reports that write to the terminal beside the list of every step
// (the suite's console report): dot (a character per step) and line (one
// line of progress).
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "reporters/reporters.hpp"
#include "text/text.hpp"

namespace plainstep::host {

namespace {

std::string _seconds(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2fs", s);
  return buf;
}

std::string _file_line(const PlannedFile& f, int attempt) {
  std::string line = "== " + terminal_safe(f.path) + "  (" + terminal_safe(f.url) + ")";
  if (attempt > 1) line += "  attempt " + std::to_string(attempt);
  return line + "\n";
}

// A file that ended without starting: why, on its own line.
std::string _unstarted_line(const PlannedFile& f, const FileEnd& end) {
  std::string why = end.error.value_or(end.reason.value_or(""));
  std::string word = end.status == FileOutcome::not_run ? "not run" : outcome_name(end.status);
  return "== " + terminal_safe(f.path) + "  (" + word + (why.empty() ? "" : ": " + terminal_safe(why)) + ")\n";
}

// The failed steps of one attempt, collected for the reporters that show
// failures apart from their progress.
struct Failures {
  std::map<std::pair<size_t, int>, std::vector<StepReport>> steps;

  void note(const FileRef& ref, const StepReport& s) {
    if (s.depth == 0 && s.status == StepStatus::fail) steps[{ref.index, ref.attempt}].push_back(s);
  }
  // "== path  (url)", the failing step with its details, the attempt's error.
  std::string block(const RunStart& run, const FileRef& ref, const AttemptEnd& end) {
    std::ostringstream o;
    o << _file_line(run.files.at(ref.index), ref.attempt);
    for (const auto& s : steps[{ref.index, ref.attempt}]) print_step_block(o, s);
    if (end.error) o << "  " << terminal_safe(*end.error) << "\n";
    steps.erase({ref.index, ref.attempt});
    return o.str();
  }
};

class DotReporter : public Reporter {
 public:
  explicit DotReporter(std::ostream& out) : out_(out) {}

  void run_started(const RunStart& start) override { run_ = start; }
  void attempt_started(const FileRef& ref) override { started_.insert(ref.index); }
  void step_finished(const FileRef& ref, const StepReport& s) override {
    failures_.note(ref, s);
    if (s.depth > 0) return;
    out_ << (s.status == StepStatus::pass ? "\u00b7" : s.status == StepStatus::fail ? "F" : "\u00b0");
    if (++column_ % _WIDTH == 0) out_ << "\n";
    out_ << std::flush;
  }
  void attempt_finished(const FileRef& ref, const AttemptEnd& end) override {
    if (!end.passed) shown_ += failures_.block(run_, ref, end);
  }
  void file_finished(const FileEnd& end) override {
    if (end.status == FileOutcome::error && !started_.count(end.index))
      shown_ += _unstarted_line(run_.files.at(end.index), end);
  }
  void run_finished(const RunEnd&) override {
    if (column_ % _WIDTH != 0) out_ << "\n";
    if (!shown_.empty()) out_ << "\n" << shown_;
    out_ << std::flush;
  }

 private:
  static constexpr int _WIDTH = 80;
  std::ostream& out_;
  RunStart run_;
  Failures failures_;
  std::set<size_t> started_;
  int column_ = 0;
  std::string shown_;
};

class LineReporter : public Reporter {
 public:
  LineReporter(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

  void run_started(const RunStart& start) override { run_ = start; }
  void attempt_started(const FileRef& ref) override { _draw(run_.files.at(ref.index).path); }
  void step_finished(const FileRef& ref, const StepReport& s) override {
    failures_.note(ref, s);
    if (s.depth == 0) _draw(run_.files.at(ref.index).path + "  " + std::to_string(s.number) + "  " + s.text);
  }
  void attempt_finished(const FileRef& ref, const AttemptEnd& end) override {
    if (end.passed) return;
    _clear();
    out_ << failures_.block(run_, ref, end) << std::flush;
  }
  void file_finished(const FileEnd& end) override {
    ++done_;
    const PlannedFile& f = run_.files.at(end.index);
    std::string word = end.status == FileOutcome::not_run ? "not run" : outcome_name(end.status);
    if (terminal_) {
      _draw(f.path + "  " + word);
    } else {
      out_ << _progress() << terminal_safe(f.path) << "  " << word << "  " << _seconds(end.seconds) << "\n"
           << std::flush;
    }
  }
  void run_finished(const RunEnd&) override { _clear(); }

 private:
  std::string _progress() const {
    return "[" + std::to_string(done_) + "/" + std::to_string(run_.files.size()) + "] ";
  }
  void _draw(const std::string& what) {
    if (!terminal_) return;
    // One line, cut to fit an ordinary terminal so it never wraps.
    std::string line = terminal_safe(_progress() + what);
    if (text::length(line) > _WIDTH) line = text::substr(line, 0, _WIDTH - 3) + "...";
    out_ << "\r\x1b[2K" << line << std::flush;
    drawn_ = true;
  }
  void _clear() {
    if (terminal_ && drawn_) out_ << "\r\x1b[2K" << std::flush;
    drawn_ = false;
  }

  static constexpr size_t _WIDTH = 100;
  std::ostream& out_;
  bool terminal_;
  RunStart run_;
  Failures failures_;
  size_t done_ = 0;
  bool drawn_ = false;
};

}  // namespace

std::unique_ptr<Reporter> make_dot_reporter(std::ostream& out) { return std::make_unique<DotReporter>(out); }
std::unique_ptr<Reporter> make_line_reporter(std::ostream& out, bool terminal) {
  return std::make_unique<LineReporter>(out, terminal);
}

}  // namespace plainstep::host
