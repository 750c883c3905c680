#include "run_console.hpp"

#include <cstdio>

namespace plainstep::host {

ConsoleReport::ConsoleReport(std::ostream& out, std::ostream& err, bool streamed, bool progress, int retries,
                             bool lines)
    : out_(out), err_(err), streamed_(streamed), progress_(progress && lines), lines_(lines), retries_(retries),
      start_(std::chrono::steady_clock::now()) {
  if (!progress_) return;
  ticker_ = std::thread([this] {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!tick_.wait_for(lock, std::chrono::seconds(1), [this] { return finished_; }))
      if (progress_shown_) _draw_progress();
  });
}

ConsoleReport::~ConsoleReport() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
  }
  tick_.notify_all();
  if (ticker_.joinable()) ticker_.join();
}

std::ostream& ConsoleReport::_file_out(const FileReport& f) {
  if (streamed_) {
    _erase_progress();
    return out_;
  }
  return buffers_[&f];
}

void ConsoleReport::_printed() {
  // Lines kept for later change nothing on the terminal yet.
  if (!streamed_) return;
  out_ << std::flush;
  if (progress_) _draw_progress();
}

void ConsoleReport::_erase_progress() {
  if (!progress_shown_) return;
  out_ << "\r\033[K";
  progress_shown_ = false;
}

void ConsoleReport::_draw_progress() {
  long secs = static_cast<long>(seconds_since(start_));
  char line[160];
  std::snprintf(line, sizeof line, "\r\033[K%zu/%zu files done: %zu passed, %zu failed  %ld:%02ld", done_, total_,
                passed_, failed_, secs / 60, secs % 60);
  out_ << line << std::flush;
  progress_shown_ = true;
}

void ConsoleReport::_path_error(const FileReport& f) {
  if (!f.invalid) return;
  out_ << std::flush;
  std::istringstream lines(f.error.value_or(""));
  for (std::string line; std::getline(lines, line);) err_ << terminal_safe(line) << "\n";
  err_ << std::flush;
}

SuiteEvents ConsoleReport::events() {
  SuiteEvents e;
  e.planned = [this](const std::vector<FileReport>& files) {
    std::lock_guard<std::mutex> lock(mutex_);
    total_ = files.size();
  };
  if (!lines_) {  // another reporter shows the files; only paths in error are told here
    e.file_done = [this](const FileReport& f) {
      std::lock_guard<std::mutex> lock(mutex_);
      _path_error(f);
    };
    return e;
  }
  e.attempt_started = [this](const FileReport& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::ostream& o = _file_out(f);
    o << "== " << terminal_safe(f.path) << "  (" << terminal_safe(f.url) << ")";
    if (!f.retried.empty()) o << "  retry " << f.retried.size() << " of " << retries_;
    o << "\n";
    _printed();
  };
  e.run_step_started = [this](const FileReport& f, const StepReport& s) {
    std::lock_guard<std::mutex> lock(mutex_);
    print_step_start(_file_out(f), s);
    _printed();
  };
  e.step_done = [this](const FileReport& f, const StepReport& s) {
    std::lock_guard<std::mutex> lock(mutex_);
    print_step(_file_out(f), s);
    _printed();
  };
  e.note = [this](const FileReport& f, const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    _file_out(f) << terminal_safe(line) << "\n";
    _printed();
  };
  e.file_done = [this](const FileReport& f) {
    std::lock_guard<std::mutex> lock(mutex_);
    _erase_progress();
    _path_error(f);
    if (auto b = buffers_.find(&f); b != buffers_.end()) {
      out_ << b->second.str() << std::flush;
      buffers_.erase(b);
    }
    ++done_;
    if (f.passed()) ++passed_;
    else if (f.status() == FileStatus::failed) ++failed_;
    if (progress_) _draw_progress();
  };
  return e;
}

void ConsoleReport::finish(const SuiteReport& report) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    _erase_progress();
  }
  tick_.notify_all();
  if (ticker_.joinable()) ticker_.join();
  out_ << "\n";
  bool unusual = report.count(FileStatus::flaky) + report.count(FileStatus::not_run) +
                     report.count(FileStatus::invalid) > 0;
  if (!streamed_ || unusual) print_outcomes(out_, report.files);
  print_summary(out_, report.files, report.seconds);
  out_ << std::flush;
}

}  // namespace plainstep::host
