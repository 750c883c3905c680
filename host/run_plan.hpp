#pragma once
// Which files a run runs, in which order: paths and folders expanded,
// files selected by path and tags, one shard of them taken.
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "step_file.hpp"

namespace plainstep::host {

// One argument of a run, or one step file found below a folder argument;
// `error` says what is wrong with a path that gives no file.
struct PathEntry {
  std::string path;
  std::optional<std::string> error{};
  bool in_folder = false;  // found below a folder, not named itself
};

// Each argument in order: a file as named (whatever its extension); a
// folder as every *.steps file below it, in path order (hidden folders and
// node_modules left out, links to folders not followed); a path that does
// not exist, or a folder without step files, as an error. A file reached
// twice is listed once, where it first came.
std::vector<PathEntry> expand_paths(const std::vector<std::string>& arguments);

// Whether `file`, reached as `entry`, is shared steps rather than a test:
// found in a folder, without a start address of its own, and run (run
// FILE) by one of the run's files; `run_by_files` holds what they run, as
// files_run_by() gives it.
bool shared_steps(const PathEntry& entry, const StepFile& file, const std::set<std::string>& run_by_files);

// The K-th of N slices: --shard K/N.
struct Shard {
  int index = 1;  // 1-based
  int count = 1;
};

// "K/N" with 1 <= K <= N; throws std::invalid_argument naming the text.
Shard parse_shard(std::string_view text);

// The positions [first, last) of `shard` among `total` files: N slices in
// order, their sizes differing by one at most, together covering every
// position exactly once.
std::pair<size_t, size_t> shard_range(size_t total, Shard shard);

// What --grep and --tag select: a file is run when its path or "# tags:"
// line contains one of `grep` (in any case), and it has one of `tags` (in
// any case). Empty lists select every file.
struct Selection {
  std::vector<std::string> grep{};
  std::vector<std::string> tags{};

  bool selects(const StepFile& file) const;
};

}  // namespace plainstep::host
