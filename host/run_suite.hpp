#pragma once
// Running a suite of step files: the runner's entry point for the CLI and
// for any host. Files are read and checked before any browser starts, then
// run by workers, each with one browser that gives every file (and every
// retry) a fresh browser context. Reports come back in path order.
//
//   SuiteOptions options;
//   options.workers = 2;
//   options.retries = 1;
//   SuiteEvents events;
//   events.file_done = [](const FileReport& f) { ... };
//   SuiteReport report = SuiteRunner(options, events).run({"tests/"});
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "run_capture.hpp"
#include "run_plan.hpp"
#include "run_report.hpp"

namespace plainstep::host {

struct SuiteOptions {
  // Which files run.
  std::optional<std::string> url{};   // start address of every file, instead of its url: line
  std::optional<Shard> shard{};
  Selection selection{};
  bool check_wording = true;          // files with wording issues are errors, not run
  // How they run.
  int workers = 1;                    // files at once, each worker with a browser of its own
  int retries = 0;                    // runs of a failing file after the first
  int max_failures = 0;               // no file starts once this many failed; 0: no limit
  // How their steps run.
  int timeout_ms = 5000;
  std::optional<std::string> base_url{};  // what "/..." addresses are taken from
  std::map<std::string, std::string> vars{};
  std::set<std::string> masked{};
  std::optional<std::string> artifacts{};  // failure screenshots and snapshots go there
  std::optional<std::string> snapshots{};  // a snapshot of every page read goes there
  // What each attempt leaves for the reports: screenshots, snapshots, traces
  // (their artifacts folder is `artifacts` above).
  CaptureSettings capture{};
};

// Half the machine's cores, at least one.
int default_workers();

// What a run tells as it goes. The runner calls one at a time (never two
// at once, whatever the workers), on the worker's thread; a file's calls
// come in order, files' calls interleave.
struct SuiteEvents {
  // The files the run reports, in path order, before any of them runs:
  // every file selected, and the paths that give no runnable file.
  std::function<void(const std::vector<FileReport>&)> planned{};
  // An attempt of a file starts (its report's `retried` holds the ones
  // before).
  std::function<void(const FileReport&)> attempt_started{};
  // A run step (run FILE) starts the steps of its file.
  std::function<void(const FileReport&, const StepReport&)> run_step_started{};
  // A step finished: passed, failed or skipped; a step of a shared file
  // too (depth > 0), before the run step that ran it.
  std::function<void(const FileReport&, const StepReport&)> step_done{};
  // A line about the file that is not a step: a snapshot saved, the
  // browser failing to open the page or dying under the file.
  std::function<void(const FileReport&, const std::string&)> note{};
  // A file is done: after its last attempt, found invalid or with nothing
  // to run before the run, or not run. Files that do not run are told in
  // path order at the end.
  std::function<void(const FileReport&)> file_done{};
};

struct SuiteReport {
  std::vector<FileReport> files;          // in path order
  double seconds = 0;
  std::optional<std::string> stopped{};   // why the run was stopped early, if it was

  size_t count(FileStatus status) const;
};

class SuiteRunner {
 public:
  explicit SuiteRunner(SuiteOptions options, SuiteEvents events = {});
  ~SuiteRunner();

  SuiteRunner(const SuiteRunner&) = delete;
  SuiteRunner& operator=(const SuiteRunner&) = delete;

  // Expands and reads `paths`, selects and shards the files, checks them,
  // then runs them. A path that gives no runnable file is an invalid
  // report of its own; the others still run. Throws std::invalid_argument
  // (before any browser starts) when the options themselves are wrong: a
  // --url that names no file, a bad base address, a shard out of range.
  // Runs once per object.
  SuiteReport run(const std::vector<std::string>& paths);

  // Stops the run: no file starts any more, and the running ones are
  // stopped at once (their browsers and drivers ended), reported as not
  // run with `reason`. Safe from any thread, and more than once.
  void stop(const std::string& reason);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace plainstep::host
