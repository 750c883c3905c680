// plainstep run FILE...: runs step files in a real browser, one session per
// file, one line per step as it finishes, then the summary.
#include <filesystem>
#include <iostream>

#include "command.hpp"
#include "config.hpp"
#include "file_write.hpp"
#include "host_config.hpp"
#include "run_files.hpp"
#include "run_step.hpp"
#include "run_variables.hpp"
#include "text/text.hpp"

namespace plainstep::host {

namespace {

struct RunFlags {
  std::vector<std::string> files;
  std::optional<std::string> url, browser, viewport, snapshots, junit, artifacts, base_url, connect, cdp;
  std::vector<std::string> vars, masked;
  bool headed = false, maximized = false, no_check = false;
  int timeout_ms = 5000;
};

void _apply(const RunFlags& f) {
  if (f.browser) config::BROWSER = *f.browser;
  if (f.headed) config::HEADLESS = false;
  if (f.maximized) config::MAXIMIZED = true;
  if (f.viewport) parse_viewport(*f.viewport, config::VIEWPORT_WIDTH, config::VIEWPORT_HEIGHT);
  // A flag replaces both variables: one remote browser per run.
  if (f.connect || f.cdp) {
    config::CONNECT_ENDPOINT = f.connect.value_or("");
    config::CDP_ENDPOINT = f.cdp.value_or("");
  }
  if (f.snapshots) {
    settings::SAVE_SNAPSHOTS = true;
    settings::LOG_PATH = *f.snapshots;
  }
}

void _skip_rest(FileReport& report, const StepFile& file, size_t from, std::ostream& out) {
  for (size_t i = from; i < file.steps.size(); ++i) {
    StepReport s;
    s.number = static_cast<int>(i + 1);
    s.line = file.steps[i].line;
    s.text = file.steps[i].text;
    s.status = StepStatus::skip;
    print_step(out, s);
    report.steps.push_back(s);
  }
}

FileReport _run_file(const ReadyFile& rf, const RunFlags& flags,
                     const std::map<std::string, std::string>& vars, std::ostream& out) {
  auto start = Clock::now();
  FileReport report;
  report.path = rf.file.path;
  report.url = rf.url;
  out << "== " << terminal_safe(rf.file.path) << "  (" << terminal_safe(rf.url) << ")\n" << std::flush;
  SessionKeeper keeper;
  try {
    keeper.open(rf.url);
  } catch (const std::exception& e) {
    report.error = "could not open " + rf.url + " in the browser: " + std::string(e.what());
    out << "  " << *report.error << "\n";
    _skip_rest(report, rf.file, 0, out);
    try { keeper.close(); } catch (...) {}
    report.seconds = seconds_since(start);
    return report;
  }
  RunSettings settings{flags.timeout_ms, flags.artifacts, flags.base_url, vars,
                       std::set<std::string>(flags.masked.begin(), flags.masked.end())};
  StepRunner runner(keeper, settings);
  runner.set_source(rf.file.path);
  // The steps of a shared file show as they finish, under the run step.
  runner.on_run_started = [&](const StepReport& s) { print_step_start(out, s); out << std::flush; };
  runner.on_nested_done = [&](const StepReport& s) { print_step(out, s); out << std::flush; };
  std::string stem = std::filesystem::path(rf.file.path).stem().string();
  for (size_t i = 0; i < rf.file.steps.size(); ++i) {
    const StepLine& line = rf.file.steps[i];
    StepReport s;
    try {
      s = runner.run(static_cast<int>(i + 1), line.line, line.text);
    } catch (const std::exception& e) {  // the driver or browser is gone
      s.number = static_cast<int>(i + 1);
      s.line = line.line;
      s.text = line.text;
      s.status = StepStatus::fail;
      std::string why = e.what();
      s.details.push_back(why.starts_with("the browser stopped answering") ? why
                                                                            : "the browser stopped answering: " + why);
    }
    if (s.status == StepStatus::fail && flags.artifacts)
      for (const auto& a : save_artifacts(keeper, runner.evidence(), *flags.artifacts, stem, s.number,
                                          &runner.variables()))
        s.details.push_back("artifact: " + a);
    print_step(out, s);
    out << std::flush;
    report.steps.push_back(s);
    if (s.status == StepStatus::fail) {
      _skip_rest(report, rf.file, i + 1, out);
      break;
    }
  }
  try {
    keeper.close();
  } catch (const std::exception& e) {
    out << "  (closing the browser failed: " << e.what() << ")\n";
  }
  report.seconds = seconds_since(start);
  return report;
}

int _run(const RunFlags& flags) {
  auto start = Clock::now();
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
  // Folders the run writes into are checked before any browser starts: a
  // snapshot folder that is a file must not fail the first step instead.
  std::vector<std::pair<std::string, std::string>> folders;
  if (settings::SAVE_SNAPSHOTS)
    folders.emplace_back(flags.snapshots ? "--snapshots" : "PLAINSTEP_SNAPSHOTS", settings::LOG_PATH);
  if (flags.artifacts) folders.emplace_back("--artifacts", *flags.artifacts);
  for (const auto& [source, dir] : folders)
    if (auto why = folder_problem(dir)) {
      std::cerr << "plainstep run: " << source << " folder " << text::quoted_literal(dir) << ": " << *why
                << "\n";
      return EXIT_USAGE;
    }
  auto ready = prepare_files(flags.files, flags.url, !flags.no_check, std::cerr, vars);
  if (!ready) return EXIT_USAGE;
  if (auto problem = remote_browser_problem()) {
    std::cerr << "plainstep run: " << *problem << "\n";
    return EXIT_USAGE;
  }
  std::vector<FileReport> reports;
  for (const auto& rf : *ready) reports.push_back(_run_file(rf, flags, vars, std::cout));
  double total = seconds_since(start);
  std::cout << "\n";
  print_summary(std::cout, reports, total);
  if (flags.junit) {
    try {
      write_junit(*flags.junit, reports, total);
    } catch (const std::exception& e) {
      std::cerr << "plainstep run: " << e.what() << "\n";
      return EXIT_USAGE;
    }
  }
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
      auto connect = app.add_option("--connect", f->connect,
                                    "Run on a Playwright browser server instead of a local browser "
                                    "[env PLAINSTEP_CONNECT]")
                         ->type_name("ws://HOST:PORT/PATH");
      app.add_option("--cdp", f->cdp,
                     "Run on a running Chromium started with --remote-debugging-port [env PLAINSTEP_CDP]")
          ->type_name("http://HOST:PORT")->excludes(connect);
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
      app.add_option("--junit", f->junit, "Write a JUnit XML report to FILE")
          ->envname("PLAINSTEP_JUNIT")->type_name("FILE");
      app.add_option("--artifacts", f->artifacts,
                     "On failure, save a screenshot and the page's snapshot into DIR")
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
          "Exit status: 0 every file passed, 1 a file failed, 2 usage or input errors.\n"
          "Environment: PLAINSTEP_URL, PLAINSTEP_BROWSER, PLAINSTEP_HEADLESS, PLAINSTEP_MAXIMIZED,\n"
          "PLAINSTEP_VIEWPORT, PLAINSTEP_TIMEOUT, PLAINSTEP_SNAPSHOTS, PLAINSTEP_JUNIT,\n"
          "PLAINSTEP_ARTIFACTS, PLAINSTEP_NO_CHECK, PLAINSTEP_BASE_URL, PLAINSTEP_CONNECT, PLAINSTEP_CDP,\n"
          "PLAINSTEP_CONNECT_TIMEOUT (seconds to reach a remote browser, default 30); a flag overrides\n"
          "its variable.");
      return [f] { return _run(*f); };
    });

}  // namespace
}  // namespace plainstep::host
