#include <algorithm>
#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "reporters/reporters.hpp"
#include "run_suite.hpp"
#include "text/text.hpp"

namespace plainstep::host {

namespace fs = std::filesystem;

namespace {

bool _writes_terminal(const std::string& name) { return name == "list" || name == "dot" || name == "line"; }

std::vector<std::string> _comma_separated(const std::string& s) {
  std::vector<std::string> parts{""};
  for (char c : s) {
    if (c == ',') parts.emplace_back();
    else parts.back() += c;
  }
  return parts;
}

}  // namespace

const std::vector<std::string>& reporter_names() {
  static const std::vector<std::string> names{"list", "dot", "line", "json", "junit", "html"};
  return names;
}

ReporterSet::ReporterSet(const ReporterSettings& settings) : settings_(settings) {
  std::vector<std::string> names;
  for (const auto& given : settings.names) {
    for (const auto& part : _comma_separated(given)) {
      std::string name = text::lower(text::trim(part));
      if (name.empty()) continue;
      const auto& known = reporter_names();
      if (std::find(known.begin(), known.end(), name) == known.end())
        throw std::invalid_argument("--reporter: no reporter named " + text::quoted_literal(text::trim(part)) +
                                    "; choose from " + text::join(known, ", "));
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
  }
  std::vector<std::string> terminal;
  std::copy_if(names.begin(), names.end(), std::back_inserter(terminal), _writes_terminal);
  if (terminal.size() > 1)
    throw std::invalid_argument("--reporter: " + text::join(terminal, " and ") +
                                " both write to the terminal; choose one");
  if (!terminal.empty()) terminal_ = terminal.front();
  std::ostream& out = settings.out ? *settings.out : std::cout;
  for (const auto& name : names) {
    if (name == "dot") reporters_.push_back(make_dot_reporter(out));
    if (name == "line") reporters_.push_back(make_line_reporter(out, settings.terminal));
    if (name == "json") reporters_.push_back(make_json_reporter(settings.output));
    if (name == "html") reporters_.push_back(make_html_reporter(settings.output));
  }
  bool junit_named = std::find(names.begin(), names.end(), "junit") != names.end();
  if (settings.junit || junit_named)
    reporters_.push_back(make_junit_reporter(
        settings.junit.value_or((fs::path(settings.output) / "junit.xml").string()), settings.output));
  folder_ = std::any_of(names.begin(), names.end(), [&](const std::string& n) {
    return n == "json" || n == "html" || (n == "junit" && !settings.junit);
  });
}

void ReporterSet::run_started(const RunStart& start) {
  std::lock_guard lock(mutex_);
  ends_.assign(start.files.size(), std::nullopt);
  for (auto& r : reporters_) r->run_started(start);
}

void ReporterSet::attempt_started(const FileRef& ref) {
  std::lock_guard lock(mutex_);
  for (auto& r : reporters_) r->attempt_started(ref);
}

void ReporterSet::step_started(const FileRef& ref, const StepReport& step) {
  std::lock_guard lock(mutex_);
  for (auto& r : reporters_) r->step_started(ref, step);
}

void ReporterSet::step_finished(const FileRef& ref, const StepReport& step) {
  std::lock_guard lock(mutex_);
  for (auto& r : reporters_) r->step_finished(ref, step);
}

void ReporterSet::attempt_finished(const FileRef& ref, const AttemptEnd& end) {
  std::lock_guard lock(mutex_);
  for (auto& r : reporters_) r->attempt_finished(ref, end);
}

void ReporterSet::file_finished(const FileEnd& end) {
  std::lock_guard lock(mutex_);
  if (end.index < ends_.size()) ends_[end.index] = end;
  for (auto& r : reporters_) r->file_finished(end);
}

std::vector<std::string> ReporterSet::run_finished(double seconds, bool interrupted) {
  std::lock_guard lock(mutex_);
  RunEnd end{seconds, interrupted, {}};
  for (size_t i = 0; i < ends_.size(); ++i) {
    if (ends_[i]) {
      end.files.push_back(*ends_[i]);
      continue;
    }
    FileEnd missing;
    missing.index = i;
    missing.status = FileOutcome::not_run;
    missing.reason = interrupted ? "the run was interrupted before this file finished"
                                 : "the run ended before this file started";
    end.files.push_back(missing);
  }
  std::vector<std::string> problems;
  for (auto& r : reporters_) {
    try {
      r->run_finished(end);
    } catch (const std::exception& e) {
      problems.push_back(e.what());
    }
  }
  return problems;
}

std::vector<std::string> ReporterSet::written() const {
  std::vector<std::string> lines;
  for (const auto& r : reporters_)
    for (auto& w : r->written()) lines.push_back(std::move(w));
  return lines;
}

namespace {

AttemptEnd _attempt_end(const FileAttempt& a, bool stopped) {
  AttemptEnd end;
  end.passed = a.passed() && !stopped;
  end.seconds = a.seconds;
  end.started = a.started;
  end.error = a.error;
  if (stopped && !end.error) end.error = "the run was stopped while this attempt ran";
  end.trace = a.trace;
  return end;
}

FileEnd _file_end(size_t index, const FileReport& f) {
  FileEnd end;
  end.index = index;
  switch (f.status()) {
    case FileStatus::passed: end.status = FileOutcome::passed; break;
    case FileStatus::flaky: end.status = FileOutcome::flaky; break;
    case FileStatus::failed: end.status = FileOutcome::failed; break;
    case FileStatus::not_run: end.status = FileOutcome::not_run; break;
    case FileStatus::skipped: end.status = FileOutcome::skipped; break;
    case FileStatus::invalid: end.status = FileOutcome::error; break;
  }
  if (f.invalid) end.error = f.error;
  end.reason = f.skipped ? f.skipped : f.not_run;
  end.seconds = f.seconds;
  for (const auto& a : f.retried) end.seconds += a.seconds;
  end.started = f.retried.empty() ? f.started : f.retried.front().started;
  return end;
}

}  // namespace

SuiteEvents ReporterSet::events(const ReportOptions& options) {
  // The suite tells one event at a time, so the maps need no lock of their own.
  SuiteEvents e;
  e.planned = [this, options](const std::vector<FileReport>& files) {
    RunStart start;
    start.started = WallClock::now();
    start.options = options;
    std::vector<std::string> paths;
    planned_.clear();
    attempts_.clear();
    for (size_t i = 0; i < files.size(); ++i) {
      planned_[&files[i]] = i;
      paths.push_back(files[i].path);
      start.files.push_back({files[i].path, files[i].rel, files[i].url, files[i].tags});
    }
    start.root = common_folder(paths).first;
    run_started(start);
  };
  auto ref = [this](const FileReport& f) { return FileRef{planned_.at(&f), attempts_[planned_.at(&f)]}; };
  e.attempt_started = [this](const FileReport& f) {
    size_t i = planned_.at(&f);
    int n = static_cast<int>(f.retried.size()) + 1;
    if (n > 1) attempt_finished({i, n - 1}, _attempt_end(f.retried.back(), false));
    attempts_[i] = n;
    attempt_started({i, n});
  };
  e.run_step_started = [this, ref](const FileReport& f, const StepReport& s) { step_started(ref(f), s); };
  e.step_done = [this, ref](const FileReport& f, const StepReport& s) { step_finished(ref(f), s); };
  e.file_done = [this](const FileReport& f) {
    size_t i = planned_.at(&f);
    if (auto a = attempts_.find(i); a != attempts_.end())
      attempt_finished({i, a->second}, _attempt_end(f.attempt(), f.not_run.has_value()));
    file_finished(_file_end(i, f));
  };
  return e;
}

std::pair<std::string, std::vector<std::string>> common_folder(const std::vector<std::string>& paths) {
  std::vector<fs::path> absolute;
  for (const auto& p : paths) {
    std::error_code ec;
    fs::path a = fs::weakly_canonical(fs::absolute(p, ec), ec);
    absolute.push_back(a.empty() ? fs::path(p) : a);
  }
  fs::path root;
  for (size_t i = 0; i < absolute.size(); ++i) {
    fs::path folder = absolute[i].parent_path();
    if (i == 0) {
      root = folder;
      continue;
    }
    fs::path common;
    auto a = root.begin(), b = folder.begin();
    for (; a != root.end() && b != folder.end() && *a == *b; ++a, ++b) common /= *a;
    root = common;
  }
  std::vector<std::string> rel;
  for (const auto& a : absolute) rel.push_back(a.lexically_relative(root).generic_string());
  std::string r = root.string();
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  return {r, rel};
}

}  // namespace plainstep::host
