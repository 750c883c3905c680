#pragma once
// Step files made ready to run: read, start address resolved, wording
// checked, all before any browser starts.
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "step_file.hpp"

namespace plainstep::host {

struct ReadyFile {
  StepFile file;
  std::string url;  // resolved start address
};

// Reads every file; problems are written to `err` as FILE:LINE: message
// (FILE: message when no line applies). Returns the files when there were
// no problems, std::nullopt otherwise. `url_override` (--url) is resolved
// against the working folder; a file's url: line against the file's folder.
// `vars` are the run's --var values, which steps may use.
std::optional<std::vector<ReadyFile>> prepare_files(const std::vector<std::string>& paths,
                                                    const std::optional<std::string>& url_override,
                                                    bool check_wording, std::ostream& err,
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

}  // namespace plainstep::host
