#include "run_files.hpp"

#include <filesystem>

#include "agent/step_reader/step_reader.hpp"
#include "run_address.hpp"
#include "text/text.hpp"

namespace plainstep::host {

namespace fs = std::filesystem;

std::vector<std::string> wording_issues(const StepFile& file) {
  StepReader reader;
  std::vector<std::string> out;
  for (const auto& s : file.steps) {
    std::string where = file.path + ":" + std::to_string(s.line) + ": ";
    std::vector<std::string> issues;
    try {
      issues = reader.validate(s.text);
    } catch (const std::exception& e) {
      issues.push_back(e.what());
    }
    std::string lower = text::lower(s.text);
    if (issues.empty() && lower != "back" && lower != "refresh") {
      try {
        reader.parse(s.text);
      } catch (const std::exception& e) {
        issues.push_back(e.what());
      }
    }
    for (const auto& i : issues) out.push_back(where + i);
  }
  return out;
}

std::optional<std::vector<ReadyFile>> prepare_files(const std::vector<std::string>& paths,
                                                    const std::optional<std::string>& url_override,
                                                    bool check_wording, std::ostream& err) {
  std::vector<ReadyFile> ready;
  bool ok = true;
  std::optional<std::string> override_url;
  if (url_override) {
    try {
      override_url = resolve_start_url(*url_override, fs::current_path().string());
    } catch (const std::exception& e) {
      err << "--url: " << e.what() << "\n";
      ok = false;
    }
  }
  for (const auto& path : paths) {
    ReadyFile rf;
    try {
      rf.file = read_step_file(path);
    } catch (const std::exception& e) {
      err << e.what() << "\n";
      ok = false;
      continue;
    }
    if (check_wording)
      for (const auto& line : wording_issues(rf.file)) {
        err << line << "\n";
        ok = false;
      }
    if (override_url) {
      rf.url = *override_url;
    } else if (rf.file.url) {
      try {
        std::string dir = fs::path(path).parent_path().string();
        rf.url = resolve_start_url(*rf.file.url, dir.empty() ? "." : dir);
      } catch (const std::exception& e) {
        err << path << ":" << rf.file.url_line << ": " << e.what() << "\n";
        ok = false;
      }
    } else if (!url_override) {
      err << path << ": no start address: add a line 'url: ADDRESS' before the first step, or "
                     "pass --url\n";
      ok = false;
    }
    if (rf.file.steps.empty()) {
      err << path << ": no steps to run\n";
      ok = false;
    }
    ready.push_back(std::move(rf));
  }
  if (!ok) return std::nullopt;
  return ready;
}

}  // namespace plainstep::host
