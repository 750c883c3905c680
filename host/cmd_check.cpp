// plainstep check PATH...: the wording issues of step files (and of the
// step files below folders), one "FILE:LINE: message" line each, without
// a browser.
#include <iostream>

#include "command.hpp"
#include "run_files.hpp"
#include "run_plan.hpp"
#include "run_variables.hpp"
#include "step_file.hpp"

namespace plainstep::host {
namespace {

std::string _count(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Prints the issues of one file, and of the files its run steps run;
// returns how many there were.
size_t _check_file(const StepFile& file, const WordingOptions& options) {
  size_t issues = 0;
  for (const std::string& line : wording_issues(file, options)) {
    std::cout << line << "\n";
    ++issues;
  }
  if (file.steps.empty()) {
    std::cout << file.path << ":1: no steps in this file\n";
    ++issues;
  }
  return issues;
}

int _check(const std::vector<std::string>& paths, const std::vector<std::string>& var_args) {
  // A step may use what --var gives the run; the environment counts too.
  WordingOptions options{false, true, {}};
  for (const auto& arg : var_args) {
    try {
      options.vars.insert(parse_var_argument(arg));
    } catch (const std::invalid_argument& e) {
      std::cerr << "plainstep check: " << e.what() << "\n";
      return EXIT_USAGE;
    }
  }
  size_t issues = 0, checked = 0, unreadable = 0;
  // Folders give every step file below them, but for the shared steps
  // their files run: those are checked in place, through the files.
  std::vector<std::pair<PathEntry, StepFile>> files;
  std::set<std::string> shared;
  for (const PathEntry& entry : expand_paths(paths)) {
    try {
      if (entry.error) throw std::invalid_argument(entry.path + ": " + *entry.error);
      StepFile file = read_step_file(entry.path);
      shared.merge(files_run_by(file, options.vars));
      files.emplace_back(entry, std::move(file));
    } catch (const std::invalid_argument& e) {
      std::cerr << "plainstep check: " << e.what() << "\n";
      ++unreadable;
    }
  }
  for (const auto& [entry, file] : files) {
    if (shared_steps(entry, file, shared)) continue;
    issues += _check_file(file, options);
    ++checked;
  }
  std::cout << (issues ? _count(issues, "issue", "issues") : std::string("no issues")) << " in "
            << _count(checked, "file", "files");
  if (unreadable) std::cout << "; " << _count(unreadable, "file", "files") << " could not be read";
  std::cout << "\n";
  if (unreadable) return EXIT_USAGE;
  return issues ? EXIT_FAILED : EXIT_OK;
}

const RegisterCommand _check_command("check", "Check the wording of step files without a browser", 20,
                           [](CLI::App& app) -> Runner {
  auto paths = std::make_shared<std::vector<std::string>>();
  auto vars = std::make_shared<std::vector<std::string>>();
  app.add_option("paths", *paths, "Step files, and folders to check every *.steps file below")
      ->required()->type_name("PATH");
  app.add_option("--var", *vars, "A variable the run will set, as for run (repeatable)")
      ->type_name("NAME=VALUE")->allow_extra_args(false);
  app.footer("Prints FILE:LINE: message for every issue, then a count. The files run steps\n"
             "run are checked in place; a variable must be remembered by a step before it,\n"
             "given with --var or set in the environment.\n"
             "Exit status: 0 when clean, 1 when any issue, 2 when a file cannot be read.");
  return [paths, vars] { return _check(*paths, *vars); };
});

}  // namespace
}  // namespace plainstep::host
