// plainstep run PATH...: runs step files and folders of them in a real
// browser through the runner library; its reporters show every step (or
// a dot for it, or one line of progress) and write the JSON, JUnit and
// HTML reports; Ctrl-C stops the run cleanly, with every report written.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <thread>

#include "cmd_run_flags.hpp"
#include "command.hpp"
#include "browser/session_keeper/session_keeper.hpp"
#include "config.hpp"
#include "file_write.hpp"
#include "host_config.hpp"
#include "reporters/reporter.hpp"
#include "run_console.hpp"
#include "run_suite.hpp"
#include "run_variables.hpp"
#include "text/text.hpp"

namespace plainstep::host {

namespace {

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

int _signal_pipe[2] = {-1, -1};
std::atomic<int> _signal_seen{0};
std::atomic<pid_t> _signal_sender{0};

// Only tells the watcher; a second signal ends the process at once (the
// drivers end with it, and their browsers with them).
void _on_signal(int sig, siginfo_t* info, void*) {
  if (_signal_seen.exchange(sig) != 0) {
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  if (info && info->si_code == SI_USER) _signal_sender = info->si_pid;
  unsigned char b = static_cast<unsigned char>(sig);
  (void)!write(_signal_pipe[1], &b, 1);
}

// While it lives, SIGINT and SIGTERM stop the suite: no file starts, the
// running ones end, and the run reports what finished.
class SignalStop {
 public:
  explicit SignalStop(SuiteRunner& suite) {
    if (pipe2(_signal_pipe, O_CLOEXEC) != 0) return;
    struct sigaction sa {};
    sa.sa_sigaction = _on_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART | SA_SIGINFO;
    sigaction(SIGINT, &sa, &old_int_);
    sigaction(SIGTERM, &sa, &old_term_);
    watcher_ = std::thread([&suite] {
      unsigned char b = 0;
      while (read(_signal_pipe[0], &b, 1) < 0 && errno == EINTR) {
      }
      if (b == 0) return;  // the run ended first
      std::string name = b == SIGINT ? "SIGINT" : b == SIGTERM ? "SIGTERM" : "signal " + std::to_string(b);
      // Who sent it, when another program did: a CI runner's timeout, say.
      std::string from = _signal_sender > 0 ? " from process " + std::to_string(_signal_sender.load()) : "";
      std::cerr << "plainstep run: " << name << from << ": stopping the running files (again to quit at once)\n"
                << std::flush;
      suite.stop("the run was interrupted (" + name + ")");
    });
  }
  ~SignalStop() {
    if (!watcher_.joinable()) return;
    sigaction(SIGINT, &old_int_, nullptr);
    sigaction(SIGTERM, &old_term_, nullptr);
    unsigned char zero = 0;
    (void)!write(_signal_pipe[1], &zero, 1);
    watcher_.join();
    close(_signal_pipe[0]);
    close(_signal_pipe[1]);
  }
  // The signal that stopped the run, or 0.
  int signal_number() const { return _signal_seen.load(); }

 private:
  struct sigaction old_int_ {}, old_term_ {};
  std::thread watcher_;
};

// Each event told to `first`, then to `second`.
SuiteEvents _both(SuiteEvents first, SuiteEvents second) {
  auto join = [](auto a, auto b) -> decltype(a) {
    if (!a) return b;
    if (!b) return a;
    return [a, b](const auto&... args) {
      a(args...);
      b(args...);
    };
  };
  return {join(first.planned, second.planned),
          join(first.attempt_started, second.attempt_started),
          join(first.run_step_started, second.run_step_started),
          join(first.step_done, second.step_done),
          join(first.note, second.note),
          join(first.file_done, second.file_done)};
}

// Why the run cannot write where its flags point, checked before any
// browser starts: a snapshot folder that is a file must not fail the first
// step instead.
std::optional<std::string> _output_problem(const RunFlags& flags, const SuiteOptions& options) {
  std::vector<std::pair<std::string, std::string>> folders;
  if (options.snapshots)
    folders.emplace_back(flags.snapshots ? "--snapshots" : "PLAINSTEP_SNAPSHOTS", *options.snapshots);
  if (options.artifacts) folders.emplace_back("--artifacts", *options.artifacts);
  if (flags.junit) {
    std::string parent = std::filesystem::path(*flags.junit).parent_path().string();
    folders.emplace_back("--junit", parent.empty() ? "." : parent);
  }
  for (const auto& [source, dir] : folders)
    if (auto why = folder_problem(dir)) return source + " folder " + text::quoted_literal(dir) + ": " + *why;
  if (options.capture.report_folder)
    if (auto why = prepare_report_folder(*options.capture.report_folder))
      return "--output folder " + text::quoted_literal(*options.capture.report_folder) + ": " + *why;
  return std::nullopt;
}

// What the progress line needs: a terminal that takes \r and erasing.
bool _progress_terminal() {
  const char* term = std::getenv("TERM");
  return isatty(STDOUT_FILENO) && !(term && std::string(term) == "dumb");
}

int _run(RunFlags& flags, CLI::App& app) {
  SuiteOptions options;
  std::unique_ptr<ReporterSet> reporters;
  try {
    apply_config_file(app, flags);
    _apply(flags);
    options = suite_options(flags);
    reporters = std::make_unique<ReporterSet>(
        ReporterSettings{flags.reporters, flags.output, flags.junit, &std::cout, _progress_terminal()});
  } catch (const std::invalid_argument& e) {
    std::cerr << "plainstep run: " << e.what() << "\n";
    return EXIT_USAGE;
  }
  // Screenshots go where a report shows them; traces into the report folder.
  options.capture.report_artifacts = reporters->writes_report_folder();
  if (options.capture.report_artifacts || options.capture.trace != TraceMode::off)
    options.capture.report_folder = flags.output;
  if (auto why = _output_problem(flags, options)) {
    std::cerr << "plainstep run: " << *why << "\n";
    return EXIT_USAGE;
  }
  if (options.capture.trace != TraceMode::off && Variables(options.vars, options.masked).has_secrets())
    std::cerr << "plainstep run: note: traces record what was typed and shown unmasked, secrets included\n";
  if (auto problem = remote_browser_problem()) {
    std::cerr << "plainstep run: " << *problem << "\n";
    return EXIT_USAGE;
  }
  ConsoleReport console(std::cout, std::cerr, options.workers == 1, _progress_terminal(), options.retries,
                        reporters->terminal() == "list");
  ReportOptions shown{config::BROWSER, options.workers, options.retries, flags.shard, options.timeout_ms,
                      options.base_url};
  SuiteRunner suite(options, _both(console.events(), reporters->events(shown)));
  SuiteReport report;
  int stopped_by = 0;
  {
    SignalStop signals(suite);
    try {
      report = suite.run(flags.paths);
    } catch (const std::invalid_argument& e) {
      std::cerr << "plainstep run: " << e.what() << "\n";
      return EXIT_USAGE;
    }
    stopped_by = signals.signal_number();
  }
  auto problems = reporters->run_finished(report.seconds, stopped_by != 0 || report.stopped.has_value());
  console.finish(report);
  for (const auto& line : reporters->written()) std::cout << line << "\n";
  for (const auto& p : problems) std::cerr << "plainstep run: " << p << "\n";
  if (stopped_by) return 128 + stopped_by;
  if (!problems.empty() || report.count(FileStatus::invalid)) return EXIT_USAGE;
  if (report.count(FileStatus::failed)) return EXIT_FAILED;
  return EXIT_OK;
}

const RegisterCommand _run_command(
    "run", "Run step files and folders of them in a real browser and report every step", 10,
    [](CLI::App& app) {
      auto f = std::make_shared<RunFlags>();
      add_run_flags(app, *f);
      app.footer(
          "Exit status: 0 every file passed (flaky ones too), 1 a file failed, 2 usage or input errors\n"
          "(a path that gives no file among them), 130 on Ctrl-C, 143 on SIGTERM.\n"
          "Settings: a flag overrides its environment variable, a variable overrides plainstep.toml in\n"
          "the working folder (or --config FILE), and the file overrides the defaults. The file's keys\n"
          "are the flag names without dashes, such as workers = 2 or base_url = \"http://localhost:8080\".\n"
          "Environment: PLAINSTEP_URL, PLAINSTEP_BROWSER, PLAINSTEP_HEADLESS, PLAINSTEP_MAXIMIZED,\n"
          "PLAINSTEP_VIEWPORT, PLAINSTEP_TIMEOUT, PLAINSTEP_SNAPSHOTS, PLAINSTEP_JUNIT, PLAINSTEP_ARTIFACTS,\n"
          "PLAINSTEP_NO_CHECK, PLAINSTEP_BASE_URL, PLAINSTEP_WORKERS, PLAINSTEP_SHARD, PLAINSTEP_RETRIES,\n"
          "PLAINSTEP_MAX_FAILURES, PLAINSTEP_CONFIG, PLAINSTEP_REPORTER, PLAINSTEP_OUTPUT,\n"
          "PLAINSTEP_SCREENSHOTS, PLAINSTEP_TRACE, PLAINSTEP_CONNECT, PLAINSTEP_CDP,\n"
          "PLAINSTEP_CONNECT_TIMEOUT (seconds to reach a remote browser, default 30).");
      CLI::App* sub = &app;
      return [f, sub] { return _run(*f, *sub); };
    });

}  // namespace
}  // namespace plainstep::host
