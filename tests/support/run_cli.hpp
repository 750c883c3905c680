#pragma once
// Runs the built plainstep binary for CLI tests: arguments in, exit status,
// standard output and standard error out. No shell is involved.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>
#include <string>
#include <vector>

namespace plainstep::testing {

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Called while a run goes on, whenever it writes and at least every 100
// ms, with its process id and its standard output so far: a test sends it
// signals from here.
using CliWatch = std::function<void(pid_t, const std::string& out)>;

// This process's environment with `extra` entries ("NAME=value") added.
std::vector<std::string> environment_with(const std::vector<std::string>& extra);

// `strings` as the null-ended array the exec functions take; it points
// into `strings`, which must outlive it.
std::vector<char*> c_strings(std::vector<std::string>& strings);

// Runs `command` (its first word a path, or a program found on PATH);
// `input` is written to the child's standard input; `env` entries
// ("NAME=value") are added to the environment.
CliResult run_program(const std::vector<std::string>& command, const std::string& input = "",
                      const std::vector<std::string>& env = {}, const std::string& cwd = "",
                      const CliWatch& watch = {});

// Runs the built plainstep binary with `args`.
CliResult run_cli(const std::vector<std::string>& args, const std::string& input = "",
                  const std::vector<std::string>& env = {}, const std::string& cwd = "",
                  const CliWatch& watch = {});

// Whether `text` names the element `want` describes. A position in `want`
// ("at (160, 165)") matches within a few pixels: font metrics differ
// between machines, and a column or row apart is far more than that.
bool names_element(const std::string& text, const std::string& want, int slack = 4);

// The lines of a command's output, without their line ends.
std::vector<std::string> lines_of(const std::string& text);

// Whether standard output has `line` as a whole line.
bool has_line(const CliResult& r, const std::string& line);

// A file's bytes, as far as they could be read ("" for no file).
std::string read_whole(const std::string& path);

// A "NAME=value" environment entry no other run carries: whatever a
// plainstep run started (node, the browser) inherits it.
std::string new_marker(const std::string& name);

// The processes whose environment carries `marker`.
std::vector<int> processes_marked(const std::string& marker);

// The marked processes still there after up to 10 s: children reaped by
// init may linger an instant after their parent exits.
std::vector<int> marked_left(const std::string& marker);

#ifdef PLAINSTEP_FIXTURES
// The repository's top folder: the examples and fixtures are named from it.
inline std::filesystem::path repo_root() {
  return std::filesystem::path(PLAINSTEP_FIXTURES).parent_path().parent_path();
}
#endif

inline std::string plainstep_binary() { return std::string(PLAINSTEP_BINARY_DIR) + "/plainstep"; }

}  // namespace plainstep::testing
