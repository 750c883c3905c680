// plainstep run FILE...: runs step files in a real browser, one session per
// file; its reporters show each step as it finishes, then the summary.
#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "command.hpp"
#include "config.hpp"
#include "file_write.hpp"
#include "host_config.hpp"
#include "reporters/reporter.hpp"
#include "run_capture.hpp"
#include "run_files.hpp"
#include "run_interrupt.hpp"
#include "run_step.hpp"
#include "run_variables.hpp"
#include "text/text.hpp"

namespace plainstep::host {

namespace {

struct RunFlags {
  std::vector<std::string> files;
  std::optional<std::string> url, browser, viewport, snapshots, junit, artifacts, base_url;
  std::vector<std::string> vars, masked;
  std::vector<std::string> reporters{"list"};
  std::string output = "plainstep-report", screenshots = "failures", trace = "off";
  bool headed = false, maximized = false, no_check = false;
  int timeout_ms = 5000;
};

void _apply(const RunFlags& f) {
  if (f.browser) config::BROWSER = *f.browser;
  if (f.headed) config::HEADLESS = false;
  if (f.maximized) config::MAXIMIZED = true;
  if (f.viewport) parse_viewport(*f.viewport, config::VIEWPORT_WIDTH, config::VIEWPORT_HEIGHT);
  if (f.snapshots) {
    settings::SAVE_SNAPSHOTS = true;
    settings::LOG_PATH = *f.snapshots;
  }
}

// What every file of the run shares.
struct RunContext {
  const RunFlags& flags;
  const std::map<std::string, std::string>& vars;
  const CaptureSettings& capture;
  ReporterSet& reporters;
};

StepReport _skipped(const StepLine& line, size_t i) {
  StepReport s;
  s.number = static_cast<int>(i + 1);
  s.line = line.line;
  s.text = line.text;
  s.status = StepStatus::skip;
  return s;
}

// The file's report, or nothing when the run was stopped (Ctrl-C) under it.
std::optional<FileReport> _run_file(size_t index, const ReadyFile& rf, const std::string& rel, RunContext& run) {
  const FileRef ref{index, 1};
  auto start = Clock::now();
  AttemptEnd end;
  end.started = WallClock::now();
  FileReport report;
  report.path = rf.file.path;
  report.url = rf.url;
  run.reporters.attempt_started(ref);
  SessionKeeper keeper;
  AttemptCapture capture(run.capture, keeper, rel, ref.attempt, rf.file.path);
  keeper.before_load = [&](pw::BrowserContext& context) { capture.context_opened(context); };
  bool stopped = false;
  // Ends the attempt and the file for the reports; the browser is closed.
  auto finish = [&](bool could_run) -> std::optional<FileReport> {
    end.passed = report.passed() && !stopped;
    if (stopped) end.error = "the run was interrupted before this attempt ended";
    capture.finish(end);
    try {
      keeper.close();
    } catch (const std::exception& e) {
      end.notes.push_back("closing the browser failed: " + std::string(e.what()));
    }
    report.seconds = seconds_since(start);
    end.seconds = report.seconds;
    run.reporters.attempt_finished(ref, end);
    FileEnd fe;
    fe.index = index;
    fe.status = !could_run ? FileOutcome::error : report.passed() ? FileOutcome::passed : FileOutcome::failed;
    if (!could_run) fe.error = report.error;
    if (stopped) {
      fe.status = FileOutcome::not_run;
      fe.reason = "the run was interrupted while this file ran";
    }
    fe.seconds = report.seconds;
    fe.started = end.started;
    run.reporters.file_finished(fe);
    return stopped ? std::nullopt : std::optional<FileReport>(report);
  };
  try {
    keeper.open(rf.url);
  } catch (const std::exception& e) {
    // A browser that started but could not load the address ran the file
    // and failed it; one that did not start could not run it at all.
    bool loaded_browser = keeper.browser() != nullptr;
    report.error = (loaded_browser ? "the start address " + rf.url + " did not load: "
                                   : "could not open " + rf.url + " in the browser: ") +
                   std::string(e.what());
    end.error = report.error;
    for (size_t i = 0; i < rf.file.steps.size(); ++i) report.steps.push_back(_skipped(rf.file.steps[i], i));
    return finish(loaded_browser);
  }
  RunSettings settings{run.flags.timeout_ms, run.flags.artifacts, run.flags.base_url, run.vars,
                       std::set<std::string>(run.flags.masked.begin(), run.flags.masked.end())};
  StepRunner runner(keeper, settings);
  runner.set_source(rf.file.path);
  // The steps of a shared file are reported as they finish, under the run step.
  runner.on_run_started = [&](const StepReport& s) { run.reporters.step_started(ref, s); };
  runner.on_nested_done = [&](StepReport& s) {
    capture.step_finished(s, runner);
    run.reporters.step_finished(ref, s);
  };
  auto done = [&](StepReport s) {
    capture.step_finished(s, runner);
    run.reporters.step_finished(ref, s);
    report.steps.push_back(std::move(s));
  };
  for (size_t i = 0; i < rf.file.steps.size(); ++i) {
    if (StopRequests::signal()) {
      stopped = true;
      break;
    }
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
    bool failed = s.status == StepStatus::fail;
    done(std::move(s));
    if (failed) {
      for (size_t k = i + 1; k < rf.file.steps.size(); ++k) done(_skipped(rf.file.steps[k], k));
      break;
    }
  }
  return finish(true);
}

// The files with nothing to run are skipped, not refused.
bool _has_steps(const std::string& path) {
  try {
    return !read_step_file(path).steps.empty();
  } catch (const std::exception&) {
    return true;  // preparing it says what is wrong
  }
}

// Why the run cannot write where its flags point, checked before any
// browser starts, or nothing.
std::optional<std::string> _output_problem(const RunFlags& flags, const CaptureSettings& capture) {
  std::vector<std::pair<std::string, std::string>> folders;
  if (settings::SAVE_SNAPSHOTS)
    folders.emplace_back(flags.snapshots ? "--snapshots" : "PLAINSTEP_SNAPSHOTS", settings::LOG_PATH);
  if (flags.artifacts) folders.emplace_back("--artifacts", *flags.artifacts);
  if (flags.junit) {
    std::string parent = std::filesystem::path(*flags.junit).parent_path().string();
    folders.emplace_back("--junit", parent.empty() ? "." : parent);
  }
  for (const auto& [source, dir] : folders)
    if (auto why = folder_problem(dir))
      return source + " folder " + text::quoted_literal(dir) + ": " + *why;
  if (capture.report_folder)
    if (auto why = prepare_report_folder(*capture.report_folder))
      return "--output folder " + text::quoted_literal(*capture.report_folder) + ": " + *why;
  return std::nullopt;
}

int _run(const RunFlags& flags) {
  auto start = Clock::now();
  auto started = WallClock::now();
  _apply(flags);
  std::map<std::string, std::string> vars;
  for (const auto& arg : flags.vars) {
    try {
      vars.insert_or_assign(parse_var_argument(arg).first, parse_var_argument(arg).second);
    } catch (const std::invalid_argument& e) {
      std::cerr << "plainstep run: " << e.what() << "\n";
      return EXIT_USAGE;
    }
  }
  std::unique_ptr<ReporterSet> reporters;
  CaptureSettings capture;
  try {
    reporters = std::make_unique<ReporterSet>(
        ReporterSettings{flags.reporters, flags.output, flags.junit, &std::cout, isatty(STDOUT_FILENO) == 1});
    capture.screenshots = screenshot_mode(flags.screenshots);
    capture.trace = trace_mode(flags.trace);
  } catch (const std::invalid_argument& e) {
    std::cerr << "plainstep run: " << e.what() << "\n";
    return EXIT_USAGE;
  }
  capture.report_artifacts = reporters->writes_report_folder();
  if (capture.report_artifacts || capture.trace != TraceMode::off) capture.report_folder = flags.output;
  capture.artifacts = flags.artifacts;
  // Folders the run writes into are checked before any browser starts: a
  // snapshot folder that is a file must not fail the first step instead.
  if (auto why = _output_problem(flags, capture)) {
    std::cerr << "plainstep run: " << *why << "\n";
    return EXIT_USAGE;
  }
  std::vector<std::string> to_run;
  for (const auto& path : flags.files)
    if (_has_steps(path)) to_run.push_back(path);
  auto ready = prepare_files(to_run, flags.url, !flags.no_check, std::cerr, vars);
  if (!ready) return EXIT_USAGE;
  const std::set<std::string> masked(flags.masked.begin(), flags.masked.end());
  if (capture.trace != TraceMode::off && Variables(vars, masked).has_secrets())
    std::cerr << "plainstep run: note: traces record what was typed and shown unmasked, secrets included\n";

  RunStart plan;
  plan.started = started;
  auto [root, rels] = common_folder(flags.files);
  plan.root = root;
  plan.options = {config::BROWSER, 1, 0, std::nullopt, flags.timeout_ms, flags.base_url};
  std::vector<const ReadyFile*> by_index(flags.files.size(), nullptr);
  for (size_t i = 0, r = 0; i < flags.files.size(); ++i) {
    PlannedFile f{flags.files[i], rels[i], ""};
    if (r < ready->size() && (*ready)[r].file.path == flags.files[i]) {
      by_index[i] = &(*ready)[r++];
      f.url = by_index[i]->url;
    }
    plan.files.push_back(f);
  }
  StopRequests stops;
  reporters->run_started(plan);
  RunContext run{flags, vars, capture, *reporters};
  std::vector<FileReport> reports;
  size_t not_run = flags.files.size();  // not started, or stopped under
  for (size_t i = 0; i < flags.files.size() && !StopRequests::signal(); ++i) {
    if (by_index[i]) {
      auto r = _run_file(i, *by_index[i], rels[i], run);
      if (!r) break;
      --not_run;
      reports.push_back(std::move(*r));
      continue;
    }
    --not_run;
    FileEnd skipped;
    skipped.index = i;
    skipped.status = FileOutcome::skipped;
    skipped.reason = "it has no steps to run";
    reporters->file_finished(skipped);
  }
  double total = seconds_since(start);
  const int stopped_by = StopRequests::signal();
  auto problems = reporters->run_finished(total, stopped_by != 0);
  std::cout << "\n";
  print_summary(std::cout, reports, total);
  if (stopped_by)
    std::cout << "interrupted: " << not_run << " of " << flags.files.size() << " files not run or not finished\n";
  for (const auto& line : reporters->written()) std::cout << line << "\n";
  for (const auto& p : problems) std::cerr << "plainstep run: " << p << "\n";
  if (stopped_by) return 128 + stopped_by;
  if (!problems.empty()) return EXIT_USAGE;
  for (const auto& r : reports)
    if (!r.passed()) return EXIT_FAILED;
  return EXIT_OK;
}

const RegisterCommand _cmd(
    "run", "Run step files in a real browser and report every step", 10, [](CLI::App& app) {
      auto f = std::make_shared<RunFlags>();
      app.add_option("files", f->files, "Step files to run, one browser session each")
          ->required()->type_name("FILE");
      app.add_option("--url", f->url, "Start address for every file, instead of its url: line")
          ->envname("PLAINSTEP_URL")->type_name("URL");
      app.add_option("--browser", f->browser,
                     "Browser type: chromium, firefox, webkit (safari) [env PLAINSTEP_BROWSER]")
          ->type_name("NAME");
      app.add_flag("--headed", f->headed, "Show the browser window [env PLAINSTEP_HEADLESS=false]");
      app.add_flag("--maximized", f->maximized,
                   "Maximised window, no fixed viewport [env PLAINSTEP_MAXIMIZED=true]");
      app.add_option("--viewport", f->viewport, "Viewport size, such as 1280x720 [env PLAINSTEP_VIEWPORT]")
          ->type_name("WxH");
      app.add_option("--timeout", f->timeout_ms,
                     "How long a step waits for its target, check, dialog or action (default 5000)")
          ->envname("PLAINSTEP_TIMEOUT")->type_name("MS")->check(CLI::Range(1, 3600000));
      app.add_option("--snapshots", f->snapshots,
                     "Save a snapshot of every page read into DIR [env PLAINSTEP_SNAPSHOTS]")
          ->type_name("DIR");
      app.add_option("--reporter", f->reporters,
                     "How the run is reported: list (every step, the default), dot, line, json, junit, "
                     "html; several separated by commas [env PLAINSTEP_REPORTER]")
          ->envname("PLAINSTEP_REPORTER")->type_name("NAME[,NAME...]")->delimiter(',')->allow_extra_args(false);
      app.add_option("--output", f->output,
                     "Folder of the json, junit and html reports, their screenshots and traces "
                     "(default plainstep-report)")
          ->envname("PLAINSTEP_OUTPUT")->type_name("DIR");
      app.add_option("--screenshots", f->screenshots,
                     "Screenshots in the reports: on (after every step), failures (the default), off")
          ->envname("PLAINSTEP_SCREENSHOTS")->type_name("WHEN");
      app.add_option("--trace", f->trace,
                     "Record a Playwright trace of each file: on, retain-on-failure, off (the default)")
          ->envname("PLAINSTEP_TRACE")->type_name("WHEN");
      app.add_option("--junit", f->junit, "Write a JUnit XML report to FILE")
          ->envname("PLAINSTEP_JUNIT")->type_name("FILE");
      app.add_option("--artifacts", f->artifacts,
                     "On failure, save a screenshot (candidates framed) and the page's snapshot into DIR")
          ->envname("PLAINSTEP_ARTIFACTS")->type_name("DIR");
      app.add_flag("--no-check", f->no_check, "Run files even when their wording has issues")
          ->envname("PLAINSTEP_NO_CHECK");
      app.add_option("--var", f->vars, "Set a variable steps use as ${NAME} (repeatable)")
          ->type_name("NAME=VALUE")->allow_extra_args(false);
      app.add_option("--mask", f->masked,
                     "Show the value of this variable as **** everywhere, as for names holding "
                     "PASSWORD, SECRET, TOKEN or KEY (repeatable)")
          ->type_name("NAME")->allow_extra_args(false);
      app.add_option("--base-url", f->base_url,
                     "What relative go to and verify url addresses are taken from")
          ->envname("PLAINSTEP_BASE_URL")->type_name("URL");
      app.footer(
          "Exit status: 0 every file passed, 1 a file failed, 2 usage or input errors, 130 (143)\n"
          "stopped by Ctrl-C (SIGTERM): once, after the step running, with every report written;\n"
          "twice, at once.\n"
          "Environment: PLAINSTEP_URL, PLAINSTEP_BROWSER, PLAINSTEP_HEADLESS, PLAINSTEP_MAXIMIZED,\n"
          "PLAINSTEP_VIEWPORT, PLAINSTEP_TIMEOUT, PLAINSTEP_SNAPSHOTS, PLAINSTEP_JUNIT,\n"
          "PLAINSTEP_ARTIFACTS, PLAINSTEP_NO_CHECK, PLAINSTEP_BASE_URL, PLAINSTEP_REPORTER,\n"
          "PLAINSTEP_OUTPUT, PLAINSTEP_SCREENSHOTS, PLAINSTEP_TRACE; a flag overrides its variable.");
      return [f] { return _run(*f); };
    });

}  // namespace
}  // namespace plainstep::host
