#include "run_files.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "agent/step_reader/step_reader.hpp"
#include "key_names.hpp"
#include "run_address.hpp"
#include "run_resolve.hpp"
#include "run_routing.hpp"
#include "run_variables.hpp"
#include "text/text.hpp"

namespace plainstep::host {

namespace fs = std::filesystem;

namespace {

// One walk through a file and the files its run steps run, in run order:
// what variables are set by then, and which files are running.
struct _Walk {
  const StepReader& reader;
  const WordingOptions& options;
  std::set<std::string> remembered;
  std::vector<std::string> running;  // canonical paths, outermost first
  std::vector<std::string> labels;   // the same files as written
  std::vector<std::string> out;
  std::set<std::string> ran{};       // canonical paths of the files run steps run

  bool known(const std::string& name) const {
    return remembered.count(name) || options.vars.count(name) || std::getenv(name.c_str());
  }

  void file(const StepFile& f, const std::string& canonical);
  void step(const StepFile& f, const StepLine& s);
  void run_step(const StepFile& f, const StepLine& s, const std::string& written);
};


void _Walk::file(const StepFile& f, const std::string& canonical) {
  running.push_back(canonical);
  labels.push_back(f.path);
  for (const auto& s : f.steps) step(f, s);
  running.pop_back();
  labels.pop_back();
}

void _Walk::step(const StepFile& f, const StepLine& s) {
  const std::string where = f.path + ":" + std::to_string(s.line) + ": ";
  if (options.url_lines && is_url_line(s.text)) {
    out.push_back(where + "url: line after the first step; the start address must come first");
    return;
  }
  std::vector<std::string> issues;
  try {
    issues = reader.validate(s.text);
  } catch (const std::exception& e) {
    issues.push_back(e.what());
  }
  std::optional<ParsedInstruction> parsed;
  std::string lower = text::lower(s.text);
  if (issues.empty() && lower != "back" && lower != "refresh") {
    try {
      parsed = reader.parse(s.text);
    } catch (const std::exception& e) {
      if (options.parse) issues.push_back(e.what());
    }
  }
  for (const auto& name : variables_in(s.text))
    if (!known(name))
      issues.push_back("unknown variable ${" + name + "}: no step before it remembers it (remember text ... as " +
                       name + "), and no --var " + name + "=... or environment variable " + name +
                       " sets it");
  const auto a = parsed ? action_of(*parsed) : std::nullopt;
  // What the run would refuse at once, the check refuses too.
  if (parsed && names_nothing(*parsed)) issues.push_back(names_nothing_message(s.text));
  if (a == Action::press_key && parsed->target && !driver_key(*parsed->target))
    issues.push_back(unknown_key_message(*parsed->target));
  for (const auto& i : issues) out.push_back(where + i);
  if (!parsed) return;
  if ((a == Action::remember_text || a == Action::remember_text_spatial) && parsed->value)
    remembered.insert(*parsed->value);
  if (a == Action::run_file && parsed->target) run_step(f, s, *parsed->target);
}

void _Walk::run_step(const StepFile& f, const StepLine& s, const std::string& written) {
  const std::string where = f.path + ":" + std::to_string(s.line) + ": ";
  // A file named by a variable is known only once the run sets it.
  std::string name = written;
  for (const auto& v : variables_in(written)) {
    if (remembered.count(v) || !known(v)) return;
    const std::string value = options.vars.count(v) ? options.vars.at(v) : std::getenv(v.c_str());
    name = text::replace_all(name, "${" + v + "}", value);
  }
  fs::path path(name);
  if (path.is_relative()) path = fs::path(f.path).parent_path() / path;
  const std::string canonical = canonical_path(path.string());
  auto again = std::find(running.begin(), running.end(), canonical);
  if (again != running.end()) {
    std::string chain;
    for (auto it = labels.begin() + (again - running.begin()); it != labels.end(); ++it)
      chain += (chain.empty() ? "" : " runs ") + *it;
    out.push_back(where + "run " + written + " makes a cycle: " + chain + ", which runs " + written +
                  " again; the steps would never end");
    return;
  }
  ran.insert(canonical);
  StepFile shared;
  try {
    shared = read_step_file(path.string());
  } catch (const std::exception& e) {
    out.push_back(where + "cannot run " + written + ": " + e.what());
    return;
  }
  if (shared.steps.empty()) {
    out.push_back(where + "cannot run " + written + ": " + path.string() + " has no steps");
    return;
  }
  file(shared, canonical);
}

}  // namespace

std::vector<std::string> wording_issues(const StepFile& file, const WordingOptions& options) {
  StepReader reader;
  _Walk walk{reader, options, {}, {}, {}, {}, {}};
  walk.file(file, canonical_path(file.path));
  // A shared file run twice is reported once.
  std::vector<std::string> unique;
  for (auto& line : walk.out)
    if (std::find(unique.begin(), unique.end(), line) == unique.end()) unique.push_back(std::move(line));
  return unique;
}

std::string canonical_path(const std::string& path) {
  std::error_code ec;
  return fs::weakly_canonical(fs::absolute(path, ec), ec).string();
}

std::set<std::string> files_run_by(const StepFile& file, const std::map<std::string, std::string>& vars) {
  StepReader reader;
  WordingOptions options{false, false, vars};
  _Walk walk{reader, options, {}, {}, {}, {}, {}};
  walk.file(file, canonical_path(file.path));
  return walk.ran;
}

std::vector<std::string> prepare_file(const StepFile& file, std::string& url,
                                      const std::optional<std::string>& url_override,
                                      const std::optional<std::string>& base_url, bool check_wording,
                                      const std::map<std::string, std::string>& vars) {
  std::vector<std::string> problems;
  if (check_wording) problems = wording_issues(file, WordingOptions{true, false, vars});
  if (url_override) {
    url = *url_override;
  } else if (file.url) {
    try {
      std::string dir = fs::path(file.path).parent_path().string();
      url = resolve_start_url(*file.url, dir.empty() ? "." : dir, base_url);
    } catch (const std::exception& e) {
      problems.push_back(file.path + ":" + std::to_string(file.url_line) + ": " + e.what());
    }
  } else {
    problems.push_back(file.path +
                       ": no start address: add a line 'url: ADDRESS' before the first step, or pass --url");
  }
  if (file.steps.empty()) problems.push_back(file.path + ": no steps to run");
  return problems;
}

}  // namespace plainstep::host
