#pragma once
// What a run shows on the terminal: each file's lines (as each step ends
// when files run one at a time; all together when the file ends when they
// run side by side), what is wrong with a path on the error stream, a
// one-line progress at the bottom of a terminal, then the summary.
#include <condition_variable>
#include <map>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>

#include "run_suite.hpp"

namespace plainstep::host {

class ConsoleReport {
 public:
  // `streamed`: a file's lines go out as they come (one worker), else each
  // file's lines together. `progress`: `out` is a terminal that can take a
  // progress line redrawn in place. `retries`: how many the run allows.
  // `lines`: the files' lines are shown (the list reporter); without them
  // only what is wrong with a path and the summary are.
  ConsoleReport(std::ostream& out, std::ostream& err, bool streamed, bool progress, int retries,
                bool lines = true);
  ~ConsoleReport();

  ConsoleReport(const ConsoleReport&) = delete;
  ConsoleReport& operator=(const ConsoleReport&) = delete;

  // Events wired to this report; it must outlive the run.
  SuiteEvents events();

  // Clears the progress line and prints the summary: the files that did
  // not simply pass, in path order (when files ran side by side, or some
  // were flaky, not run or invalid), the counts and the time.
  void finish(const SuiteReport& report);

 private:
  std::ostream& _file_out(const FileReport& f);
  void _printed();
  void _erase_progress();
  void _draw_progress();
  // What is wrong with a path, on the error stream.
  void _path_error(const FileReport& f);

  std::ostream& out_;
  std::ostream& err_;
  const bool streamed_, progress_, lines_;
  const int retries_;
  std::map<const FileReport*, std::ostringstream> buffers_;
  std::mutex mutex_;
  size_t total_ = 0, done_ = 0, passed_ = 0, failed_ = 0;
  bool progress_shown_ = false;
  std::chrono::steady_clock::time_point start_;
  // Redraws the progress line every second, so the time goes on.
  std::thread ticker_;
  std::condition_variable tick_;
  bool finished_ = false;
};

}  // namespace plainstep::host
