#include "run_suite.hpp"

#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "config.hpp"
#include "driver/connection.hpp"
#include "driver/playwright.hpp"
#include "driver/processes.hpp"
#include "reporters/reporter.hpp"
#include "run_address.hpp"
#include "run_attempt.hpp"
#include "run_files.hpp"
#include "text/text.hpp"

namespace plainstep::host {

namespace fs = std::filesystem;

int default_workers() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency() / 2)); }

size_t SuiteReport::count(FileStatus status) const {
  return static_cast<size_t>(
      std::count_if(files.begin(), files.end(), [&](const FileReport& f) { return f.status() == status; }));
}

// Named, not anonymous, so the runner's state below may hold them in any
// build (one that compiles several sources as one sees them as a header's).
namespace suite_jobs {

// A file of the run and, when it can run, what it runs from.
struct Job {
  std::optional<ReadyFile> ready;
  std::string stem;      // what its artifacts are named after: its path below the common folder
  bool started = false;  // a worker took it
};

// The driver a worker runs now, so stop() can end it from another thread.
struct WorkerSlot {
  std::mutex mutex;
  std::optional<pw::ProcessId> driver;
};

}  // namespace suite_jobs

using suite_jobs::Job;
using suite_jobs::WorkerSlot;

namespace {

// Each file named by its path below the folder all the run's files share,
// as its artifacts and the reports name it: two files of one name in
// different folders never share a name.
void _name_files(std::vector<FileReport>& reports, std::vector<Job>& jobs) {
  std::vector<std::string> paths;
  for (const auto& r : reports) paths.push_back(r.path);
  auto rels = common_folder(paths).second;
  for (size_t i = 0; i < reports.size(); ++i) {
    reports[i].rel = rels[i];
    jobs[i].stem = rels[i];
  }
}

// "grep 'a' or 'b' and tag 'smoke'"
std::string _selection_words(const Selection& s) {
  auto quoted = [](const std::vector<std::string>& v) {
    std::vector<std::string> q;
    for (const auto& x : v) q.push_back(text::quoted_literal(x));
    return text::join(q, " or ");
  };
  std::string words;
  if (!s.grep.empty()) words = "grep " + quoted(s.grep);
  if (!s.tags.empty()) words += (words.empty() ? "tag " : " and tag ") + quoted(s.tags);
  return words;
}

FileReport _invalid(const std::string& path, std::string error) {
  FileReport r;
  r.path = path;
  r.error = std::move(error);
  r.invalid = true;
  return r;
}

}  // namespace

struct SuiteRunner::Impl {
  SuiteOptions options;
  SuiteEvents events;
  std::vector<FileReport> reports;
  std::vector<Job> jobs;
  std::atomic<size_t> next{0};
  std::atomic<bool> stopping{false};
  std::atomic<int> failures{0};
  std::mutex state_mutex;  // guards the members below
  std::optional<std::string> stop_reason;
  std::optional<std::string> limit_reason;  // the failure limit was reached
  std::exception_ptr error;                 // a worker's or callback's, rethrown by run()
  std::vector<std::unique_ptr<WorkerSlot>> slots;
  std::mutex events_mutex;
  bool ran = false;

  // Calls one event, never two at once.
  template <class F, class... Args>
  void emit(const F& f, Args&&... args) {
    if (!f) return;
    std::lock_guard<std::mutex> lock(events_mutex);
    try {
      f(std::forward<Args>(args)...);
    } catch (...) {
      _keep_error(std::current_exception());
    }
  }

  void _keep_error(std::exception_ptr e) {
    {
      std::lock_guard<std::mutex> lock(state_mutex);
      if (!error) error = e;
    }
    stopping = true;
  }

  void plan(const std::vector<std::string>& paths);
  void work(WorkerSlot& slot);
  void run_file(SessionKeeper& keeper, WorkerSlot& slot, size_t index);
  void publish(WorkerSlot& slot, const SessionKeeper& keeper);
  std::string not_run_reason();
};

