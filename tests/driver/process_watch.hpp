#pragma once
// Processes by id, for checking that nothing a driver started outlives it.
#include <dirent.h>
#include <sys/types.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace plainstep::testing {

struct ProcessId {
  pid_t pid;
  unsigned long long start;  // start time, so a reused pid is not taken for it
};

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

// `root` and every process below it.
inline std::vector<ProcessId> process_tree(pid_t root) {
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
      if (r.ppid == tree[i].pid) tree.push_back({r.pid, r.start});
  return tree;
}

inline bool running(const ProcessId& p) {
  pid_t ppid = 0;
  unsigned long long start = 0;
  char state = 0;
  return read_stat(p.pid, ppid, start, state) && start == p.start && state != 'Z' && state != 'X';
}

// The processes of `tree` still running after waiting up to `wait`.
inline std::vector<ProcessId> survivors(const std::vector<ProcessId>& tree,
                                        std::chrono::milliseconds wait = std::chrono::milliseconds(2000)) {
  auto until = std::chrono::steady_clock::now() + wait;
  for (;;) {
    std::vector<ProcessId> left;
    for (auto& p : tree)
      if (running(p)) left.push_back(p);
    if (left.empty() || std::chrono::steady_clock::now() >= until) return left;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

inline std::string fixture_url(const std::string& name) {
  return std::string("file://") + PLAINSTEP_FIXTURES + "/session/" + name;
}

}  // namespace plainstep::testing
