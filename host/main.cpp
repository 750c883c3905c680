// plainstep: runs web tests written as plain-English steps.
#include <algorithm>
#include <iostream>

#include "command.hpp"
#include "host_config.hpp"

namespace plainstep::host {
std::vector<CommandSpec>& commands() {
  static std::vector<CommandSpec> list;
  return list;
}
}  // namespace plainstep::host

int main(int argc, char** argv) {
  using namespace plainstep::host;
  CLI::App app{"plainstep: web tests written as plain-English steps, run in a real browser."};
  app.set_version_flag("--version", std::string("plainstep ") + PLAINSTEP_VERSION);
  app.require_subcommand(1);
  app.fallthrough(false);

  auto& specs = commands();
  std::sort(specs.begin(), specs.end(),
            [](const CommandSpec& a, const CommandSpec& b) { return a.order < b.order; });
  std::vector<std::pair<CLI::App*, Runner>> runners;
  for (auto& command : specs) {
    CLI::App* sub = app.add_subcommand(command.name, command.description);
    runners.emplace_back(sub, command.setup(*sub));
  }

  try {
    apply_environment();
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? 0 : EXIT_USAGE;
  } catch (const std::exception& e) {
    std::cerr << "plainstep: " << e.what() << "\n";
    return EXIT_USAGE;
  }
  for (auto& [sub, run] : runners) {
    if (sub->parsed()) {
      try {
        return run();
      } catch (const std::exception& e) {
        std::cerr << "plainstep " << sub->get_name() << ": " << e.what() << "\n";
        return EXIT_USAGE;
      }
    }
  }
  return EXIT_USAGE;
}
