#pragma once
// Step files made ready to run: read, start address resolved, wording
// checked, all before any browser starts.
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
std::optional<std::vector<ReadyFile>> prepare_files(const std::vector<std::string>& paths,
                                                    const std::optional<std::string>& url_override,
                                                    bool check_wording, std::ostream& err);

// Wording problems of one file's steps, as FILE:LINE: message lines; steps
// that pass the check but still cannot be read are reported too.
std::vector<std::string> wording_issues(const StepFile& file);

}  // namespace plainstep::host
