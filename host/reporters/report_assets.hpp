#pragma once
// The HTML report's viewer (host/report/), built into the program so a
// report folder never depends on where plainstep was installed from.
#include <string_view>
#include <utility>
#include <vector>

namespace plainstep::host {

// File name and content of each viewer file: index.html, report.css, report.js.
const std::vector<std::pair<std::string_view, std::string_view>>& report_assets();

}  // namespace plainstep::host
