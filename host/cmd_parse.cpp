// plainstep parse STEP...: each step's parsed instruction as one line of JSON.
#include <iostream>

#include "agent/step_reader/step_reader.hpp"
#include "command.hpp"
#include "step_file.hpp"

namespace plainstep::host {
namespace {

int _parse(const std::vector<std::string>& args) {
  const StepReader reader;
  bool all_parsed = true;
  for (const std::string& step : steps_from_arguments(args, std::cin)) {
    json line;
    try {
      line = to_json(reader.parse(step));
    } catch (const std::invalid_argument& e) {
      line = json{{"error", e.what()}};
      all_parsed = false;
    }
    // One line per step as soon as it is read, so a pipe sees it at once.
    std::cout << line.dump(-1, ' ', false, json::error_handler_t::replace) << std::endl;
  }
  return all_parsed ? EXIT_OK : EXIT_USAGE;
}

const RegisterCommand _parse_command("parse", "Print each step's parsed instruction as one line of JSON", 30,
                           [](CLI::App& app) -> Runner {
  auto steps = std::make_shared<std::vector<std::string>>();
  app.add_option("steps", *steps, "Steps to parse; - reads one step per line from standard input")
      ->required();
  app.footer("Exit status: 0 when every step parsed, 2 otherwise.");
  return [steps] { return _parse(*steps); };
});

}  // namespace
}  // namespace plainstep::host
