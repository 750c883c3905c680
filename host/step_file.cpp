#include "step_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "text/text.hpp"

namespace plainstep::host {

namespace {

constexpr std::string_view _BOM = "\xEF\xBB\xBF";

[[noreturn]] void _fail(const std::string& path, int line, const std::string& what) {
  throw std::invalid_argument(path + ":" + std::to_string(line) + ": " + what);
}

}  // namespace

bool is_url_line(std::string_view s) {
  if (s.size() < 4) return false;
  for (size_t i = 0; i < 3; ++i)
    if ((s[i] | 0x20) != "url"[i]) return false;
  return s[3] == ':';
}

std::optional<std::vector<std::string>> tags_of_line(std::string_view s) {
  if (s.empty() || s.front() != '#') return std::nullopt;
  std::string rest = text::trim(s.substr(1));
  if (rest.size() < 5 || text::lower(rest.substr(0, 5)) != "tags:") return std::nullopt;
  std::string words = rest.substr(5);
  std::replace(words.begin(), words.end(), ',', ' ');
  return text::split_ws(words);
}

StepFile parse_step_file(std::string_view content, const std::string& path) {
  StepFile file;
  file.path = path;
  if (content.starts_with(_BOM)) content.remove_prefix(_BOM.size());
  int number = 0;
  while (!content.empty()) {
    // Lines end in LF, CR LF or a lone CR (files saved by old Mac editors).
    size_t end = content.find_first_of("\r\n");
    std::string_view raw = content.substr(0, end);
    size_t next = end == std::string_view::npos ? content.size() : end + 1;
    if (end != std::string_view::npos && content[end] == '\r' && next < content.size() &&
        content[next] == '\n')
      ++next;
    content.remove_prefix(next);
    ++number;
    if (!text::is_valid_utf8(raw)) _fail(path, number, "line is not valid UTF-8");
    std::string line = text::trim(raw);
    if (line.empty()) continue;
    if (line.front() == '#') {
      if (auto tags = tags_of_line(line); tags && file.steps.empty())
        file.tags.insert(file.tags.end(), tags->begin(), tags->end());
      continue;
    }
    if (file.steps.empty() && is_url_line(line)) {
      if (file.url)
        _fail(path, number,
              "second url: line (the start address is already given on line " +
                  std::to_string(file.url_line) + ")");
      std::string address = text::trim(std::string_view(line).substr(4));
      if (address.empty()) _fail(path, number, "url: line without an address");
      file.url = std::move(address);
      file.url_line = number;
      continue;
    }
    file.steps.push_back({number, std::move(line)});
  }
  return file;
}

std::vector<std::string> steps_from_arguments(const std::vector<std::string>& args,
                                              std::istream& in) {
  std::vector<std::string> steps;
  for (const std::string& arg : args) {
    if (arg != "-") {
      steps.push_back(arg);
      continue;
    }
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      steps.push_back(std::move(line));
    }
    in.clear();
  }
  return steps;
}

StepFile read_step_file(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    throw std::invalid_argument(path + ": cannot read step file: it is a directory");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::invalid_argument(path + ": cannot read step file: " + std::strerror(errno));
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) throw std::invalid_argument(path + ": cannot read step file: read failed");
  return parse_step_file(content.str(), path);
}

}  // namespace plainstep::host
