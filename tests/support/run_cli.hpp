#pragma once
// Runs the built plainstep binary for CLI tests: arguments in, exit status,
// standard output and standard error out. No shell is involved.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

extern char** environ;

namespace plainstep::testing {

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Whether `text` names the element `want` describes. A position in `want`
// ("at (160, 165)") matches within a few pixels: font metrics differ
// between machines, and a column or row apart is far more than that.
inline bool names_element(const std::string& text, const std::string& want, int slack = 4) {
  static const std::regex at(R"(at \((-?\d+), (-?\d+)\))");
  std::smatch m;
  if (!std::regex_search(want, m, at)) return text.find(want) != std::string::npos;
  std::string before = m.prefix(), after = m.suffix();
  int wx = std::stoi(m[1]), wy = std::stoi(m[2]);
  for (size_t from = text.find(before); from != std::string::npos;
       from = text.find(before, from + 1)) {
    std::string rest = text.substr(from + before.size());
    std::smatch g;
    if (!std::regex_search(rest, g, at, std::regex_constants::match_continuous)) continue;
    if (std::abs(std::stoi(g[1]) - wx) <= slack && std::abs(std::stoi(g[2]) - wy) <= slack &&
        std::string(g.suffix()).rfind(after, 0) == 0)
      return true;
  }
  return false;
}

#ifdef PLAINSTEP_FIXTURES
// The repository's top folder: the examples and fixtures are named from it.
inline std::filesystem::path repo_root() {
  return std::filesystem::path(PLAINSTEP_FIXTURES).parent_path().parent_path();
}
#endif

inline std::string plainstep_binary() { return std::string(PLAINSTEP_BINARY_DIR) + "/plainstep"; }

// Runs `command` (its first word a path, or a program found on PATH);
// `input` is written to the child's standard input; `env` entries
// ("NAME=value") are added to the environment.
inline CliResult run_program(const std::vector<std::string>& command, const std::string& input = "",
                             const std::vector<std::string>& env = {}, const std::string& cwd = "") {
  int in[2], out[2], err[2];
  if (pipe(in) || pipe(out) || pipe(err)) return {};
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, in[0], 0);
  posix_spawn_file_actions_adddup2(&fa, out[1], 1);
  posix_spawn_file_actions_adddup2(&fa, err[1], 2);
  for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) posix_spawn_file_actions_addclose(&fa, fd);
  std::vector<std::string> full = command;
  std::vector<char*> argv;
  for (auto& a : full) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> envs;
  for (char** e = environ; *e; ++e) envs.emplace_back(*e);
  envs.insert(envs.end(), env.begin(), env.end());
  std::vector<char*> envp;
  for (auto& e : envs) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string old_cwd;
  if (!cwd.empty()) {
    char buf[4096];
    if (getcwd(buf, sizeof buf)) old_cwd = buf;
    if (chdir(cwd.c_str()) != 0) return {};
  }
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, full.at(0).c_str(), &fa, nullptr, argv.data(), envp.data());
  if (!old_cwd.empty() && chdir(old_cwd.c_str()) != 0) {}
  posix_spawn_file_actions_destroy(&fa);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  CliResult r;
  if (rc != 0) {
    close(in[1]); close(out[0]); close(err[0]);
    return r;
  }
  size_t written = 0;
  if (input.empty()) { close(in[1]); in[1] = -1; }
  fcntl(in[1] >= 0 ? in[1] : out[0], F_SETFL, O_NONBLOCK);
  bool out_open = true, err_open = true;
  while (out_open || err_open) {
    std::vector<pollfd> fds;
    if (out_open) fds.push_back({out[0], POLLIN, 0});
    if (err_open) fds.push_back({err[0], POLLIN, 0});
    if (in[1] >= 0) fds.push_back({in[1], POLLOUT, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) break;
    for (auto& p : fds) {
      if (p.fd == in[1] && (p.revents & (POLLOUT | POLLERR | POLLHUP))) {
        ssize_t n = write(in[1], input.data() + written, input.size() - written);
        if (n > 0) written += static_cast<size_t>(n);
        if (n < 0 || written == input.size()) { close(in[1]); in[1] = -1; }
      } else if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
        char buf[65536];
        ssize_t n = read(p.fd, buf, sizeof buf);
        if (n <= 0) {
          if (p.fd == out[0]) out_open = false; else err_open = false;
        } else {
          (p.fd == out[0] ? r.out : r.err).append(buf, static_cast<size_t>(n));
        }
      }
    }
  }
  if (in[1] >= 0) close(in[1]);
  close(out[0]);
  close(err[0]);
  int st = 0;
  waitpid(pid, &st, 0);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  return r;
}

// Runs the built plainstep binary with `args`.
inline CliResult run_cli(const std::vector<std::string>& args, const std::string& input = "",
                         const std::vector<std::string>& env = {}, const std::string& cwd = "") {
  std::vector<std::string> command{plainstep_binary()};
  command.insert(command.end(), args.begin(), args.end());
  return run_program(command, input, env, cwd);
}

}  // namespace plainstep::testing
