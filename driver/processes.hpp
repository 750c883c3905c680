#pragma once
// Processes by id and start time, read from /proc: what the driver started,
// and whether it is still running. Shared by the transport and the tests
// that check nothing outlives a driver.
#include <dirent.h>
#include <sys/types.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace pw {

struct ProcessId {
  pid_t pid;
  unsigned long long start;  // start time, so a reused pid is not taken for it

  bool operator==(const ProcessId&) const = default;
};

// Parent pid, start time and state of a process, from /proc/<pid>/stat.
inline bool read_stat(pid_t pid, pid_t& ppid, unsigned long long& start, char& state) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(in, text)) return false;
  auto close = text.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream rest(text.substr(close + 2));
  std::string field;
  rest >> state >> ppid;
  for (int i = 5; i < 22 && rest >> field; ++i) {}  // up to field 22, the start time
  rest >> start;
  return !rest.fail();
}

// Still running: present, not a zombie, and the same process (start time).
inline bool running(const ProcessId& p) {
  pid_t ppid = 0;
  unsigned long long start = 0;
  char state = 0;
  return read_stat(p.pid, ppid, start, state) && start == p.start && state != 'Z' && state != 'X';
}

// `root` (first) and every process below it, but for `except` and the
// processes below it: one reading of /proc, so a process that ends while
// it is read is on neither side.
inline std::vector<ProcessId> process_tree(pid_t root, pid_t except = 0) {
  struct Row { pid_t pid, ppid; unsigned long long start; };
  std::vector<Row> all;
  if (DIR* d = opendir("/proc")) {
    while (dirent* e = readdir(d)) {
      char* end = nullptr;
      long p = std::strtol(e->d_name, &end, 10);
      if (!end || *end || p <= 0) continue;
      Row r{static_cast<pid_t>(p), 0, 0};
      char state = 0;
      if (read_stat(r.pid, r.ppid, r.start, state)) all.push_back(r);
    }
    closedir(d);
  }
  std::vector<ProcessId> tree;
  for (auto& r : all)
    if (r.pid == root) tree.push_back({r.pid, r.start});
  for (size_t i = 0; i < tree.size(); ++i)
    for (auto& r : all)
      if (r.ppid == tree[i].pid && r.pid != except) tree.push_back({r.pid, r.start});
  return tree;
}

}  // namespace pw
