#pragma once
// The whole run as the reports that write files see it, collected from the
// run's events: the JSON document, and what the JUnit and HTML reports are
// drawn from.
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "reporters/reporter.hpp"

namespace plainstep::host {

struct AttemptRecord {
  int attempt = 1;
  std::vector<StepReport> steps{};  // the file's own steps, shared ones inside their run step
  std::optional<AttemptEnd> end{};  // none when the run stopped during it

  bool passed() const { return end && end->passed; }
  // A failure outside any step, or that the run stopped during it.
  std::optional<std::string> error() const {
    return end ? end->error : std::optional<std::string>("the run was interrupted before this attempt ended");
  }
};

struct FileRecord {
  PlannedFile planned{};
  std::vector<AttemptRecord> attempts{};
  FileEnd end{};
};

// A step as the reports list it. A run step's own steps come first, each
// under the run step's line and named by its place ("login.steps:3"), then
// the run step itself; numbers count the listed steps from 1.
struct ListedStep {
  const StepReport* step = nullptr;
  int number = 0;
  int line = 0;
  std::optional<std::string> source{};
};
std::vector<ListedStep> listed_steps(const std::vector<StepReport>& steps);

// "2026-12-09T06:00:00.123Z"
std::string iso_utc(WallClock::time_point t);

// Collects the run; a report that writes files builds on it and writes
// when the run ends.
class RunDocument : public Reporter {
 public:
  void run_started(const RunStart& start) override;
  void attempt_started(const FileRef& ref) override;
  void step_finished(const FileRef& ref, const StepReport& step) override;
  void attempt_finished(const FileRef& ref, const AttemptEnd& end) override;
  void run_finished(const RunEnd& end) override;

  const RunStart& start() const { return start_; }
  const RunEnd& end() const { return end_; }
  const std::vector<FileRecord>& files() const { return files_; }

  // The document of report-schema "plainstep-report/1".
  nlohmann::ordered_json to_json() const;

 protected:
  // Called once the run has ended and the records are complete.
  virtual void write() {}

 private:
  AttemptRecord* _attempt(const FileRef& ref);

  RunStart start_{};
  RunEnd end_{};
  std::vector<FileRecord> files_{};
};

// A report written into one file when the run ends: "JSON report" at
// `path`. A write that fails is thrown as "cannot write the JSON report: ...".
class FileDocument : public RunDocument {
 public:
  FileDocument(std::string name, std::string path) : name_(std::move(name)), path_(std::move(path)) {}
  std::vector<std::string> written() const override;

 protected:
  virtual void write_files() = 0;
  void write() final;
  const std::string& path() const { return path_; }

 private:
  std::string name_, path_;
  bool done_ = false;
};

// The document as text: invalid UTF-8 from a page shows as U+FFFD rather
// than failing the report.
std::string dump_document(const nlohmann::ordered_json& doc, int indent);

}  // namespace plainstep::host
