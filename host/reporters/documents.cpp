// The reports that write the run's document: report.json, and the HTML
// report (the viewer, data.js and the artifacts beside it).
#include <filesystem>

#include "file_write.hpp"
#include "reporters/report_assets.hpp"
#include "reporters/reporters.hpp"
#include "reporters/run_document.hpp"

namespace plainstep::host {

namespace fs = std::filesystem;

namespace {

class JsonReporter : public FileDocument {
 public:
  explicit JsonReporter(const std::string& folder)
      : FileDocument("JSON report", (fs::path(folder) / "report.json").string()) {}

 protected:
  void write_files() override { write_file_whole(path(), dump_document(to_json(), 2) + "\n"); }
};

class HtmlReporter : public FileDocument {
 public:
  explicit HtmlReporter(const std::string& folder)
      : FileDocument("HTML report", (fs::path(folder) / "index.html").string()), folder_(folder) {}

 protected:
  void write_files() override {
    for (const auto& [name, content] : report_assets())
      write_file_whole((fs::path(folder_) / name).string(), content);
    // A file of its own, never inlined into the page: texts from the
    // pages under test may hold "</script>".
    write_file_whole((fs::path(folder_) / "data.js").string(),
                     "window.PLAINSTEP_REPORT = " + dump_document(to_json(), -1) + ";\n");
  }

 private:
  std::string folder_;
};

}  // namespace

std::unique_ptr<Reporter> make_json_reporter(const std::string& folder) {
  return std::make_unique<JsonReporter>(folder);
}
std::unique_ptr<Reporter> make_html_reporter(const std::string& folder) {
  return std::make_unique<HtmlReporter>(folder);
}

}  // namespace plainstep::host
