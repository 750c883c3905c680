#pragma once
// Step files: one step per line. Blank lines and lines whose first non-blank
// character is '#' are not steps; a line "url: ADDRESS" before the first
// step is the start address, a comment "# tags: smoke checkout" before it
// tags the file. Every step keeps its line number.
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plainstep::host {

struct StepLine {
  int line = 0;       // 1-based line number in the file
  std::string text;   // the step, trimmed
};

struct StepFile {
  std::string path;
  std::optional<std::string> url;  // the start address as written, trimmed
  int url_line = 0;                // 0 when there is no url: line
  std::vector<StepLine> steps;
  std::vector<std::string> tags{};  // of the "# tags:" lines before the first step, as written
};

// Throws std::invalid_argument, with the file (and line) named, when the file
// cannot be read, is not UTF-8, or has an empty or second url: line.
StepFile read_step_file(const std::string& path);

// The same over text already read; `path` only names it in messages.
StepFile parse_step_file(std::string_view content, const std::string& path);

// Steps given on the command line; each "-" stands for the lines of `in`,
// one step per line (line ends, CR LF included, removed; nothing else).
std::vector<std::string> steps_from_arguments(const std::vector<std::string>& args,
                                              std::istream& in);

// The tags of a comment line "# tags: smoke, checkout" (spaces or commas
// between them; "tags" in any case); nullopt for any other line.
std::optional<std::vector<std::string>> tags_of_line(std::string_view trimmed_line);

// True for a step that looks like a url: line (one after the first step).
bool is_url_line(std::string_view trimmed_line);

}  // namespace plainstep::host
