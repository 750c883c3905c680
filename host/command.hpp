#pragma once
// The CLI is a set of subcommands, one per host/*.cpp file, each registering
// itself at start-up. A command configures its CLI11 sub-app and returns
// the function that runs it (its result is the exit status).
#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace plainstep::host {

// Exit statuses shared by all commands.
constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;   // ran, and something did not hold
constexpr int EXIT_USAGE = 2;    // bad arguments, unreadable or malformed input

using Runner = std::function<int()>;
using Setup = std::function<Runner(CLI::App&)>;

struct CommandSpec {
  std::string name;
  std::string description;
  int order;  // position in --help
  Setup setup;
};

std::vector<CommandSpec>& commands();

struct RegisterCommand {
  RegisterCommand(std::string name, std::string description, int order, Setup setup) {
    commands().push_back({std::move(name), std::move(description), order, std::move(setup)});
  }
};

}  // namespace plainstep::host