void SuiteRunner::Impl::plan(const std::vector<std::string>& paths) {
  const SuiteOptions& o = options;
  if (o.base_url) join_url(*o.base_url, "/");  // a base address that takes no path is refused now
  std::optional<std::string> url_override;
  if (o.url) {
    try {
      url_override = resolve_start_url(*o.url, fs::current_path().string(), o.base_url);
    } catch (const std::invalid_argument& e) {
      throw std::invalid_argument("--url: " + std::string(e.what()));
    }
  }
  // Read every file; a path that gives none is an error of its own.
  struct Entry {
    PathEntry path;
    std::optional<StepFile> file;
    std::optional<std::string> error;
  };
  std::vector<Entry> entries;
  for (auto& p : expand_paths(paths)) {
    Entry e{p, std::nullopt, std::nullopt};
    if (p.error) {
      e.error = p.path + ": " + *p.error;
    } else {
      try {
        e.file = read_step_file(p.path);
      } catch (const std::exception& ex) {
        e.error = ex.what();
      }
    }
    entries.push_back(std::move(e));
  }
  // A file found in a folder that others run (run FILE) and that has no
  // start address of its own is shared steps, not a test.
  std::set<std::string> shared;
  for (const auto& e : entries)
    if (e.file) shared.merge(files_run_by(*e.file, o.vars));
  std::erase_if(entries, [&](const Entry& e) { return e.file && shared_steps(e.path, *e.file, shared); });
  // A selection that leaves nothing is a mistake, not a passing run.
  size_t readable = 0;
  for (const auto& e : entries) readable += e.file ? 1 : 0;
  std::erase_if(entries, [&](const Entry& e) { return e.file && !o.selection.selects(*e.file); });
  if (readable > 0 && std::none_of(entries.begin(), entries.end(), [](const Entry& e) { return !e.path.error; }))
    throw std::invalid_argument("none of the " + std::to_string(readable) + " files is selected by " +
                                _selection_words(o.selection));
  // The shard slices the files; a path that gives no file is every shard's.
  if (o.shard) {
    std::vector<size_t> files;
    for (size_t i = 0; i < entries.size(); ++i)
      if (!entries[i].path.error) files.push_back(i);
    auto [first, last] = shard_range(files.size(), *o.shard);
    std::set<size_t> keep(files.begin() + static_cast<long>(first), files.begin() + static_cast<long>(last));
    std::vector<Entry> sliced;
    for (size_t i = 0; i < entries.size(); ++i)
      if (entries[i].path.error || keep.count(i)) sliced.push_back(std::move(entries[i]));
    entries = std::move(sliced);
  }
  for (auto& e : entries) {
    if (e.error) {
      reports.push_back(_invalid(e.path.path, *e.error));
      jobs.push_back({});
      continue;
    }
    ReadyFile rf{std::move(*e.file), ""};
    if (rf.file.steps.empty()) {  // nothing to run yet: skipped, not refused
      FileReport r;
      r.path = rf.file.path;
      r.tags = rf.file.tags;
      r.skipped = "it has no steps to run";
      reports.push_back(std::move(r));
      jobs.push_back({});
      continue;
    }
    auto problems = prepare_file(rf.file, rf.url, url_override, o.base_url, o.check_wording, o.vars);
    if (!problems.empty()) {
      reports.push_back(_invalid(e.path.path, text::join(problems, "\n")));
      jobs.push_back({});
      continue;
    }
    FileReport r;
    r.path = rf.file.path;
    r.url = rf.url;
    r.tags = rf.file.tags;
    reports.push_back(std::move(r));
    jobs.push_back({std::move(rf), "", false});
  }
  _name_files(reports, jobs);
}

void SuiteRunner::Impl::publish(WorkerSlot& slot, const SessionKeeper& keeper) {
  std::optional<pw::ProcessId> driver;
  if (auto playwright = keeper.playwright()) {
    pid_t pid = playwright->connection()->pid();
    pid_t parent = 0;
    unsigned long long start = 0;
    char state = 0;
    if (pid > 0 && pw::read_stat(pid, parent, start, state)) driver = pw::ProcessId{pid, start};
  }
  std::lock_guard<std::mutex> lock(slot.mutex);
  slot.driver = driver;
  // A stop that came while the browser was starting ends it now.
  if (stopping && driver && pw::running(*driver)) kill(driver->pid, SIGTERM);
}

std::string SuiteRunner::Impl::not_run_reason() {
  std::lock_guard<std::mutex> lock(state_mutex);
  if (stop_reason) return "not run: " + *stop_reason;
  if (limit_reason) return "not run: " + *limit_reason;
  return "not run";
}

