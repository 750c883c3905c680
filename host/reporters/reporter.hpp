#pragma once
// What a run tells its reports, as it happens: the run starts, a file's
// attempt starts, each step finishes, the attempt and the file end, the
// run ends. Every report (terminal lines, dots, JSON, JUnit, HTML) is a
// Reporter fed the same events, so they agree with each other.
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "run_report.hpp"

namespace plainstep::host {

struct SuiteEvents;

using WallClock = std::chrono::system_clock;

// How a file of a run ended.
enum class FileOutcome {
  passed,   // its last attempt passed on the first try
  failed,   // every attempt failed
  flaky,    // failed at least once, then passed on a retry
  skipped,  // nothing to run (no steps)
  not_run,  // never started: failure limit reached, run interrupted
  error,    // could not run at all: unreadable, the browser would not start
};

// "passed", ..., "not_run": the names the JSON report uses.
const char* outcome_name(FileOutcome o);

// The run's settings that reports show.
struct ReportOptions {
  std::string browser = "chromium";
  int workers = 1;
  int retries = 0;
  std::optional<std::string> shard{};
  int timeout_ms = 5000;
  std::optional<std::string> base_url{};
};

// A file of the run, as the run plans it.
struct PlannedFile {
  std::string path;  // as given, as the terminal shows it
  std::string rel;   // relative to the run's common folder, "/"-separated
  std::string url;   // start address, "" when unknown
  std::vector<std::string> tags{};
};

struct RunStart {
  WallClock::time_point started{};
  std::string root;  // the files' common folder, absolute
  ReportOptions options{};
  std::vector<PlannedFile> files{};  // in report order
};

// One attempt of one file.
struct FileRef {
  size_t index = 0;  // into RunStart::files
  int attempt = 1;   // 1-based; a retry is the next attempt
};

struct AttemptEnd {
  bool passed = false;
  double seconds = 0;
  WallClock::time_point started{};
  std::optional<std::string> error{};  // a failure outside any step (the start address did not load)
  std::optional<std::string> trace{};  // its trace, relative to the report folder
};

struct FileEnd {
  size_t index = 0;
  FileOutcome status = FileOutcome::not_run;
  std::optional<std::string> error{};   // status error: why it could not run
  std::optional<std::string> reason{};  // status not_run or skipped: why, as a sentence
  double seconds = 0;                   // all attempts
  WallClock::time_point started{};      // its first attempt; epoch when it never started
};

struct RunEnd {
  double seconds = 0;
  bool interrupted = false;
  std::vector<FileEnd> files{};  // one per planned file, in report order
};

class Reporter {
 public:
  virtual ~Reporter() = default;
  virtual void run_started(const RunStart&) {}
  virtual void attempt_started(const FileRef&) {}
  // A run step (run FILE) starts the steps of its file.
  virtual void step_started(const FileRef&, const StepReport&) {}
  // A step has finished: a step of a shared file (depth > 0) before the
  // step that ran it, which then holds it in `nested` too.
  virtual void step_finished(const FileRef&, const StepReport&) {}
  virtual void attempt_finished(const FileRef&, const AttemptEnd&) {}
  virtual void file_finished(const FileEnd&) {}
  // Reports that write files write them here; problems are thrown as
  // std::runtime_error naming the file.
  virtual void run_finished(const RunEnd&) {}
  // What the report wrote, for the run's last lines ("HTML report: ...").
  virtual std::vector<std::string> written() const { return {}; }
};

// Where the reports go and what they show, from the run's flags.
struct ReporterSettings {
  std::vector<std::string> names{"list"};  // --reporter
  std::string output = "plainstep-report";  // --output: the report folder
  std::optional<std::string> junit{};       // --junit FILE
  std::ostream* out = nullptr;               // the terminal's stream
  bool terminal = false;                     // `out` is a terminal (the line reporter redraws)
};

// The reporters a run uses, fed together from any thread: events are
// passed on one at a time, in the order they arrive. Files that never
// finish (an interrupted run) are reported as not run at the end. The
// list reporter is the suite's console report (run_console.hpp); the set
// says whether it was chosen.
class ReporterSet {
 public:
  // Throws std::invalid_argument naming an unknown reporter, or two that
  // both write to the terminal.
  explicit ReporterSet(const ReporterSettings& settings);

  // Whether the report folder is used (html, json, or junit without
  // --junit): screenshots and snapshots of the run go there.
  bool writes_report_folder() const { return folder_; }
  const std::string& folder() const { return settings_.output; }
  // "list", "dot", "line", or "" when no reporter writes to the terminal.
  const std::string& terminal() const { return terminal_; }

  // The suite runner's events, told to the reporters: a file is known by
  // its place in the planned list; an attempt ends when the next starts or
  // its file is done. `options` are what the reports show of the run.
  SuiteEvents events(const ReportOptions& options);

  void run_started(const RunStart& start);
  void attempt_started(const FileRef& ref);
  void step_started(const FileRef& ref, const StepReport& step);
  void step_finished(const FileRef& ref, const StepReport& step);
  void attempt_finished(const FileRef& ref, const AttemptEnd& end);
  void file_finished(const FileEnd& end);
  // Ends the run for every reporter; the messages of those that could not
  // write their files, each naming the file.
  std::vector<std::string> run_finished(double seconds, bool interrupted);
  std::vector<std::string> written() const;

 private:
  ReporterSettings settings_;
  bool folder_ = false;
  std::string terminal_;
  std::map<const FileReport*, size_t> planned_;  // the suite's files, by where they stand
  std::map<size_t, int> attempts_;               // the attempt each started file is on
  std::vector<std::unique_ptr<Reporter>> reporters_;
  std::mutex mutex_;
  std::vector<std::optional<FileEnd>> ends_;
};

// The names --reporter takes, for help and messages.
const std::vector<std::string>& reporter_names();

// The common folder of `paths` (absolute, without a trailing "/"), and
// each path relative to it, "/"-separated: "checkout/login.steps".
std::pair<std::string, std::vector<std::string>> common_folder(const std::vector<std::string>& paths);

}  // namespace plainstep::host
