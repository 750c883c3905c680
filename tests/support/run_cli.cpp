// How the tests run programs and look for the processes they leave.
#include "support/run_cli.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <thread>

extern char** environ;

namespace plainstep::testing {

std::vector<std::string> environment_with(const std::vector<std::string>& extra) {
  std::vector<std::string> envs;
  for (char** e = environ; *e; ++e) envs.emplace_back(*e);
  envs.insert(envs.end(), extra.begin(), extra.end());
  return envs;
}

std::vector<char*> c_strings(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (auto& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

// Whether `text` names the element `want` describes. A position in `want`
// ("at (160, 165)") matches within a few pixels: font metrics differ
// between machines, and a column or row apart is far more than that.
bool names_element(const std::string& text, const std::string& want, int slack) {
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

// Runs `command` (its first word a path, or a program found on PATH);
// `input` is written to the child's standard input; `env` entries
// ("NAME=value") are added to the environment.
CliResult run_program(const std::vector<std::string>& command, const std::string& input,
                      const std::vector<std::string>& env, const std::string& cwd, const CliWatch& watch) {
  int in[2], out[2], err[2];
  if (pipe(in) || pipe(out) || pipe(err)) return {};
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, in[0], 0);
  posix_spawn_file_actions_adddup2(&fa, out[1], 1);
  posix_spawn_file_actions_adddup2(&fa, err[1], 2);
  for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) posix_spawn_file_actions_addclose(&fa, fd);
  std::vector<std::string> full = command;
  std::vector<char*> argv = c_strings(full);
  std::vector<std::string> envs = environment_with(env);
  std::vector<char*> envp = c_strings(envs);
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
    if (poll(fds.data(), fds.size(), watch ? 100 : -1) < 0) break;
    if (watch) watch(pid, r.out);
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
CliResult run_cli(const std::vector<std::string>& args, const std::string& input,
                  const std::vector<std::string>& env, const std::string& cwd, const CliWatch& watch) {
  std::vector<std::string> command{plainstep_binary()};
  command.insert(command.end(), args.begin(), args.end());
  return run_program(command, input, env, cwd, watch);
}

// The lines of a command's output, without their line ends.
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// Whether standard output has `line` as a whole line.
bool has_line(const CliResult& r, const std::string& line) {
  for (const auto& l : lines_of(r.out))
    if (l == line) return true;
  return false;
}

std::string read_whole(const std::string& path) {
  // Inserting the buffer, not iterating it: a /proc file of a process that
  // ends meanwhile fails mid-read, and the iterator would throw.
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  if (in) out << in.rdbuf();
  return out.str();
}

// A "NAME=value" environment entry no other run carries: whatever a
// plainstep run started (node, the browser) inherits it.
std::string new_marker(const std::string& name) {
  static int n = 0;
  return "PLAINSTEP_" + name + "_TEST=" + std::to_string(getpid()) + "_" + std::to_string(++n);
}

// The processes whose environment carries `marker`.
std::vector<int> processes_marked(const std::string& marker) {
  std::vector<int> out;
  DIR* proc = opendir("/proc");
  if (!proc) return out;
  while (dirent* d = readdir(proc)) {
    int pid = std::atoi(d->d_name);
    if (pid <= 0) continue;
    std::string env = read_whole("/proc/" + std::string(d->d_name) + "/environ");
    if (env.find(marker + '\0') != std::string::npos) out.push_back(pid);
  }
  closedir(proc);
  return out;
}

// The marked processes still there after up to 10 s: children reaped by
// init may linger an instant after their parent exits.
std::vector<int> marked_left(const std::string& marker) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::vector<int> left = processes_marked(marker);
  while (!left.empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    left = processes_marked(marker);
  }
  return left;
}

}  // namespace plainstep::testing
