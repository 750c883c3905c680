// plainstep check FILE...: the wording issues of step files, one
// "FILE:LINE: message" line each, without a browser.
#include <iostream>

#include "agent/step_reader/step_reader.hpp"
#include "command.hpp"
#include "step_file.hpp"

namespace plainstep::host {
namespace {

std::string _count(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Prints the issues of one file; returns how many there were.
size_t _check_file(const StepReader& reader, const StepFile& file) {
  size_t issues = 0;
  auto report = [&](int line, const std::string& message) {
    std::cout << file.path << ":" << line << ": " << message << "\n";
    ++issues;
  };
  for (const StepLine& step : file.steps) {
    // A url: line among the steps would be read as a step and fail the run.
    if (is_url_line(step.text)) {
      report(step.line, "url: line after the first step; the start address must come first");
      continue;
    }
    for (const std::string& message : reader.validate(step.text)) report(step.line, message);
  }
  if (file.steps.empty()) report(1, "no steps in this file");
  return issues;
}

int _check(const std::vector<std::string>& paths) {
  const StepReader reader;
  size_t issues = 0, checked = 0, unreadable = 0;
  for (const std::string& path : paths) {
    try {
      StepFile file = read_step_file(path);
      issues += _check_file(reader, file);
      ++checked;
    } catch (const std::invalid_argument& e) {
      std::cerr << "plainstep check: " << e.what() << "\n";
      ++unreadable;
    }
  }
  std::cout << (issues ? _count(issues, "issue", "issues") : std::string("no issues")) << " in "
            << _count(checked, "file", "files");
  if (unreadable) std::cout << "; " << _count(unreadable, "file", "files") << " could not be read";
  std::cout << "\n";
  if (unreadable) return EXIT_USAGE;
  return issues ? EXIT_FAILED : EXIT_OK;
}

const RegisterCommand _cmd("check", "Check the wording of step files without a browser", 20,
                           [](CLI::App& app) -> Runner {
  auto paths = std::make_shared<std::vector<std::string>>();
  app.add_option("files", *paths, "Step files")->required();
  app.footer("Prints FILE:LINE: message for every issue, then a count.\n"
             "Exit status: 0 when clean, 1 when any issue, 2 when a file cannot be read.");
  return [paths] { return _check(*paths); };
});

}  // namespace
}  // namespace plainstep::host