void SuiteRunner::Impl::run_file(SessionKeeper& keeper, WorkerSlot& slot, size_t index) {
  Job& job = jobs[index];
  FileReport& report = reports[index];
  const SuiteOptions& o = options;
  RunSettings settings{o.timeout_ms, o.artifacts, o.base_url, o.vars, o.masked, o.snapshots};
  CaptureSettings capture = o.capture;
  capture.artifacts = o.artifacts;
  AttemptHooks hooks;
  hooks.opened = [&] { publish(slot, keeper); };
  hooks.run_step_started = [&](const StepReport& s) { emit(events.run_step_started, report, s); };
  hooks.step_done = [&](const StepReport& s) { emit(events.step_done, report, s); };
  hooks.note = [&](const std::string& line) { emit(events.note, report, line); };
  hooks.stopping = [&] { return stopping.load(); };
  for (int attempt = 0;; ++attempt) {
    report.steps.clear();
    report.error.reset();
    emit(events.attempt_started, report);
    FileAttempt a = run_attempt(keeper, *job.ready, settings, capture, job.stem, attempt + 1, hooks);
    const bool stopped = a.stopped;
    bool last = a.passed() || attempt >= o.retries || stopping;
    if (!last) {
      report.retried.push_back(std::move(a));
      continue;
    }
    if (stopped) {
      std::lock_guard<std::mutex> lock(state_mutex);
      report.not_run = "stopped while running: " + stop_reason.value_or("the run was stopped");
    }
    report.steps = std::move(a.steps);
    report.error = std::move(a.error);
    report.seconds = a.seconds;
    report.started = a.started;
    report.trace = std::move(a.trace);
    break;
  }
  if (!report.not_run && !report.passed() && o.max_failures > 0 && ++failures >= o.max_failures) {
    std::lock_guard<std::mutex> lock(state_mutex);
    if (!limit_reason)
      limit_reason = std::to_string(o.max_failures) + (o.max_failures == 1 ? " file" : " files") +
                     " failed, as many as the run allows (max failures)";
  }
  emit(events.file_done, report);
}

void SuiteRunner::Impl::work(WorkerSlot& slot) {
  SessionKeeper keeper;
  try {
    for (;;) {
      size_t i = next++;
      if (i >= jobs.size() || stopping) break;
      {
        std::lock_guard<std::mutex> lock(state_mutex);
        if (limit_reason) break;
      }
      if (!jobs[i].ready) continue;
      jobs[i].started = true;
      run_file(keeper, slot, i);
    }
  } catch (...) {
    _keep_error(std::current_exception());
  }
  {
    std::lock_guard<std::mutex> lock(slot.mutex);
    slot.driver.reset();
  }
  try {
    keeper.close();
  } catch (...) {
    // The keeper's own destructor still ends the driver and the browser.
  }
}

SuiteRunner::SuiteRunner(SuiteOptions options, SuiteEvents events) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
  impl_->events = std::move(events);
}

SuiteRunner::~SuiteRunner() = default;

SuiteReport SuiteRunner::run(const std::vector<std::string>& paths) {
  Impl& m = *impl_;
  if (m.ran) throw std::logic_error("a SuiteRunner runs once");
  m.ran = true;
  auto start = Clock::now();
  m.plan(paths);
  m.emit(m.events.planned, m.reports);
  for (const auto& r : m.reports)
    if (r.invalid || r.skipped) m.emit(m.events.file_done, r);
  size_t runnable = static_cast<size_t>(std::count_if(m.jobs.begin(), m.jobs.end(), [](const Job& j) { return j.ready.has_value(); }));
  size_t workers = std::min(runnable, static_cast<size_t>(std::max(1, m.options.workers)));
  // The harvester would write its own snapshots, unmasked, beside the
  // runner's; the run's snapshots are the runner's alone.
  const bool harvester_snapshots = settings::SAVE_SNAPSHOTS;
  settings::SAVE_SNAPSHOTS = false;
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(m.state_mutex);
    for (size_t i = 0; i < workers; ++i) m.slots.push_back(std::make_unique<WorkerSlot>());
  }
  for (size_t i = 0; i < workers; ++i) threads.emplace_back([&m, i] { m.work(*m.slots[i]); });
  for (auto& t : threads) t.join();
  settings::SAVE_SNAPSHOTS = harvester_snapshots;
  if (m.error) std::rethrow_exception(m.error);
  for (size_t i = 0; i < m.jobs.size(); ++i)
    if (m.jobs[i].ready && !m.jobs[i].started) {
      m.reports[i].not_run = m.not_run_reason();
      m.emit(m.events.file_done, m.reports[i]);
    }
  SuiteReport report;
  report.files = std::move(m.reports);
  report.seconds = seconds_since(start);
  std::lock_guard<std::mutex> lock(m.state_mutex);
  report.stopped = m.stop_reason;
  return report;
}

void SuiteRunner::stop(const std::string& reason) {
  Impl& m = *impl_;
  std::lock_guard<std::mutex> lock(m.state_mutex);
  if (!m.stop_reason) m.stop_reason = reason;
  m.stopping = true;
  // Ending a worker's driver ends whatever call its step waits on; node
  // closes its browser on the way out.
  for (auto& slot : m.slots) {
    std::lock_guard<std::mutex> slot_lock(slot->mutex);
    if (slot->driver && pw::running(*slot->driver)) kill(slot->driver->pid, SIGTERM);
  }
}

}  // namespace plainstep::host
