#pragma once
// Processes by id, for checking that nothing a driver started outlives it.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "driver/processes.hpp"

namespace plainstep::testing {

using pw::ProcessId;
using pw::process_tree;
using pw::running;

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
