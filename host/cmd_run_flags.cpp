#include "cmd_run_flags.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "config.hpp"
#include "run_variables.hpp"
#include "text/text.hpp"

namespace plainstep::host {

namespace {

// Flags whose variable the host reads itself (into config::), not CLI11:
// a file must not win over the variable either.
constexpr std::pair<const char*, const char*> _HOST_VARIABLES[] = {
    {"browser", "PLAINSTEP_BROWSER"},   {"headed", "PLAINSTEP_HEADLESS"},
    {"maximized", "PLAINSTEP_MAXIMIZED"}, {"viewport", "PLAINSTEP_VIEWPORT"},
    {"snapshots", "PLAINSTEP_SNAPSHOTS"},
};

bool _set_in_environment(const CLI::Option& op, const std::string& key) {
  std::string name = op.get_envname();
  for (const auto& [flag, variable] : _HOST_VARIABLES)
    if (key == flag) name = variable;
  const char* v = name.empty() ? nullptr : std::getenv(name.c_str());
  return v && *v;
}

// "max_failures, timeout, ...": what a file may set.
std::string _known_keys(const CLI::App& app) {
  std::vector<std::string> keys;
  for (const CLI::Option* op : app.get_options())
    if (op->get_configurable() && !op->get_lnames().empty() && op->get_lnames().front() != "help")
      keys.push_back(op->get_lnames().front());
  return text::join(keys, ", ");
}

}  // namespace

void add_run_flags(CLI::App& app, RunFlags& f) {
  app.add_option("paths", f.paths, "Step files, and folders to run every *.steps file below")
      ->required()->type_name("PATH")->configurable(false);
  app.add_option("--config", f.config,
                 "Read settings from FILE instead of plainstep.toml in the working folder")
      ->envname("PLAINSTEP_CONFIG")->type_name("FILE")->configurable(false);
  app.add_option("--workers", f.workers,
                 "Files run at once, each worker with a browser of its own (default: half the cores)")
      ->envname("PLAINSTEP_WORKERS")->type_name("N")->check(CLI::Range(1, 256));
  app.add_option("--shard", f.shard, "Run only the K-th of N slices of the files, such as 2/4")
      ->envname("PLAINSTEP_SHARD")->type_name("K/N");
  app.add_option("--retries", f.retries,
                 "Run a failing file again, up to N times, in a fresh context; one that then passes is flaky")
      ->envname("PLAINSTEP_RETRIES")->type_name("N")->check(CLI::Range(0, 100));
  app.add_option("--max-failures", f.max_failures,
                 "Start no file once N files failed; the rest are reported as not run (0: no limit)")
      ->envname("PLAINSTEP_MAX_FAILURES")->type_name("N")->check(CLI::Range(0, 1000000));
  app.add_option("--grep", f.grep,
                 "Run only files whose path or # tags: line contains TEXT, in any case (repeatable)")
      ->type_name("TEXT")->allow_extra_args(false);
  app.add_option("--tag", f.tags, "Run only files whose # tags: line has NAME (repeatable)")
      ->type_name("NAME")->allow_extra_args(false);
  app.add_option("--url", f.url, "Start address for every file, instead of its url: line")
      ->envname("PLAINSTEP_URL")->type_name("URL");
  app.add_option("--browser", f.browser,
                 "Browser type: chromium, firefox, webkit (safari) [env PLAINSTEP_BROWSER]")
      ->type_name("NAME");
  auto connect = app.add_option("--connect", f.connect,
                                "Run on a Playwright browser server instead of a local browser "
                                "[env PLAINSTEP_CONNECT]")
                     ->type_name("ws://HOST:PORT/PATH");
  app.add_option("--cdp", f.cdp,
                 "Run on a running Chromium started with --remote-debugging-port [env PLAINSTEP_CDP]")
      ->type_name("http://HOST:PORT")->excludes(connect);
  app.add_flag("--headed", f.headed, "Show the browser window [env PLAINSTEP_HEADLESS=false]");
  app.add_flag("--maximized", f.maximized,
               "Maximised window, no fixed viewport [env PLAINSTEP_MAXIMIZED=true]");
  app.add_option("--viewport", f.viewport, "Viewport size, such as 1280x720 [env PLAINSTEP_VIEWPORT]")
      ->type_name("WxH");
  app.add_option("--timeout", f.timeout_ms,
                 "How long a step waits for its target, check, dialog or action (default 5000)")
      ->envname("PLAINSTEP_TIMEOUT")->type_name("MS")->check(CLI::Range(1, 3600000));
  app.add_option("--snapshots", f.snapshots,
                 "Save a snapshot of every page read into DIR [env PLAINSTEP_SNAPSHOTS]")
      ->type_name("DIR");
  app.add_option("--reporter", f.reporters,
                 "How the run is reported: list (every step, the default), dot, line, json, junit, "
                 "html; several separated by commas")
      ->envname("PLAINSTEP_REPORTER")->type_name("NAME[,NAME...]")->delimiter(',')->allow_extra_args(false);
  app.add_option("--output", f.output,
                 "Folder of the json, junit and html reports, their screenshots and traces "
                 "(default plainstep-report)")
      ->envname("PLAINSTEP_OUTPUT")->type_name("DIR");
  app.add_option("--screenshots", f.screenshots,
                 "Screenshots in the reports: on (after every step), failures (the default), off")
      ->envname("PLAINSTEP_SCREENSHOTS")->type_name("WHEN");
  app.add_option("--trace", f.trace,
                 "Record a Playwright trace of each file: on, retain-on-failure, off (the default)")
      ->envname("PLAINSTEP_TRACE")->type_name("WHEN");
  app.add_option("--junit", f.junit, "Write a JUnit XML report to FILE")
      ->envname("PLAINSTEP_JUNIT")->type_name("FILE");
  app.add_option("--artifacts", f.artifacts,
                 "On failure, save a screenshot (candidates framed) and the page's snapshot into DIR")
      ->envname("PLAINSTEP_ARTIFACTS")->type_name("DIR");
  app.add_flag("--no-check", f.no_check, "Run files even when their wording has issues")
      ->envname("PLAINSTEP_NO_CHECK");
  app.add_option("--var", f.vars, "Set a variable steps use as ${NAME} (repeatable)")
      ->type_name("NAME=VALUE")->allow_extra_args(false);
  app.add_option("--mask", f.masked,
                 "Show the value of this variable as **** everywhere, as for names holding "
                 "PASSWORD, SECRET, TOKEN or KEY (repeatable)")
      ->type_name("NAME")->allow_extra_args(false);
  app.add_option("--base-url", f.base_url,
                 "What url: lines starting with /, and relative go to and verify url addresses, are taken from")
      ->envname("PLAINSTEP_BASE_URL")->type_name("URL");
}

void apply_config_file(CLI::App& app, RunFlags& flags) {
  namespace fs = std::filesystem;
  std::string path = flags.config.value_or(CONFIG_FILE);
  std::error_code ec;
  if (!flags.config && !fs::exists(path, ec)) return;
  if (fs::is_directory(path, ec)) throw std::invalid_argument(path + ": cannot read the settings: it is a folder");
  std::ifstream in(path);
  if (!in) throw std::invalid_argument(path + ": cannot read the settings: " + std::strerror(errno));
  std::vector<CLI::ConfigItem> items;
  try {
    items = CLI::ConfigTOML().from_config(in);
  } catch (const CLI::Error& e) {
    throw std::invalid_argument(path + ": " + e.what());
  }
  for (const auto& item : items) {
    if (item.name == "++" || item.name == "--") continue;  // a section opens or closes
    std::string key = item.name;
    std::replace(key.begin(), key.end(), '_', '-');
    bool in_run = item.parents.empty() || (item.parents.size() == 1 && item.parents.front() == "run");
    CLI::Option* op = in_run ? app.get_option_no_throw("--" + key) : nullptr;
    if (!op || !op->get_configurable())
      throw std::invalid_argument(path + ": unknown key " + text::quoted_literal(item.fullname()) +
                                  " (the keys are the flags of plainstep run without their dashes: " +
                                  _known_keys(app) + ")");
    try {
      // Variables and masks add to the file's, the command line's last.
      if (key == "var" || key == "mask") {
        auto& list = key == "var" ? flags.vars : flags.masked;
        for (const auto& v : item.inputs)
          if (key == "var") parse_var_argument(v);
        list.insert(list.begin(), item.inputs.begin(), item.inputs.end());
        continue;
      }
      if (!op->empty() || _set_in_environment(*op, key)) continue;
      if (op->get_expected_min() == 0)
        op->add_result(op->get_flag_value(item.name, CLI::ConfigTOML().to_flag(item)));
      else
        op->add_result(item.inputs);
      op->run_callback();
    } catch (const std::exception& e) {
      throw std::invalid_argument(path + ": " + item.fullname() + ": " + e.what());
    }
  }
}

SuiteOptions suite_options(const RunFlags& f) {
  SuiteOptions o;
  o.url = f.url;
  if (f.shard) o.shard = parse_shard(*f.shard);
  o.selection = Selection{f.grep, f.tags};
  o.check_wording = !f.no_check;
  o.workers = f.workers.value_or(default_workers());
  o.retries = f.retries;
  o.max_failures = f.max_failures;
  o.timeout_ms = f.timeout_ms;
  o.base_url = f.base_url;
  for (const auto& arg : f.vars) {
    auto [name, value] = parse_var_argument(arg);
    o.vars.insert_or_assign(name, value);
  }
  o.masked = std::set<std::string>(f.masked.begin(), f.masked.end());
  o.artifacts = f.artifacts;
  o.capture.artifacts = f.artifacts;
  o.capture.screenshots = screenshot_mode(f.screenshots);
  o.capture.trace = trace_mode(f.trace);
  if (settings::SAVE_SNAPSHOTS) o.snapshots = settings::LOG_PATH;
  return o;
}

}  // namespace plainstep::host
