#pragma once
// The reporters --reporter names, made by ReporterSet.
#include <memory>
#include <ostream>
#include <string>

#include "reporters/reporter.hpp"

namespace plainstep::host {

// A character per step, the failures in full at the end.
std::unique_ptr<Reporter> make_dot_reporter(std::ostream& out);
// One line of progress, redrawn on a terminal; failures in full as they happen.
std::unique_ptr<Reporter> make_line_reporter(std::ostream& out, bool terminal);
// FOLDER/report.json
std::unique_ptr<Reporter> make_json_reporter(const std::string& folder);
// FOLDER/index.html with the viewer, data.js, and the artifacts beside them.
std::unique_ptr<Reporter> make_html_reporter(const std::string& folder);
// JUnit XML into `file`; attachments are named by their place under `folder`.
std::unique_ptr<Reporter> make_junit_reporter(const std::string& file, const std::string& folder);

}  // namespace plainstep::host
