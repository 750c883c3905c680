#pragma once
// The flags of plainstep run, and the configuration file that sets them:
// a flag wins over its environment variable, the variable over the file,
// the file over the default.
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "run_suite.hpp"

namespace plainstep::host {

struct RunFlags {
  std::vector<std::string> paths;
  std::optional<std::string> url, browser, viewport, snapshots, junit, artifacts, base_url, shard, config, connect, cdp;
  std::vector<std::string> vars, masked, grep, tags;
  std::vector<std::string> reporters{"list"};
  std::string output = "plainstep-report", screenshots = "failures", trace = "off";
  bool headed = false, maximized = false, no_check = false;
  int timeout_ms = 5000;
  std::optional<int> workers;
  int retries = 0, max_failures = 0;
};

// The file read when no --config is given: in the working folder.
inline constexpr const char* CONFIG_FILE = "plainstep.toml";

// Adds every run flag to `app`, bound to `flags`.
void add_run_flags(CLI::App& app, RunFlags& flags);

// Reads --config FILE, else ./plainstep.toml when there is one, and sets
// each flag the command line and its environment variable left unset;
// --var and --mask add to the file's lists instead. Keys are flag names
// without their dashes ("max_failures" or "max-failures"), at the top of
// the file or under [run]. Throws std::invalid_argument naming the file,
// and the key, when it cannot be read, a key is no run flag, or a value is
// wrong. Call after `app` has parsed the command line.
void apply_config_file(CLI::App& app, RunFlags& flags);

// The runner's options from the flags. Throws std::invalid_argument on a
// bad --shard, --var, --screenshots or --trace. Where the reports go is
// the caller's to add (capture.report_folder).
SuiteOptions suite_options(const RunFlags& flags);

}  // namespace plainstep::host
