// plainstep validate STEP...: the wording issues of the steps, as one JSON
// object keyed by step number.
#include <iostream>

#include "agent/step_reader/step_reader.hpp"
#include "command.hpp"
#include "records/json_read.hpp"
#include "step_file.hpp"

namespace plainstep::host {
namespace {

int _validate(const std::vector<std::string>& args) {
  json found = json::object();
  for (auto& [number, issues] : StepReader().validate_all(steps_from_arguments(args, std::cin)))
    found[std::to_string(number)] = issues;
  std::cout << found.dump(-1, ' ', false, json::error_handler_t::replace) << "\n";
  return found.empty() ? EXIT_OK : EXIT_FAILED;
}

const RegisterCommand _validate_command("validate", "Print the wording issues of steps as JSON", 31,
                           [](CLI::App& app) -> Runner {
  auto steps = std::make_shared<std::vector<std::string>>();
  app.add_option("steps", *steps,
                 "Steps to check; - reads one step per line from standard input")
      ->required();
  app.footer("Exit status: 0 when no step has an issue, 1 otherwise.");
  return [steps] { return _validate(*steps); };
});

}  // namespace
}  // namespace plainstep::host
