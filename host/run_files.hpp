#pragma once
// Step files made ready to run: start address resolved, wording checked,
// before any browser starts.
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "step_file.hpp"

namespace plainstep::host {

struct ReadyFile {
  StepFile file;
  std::string url;  // resolved start address
};

// What stands in the way of running `file`, as FILE:LINE: message lines
// (FILE: message when no line applies): no steps, a start address that
// cannot be resolved, and, when `check_wording`, its wording issues.
// Empty when it is ready to run from `url`: `url_override` (--url, resolved
// already) or its url: line, taken from the file's folder, or from
// `base_url` when it starts with "/". `vars` are the run's --var values.
std::vector<std::string> prepare_file(const StepFile& file, std::string& url,
                                      const std::optional<std::string>& url_override,
                                      const std::optional<std::string>& base_url, bool check_wording,
                                      const std::map<std::string, std::string>& vars = {});

struct WordingOptions {
  bool parse = true;        // also read every step as a run reads it
  bool url_lines = false;   // name a url: line among the steps as such
  std::map<std::string, std::string> vars{};  // --var: variables the run sets
};

// Wording problems of one file's steps, as FILE:LINE: message lines: the
// wording check, steps that pass it but cannot be read, variables no step
// before remembers and neither --var nor the environment sets, and the
// files run steps run, checked in place (their lines named by their own
// files), a file that would run itself again named as a cycle.
std::vector<std::string> wording_issues(const StepFile& file, const WordingOptions& options = {});

// The files the run steps of `file` run, directly or through others, as
// canonical_path() gives them (a file named by a variable nothing sets yet
// is left out).
std::set<std::string> files_run_by(const StepFile& file, const std::map<std::string, std::string>& vars = {});

// The absolute path with "." and ".." gone and links followed as far as
// they exist: one name for one file.
std::string canonical_path(const std::string& path);

}  // namespace plainstep::host
