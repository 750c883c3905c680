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

class JsonReporter : public RunDocument {
 public:
  explicit JsonReporter(const std::string& folder) : file_((fs::path(folder) / "report.json").string()) {}
  std::vector<std::string> written() const override {
    if (!done_) return {};
    return {"JSON report: " + file_};
  }

 protected:
  void write() override {
    try {
      write_file_whole(file_, dump_document(to_json(), 2) + "\n");
    } catch (const std::exception& e) {
      throw std::runtime_error("cannot write the JSON report: " + std::string(e.what()));
    }
    done_ = true;
  }

 private:
  std::string file_;
  bool done_ = false;
};

class HtmlReporter : public RunDocument {
 public:
  explicit HtmlReporter(std::string folder) : folder_(std::move(folder)) {}
  std::vector<std::string> written() const override {
    if (!done_) return {};
    return {"HTML report: " + (fs::path(folder_) / "index.html").string()};
  }

 protected:
  void write() override {
    try {
      for (const auto& [name, content] : report_assets())
        write_file_whole((fs::path(folder_) / name).string(), content);
      // A file of its own, never inlined into the page: texts from the
      // pages under test may hold "</script>".
      write_file_whole((fs::path(folder_) / "data.js").string(),
                       "window.PLAINSTEP_REPORT = " + dump_document(to_json(), -1) + ";\n");
    } catch (const std::exception& e) {
      throw std::runtime_error("cannot write the HTML report: " + std::string(e.what()));
    }
    done_ = true;
  }

 private:
  std::string folder_;
  bool done_ = false;
};

}  // namespace

std::unique_ptr<Reporter> make_json_reporter(const std::string& folder) {
  return std::make_unique<JsonReporter>(folder);
}
std::unique_ptr<Reporter> make_html_reporter(const std::string& folder) {
  return std::make_unique<HtmlReporter>(folder);
}

}  // namespace plainstep::host
