#include "run_plan.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <set>
#include <stdexcept>

#include "run_files.hpp"
#include "text/text.hpp"

namespace plainstep::host {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view _STEP_EXTENSION = ".steps";

// Folders a suite never holds its tests in: tools' and packages' own.
bool _skipped_folder(const fs::path& p) {
  std::string name = p.filename().string();
  return (name.size() > 1 && name.front() == '.') || name == "node_modules";
}

// Every step file below `dir`, sorted by path, or why there is none.
std::vector<std::string> _step_files_below(const std::string& dir, std::string& error) {
  std::vector<fs::path> found;
  std::error_code ec;
  fs::recursive_directory_iterator it(dir, fs::directory_options::none, ec), end;
  if (ec) {
    error = "cannot read the folder: " + ec.message();
    return {};
  }
  for (; it != end; it.increment(ec)) {
    if (ec) {
      error = "cannot read the folder: " + ec.message();
      return {};
    }
    std::error_code kind;
    if (it->is_directory(kind)) {
      if (_skipped_folder(it->path()) || it->is_symlink(kind)) it.disable_recursion_pending();
      continue;
    }
    if (it->path().extension() == _STEP_EXTENSION && it->is_regular_file(kind)) found.push_back(it->path());
  }
  if (found.empty()) error = "no step files (*.steps) in this folder or below it";
  std::sort(found.begin(), found.end());
  std::vector<std::string> out;
  for (const auto& p : found) out.push_back(p.string());
  return out;
}

int _whole_number(std::string_view s) {
  int v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return -1;
  return v;
}

bool _contains(const std::string& text_lower, const std::string& needle) {
  return text_lower.find(text::lower(needle)) != std::string::npos;
}

}  // namespace

std::vector<PathEntry> expand_paths(const std::vector<std::string>& arguments) {
  std::vector<PathEntry> out;
  std::set<std::string> seen;
  auto add = [&](PathEntry e) {
    if (!e.error && !seen.insert(canonical_path(e.path)).second) return;
    out.push_back(std::move(e));
  };
  for (const auto& arg : arguments) {
    std::error_code ec;
    fs::file_status st = fs::status(arg, ec);
    if (!fs::exists(st)) {
      add({arg, "cannot read step file: " + std::string(ec ? ec.message() : std::strerror(ENOENT))});
      continue;
    }
    if (!fs::is_directory(st)) {
      add({arg});
      continue;
    }
    std::string error;
    std::vector<std::string> files = _step_files_below(arg, error);
    if (files.empty()) {
      add({arg, error});
      continue;
    }
    for (auto& f : files) add({std::move(f), std::nullopt, true});
  }
  return out;
}

bool shared_steps(const PathEntry& entry, const StepFile& file, const std::set<std::string>& run_by_files) {
  return entry.in_folder && !file.url && run_by_files.count(canonical_path(entry.path)) > 0;
}

Shard parse_shard(std::string_view text) {
  auto bad = [&] {
    return std::invalid_argument("--shard must be K/N, the K-th of N slices with 1 <= K <= N, such as 2/4, got " +
                                 text::quoted_literal(text));
  };
  size_t slash = text.find('/');
  if (slash == std::string_view::npos) throw bad();
  int k = _whole_number(text.substr(0, slash)), n = _whole_number(text.substr(slash + 1));
  if (k < 1 || n < 1 || k > n) throw bad();
  return {k, n};
}

std::pair<size_t, size_t> shard_range(size_t total, Shard shard) {
  if (shard.count < 1 || shard.index < 1 || shard.index > shard.count)
    throw std::invalid_argument("no shard " + std::to_string(shard.index) + "/" + std::to_string(shard.count));
  // The first total % N slices take one file more.
  size_t n = static_cast<size_t>(shard.count), k = static_cast<size_t>(shard.index - 1);
  size_t size = total / n, extra = total % n;
  size_t first = k * size + std::min(k, extra);
  return {first, first + size + (k < extra ? 1 : 0)};
}

bool Selection::selects(const StepFile& file) const {
  if (!grep.empty()) {
    std::string where = text::lower(file.path + "\n" + text::join(file.tags, " "));
    if (std::none_of(grep.begin(), grep.end(), [&](const std::string& g) { return _contains(where, g); }))
      return false;
  }
  if (!tags.empty()) {
    auto has = [&](const std::string& want) {
      return std::any_of(file.tags.begin(), file.tags.end(),
                         [&](const std::string& t) { return text::lower(t) == text::lower(want); });
    };
    if (std::none_of(tags.begin(), tags.end(), has)) return false;
  }
  return true;
}

}  // namespace plainstep::host
