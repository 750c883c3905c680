#pragma once
// Every file plainstep writes (reports, artifacts, screenshots, harvested
// records) is written whole or not at all: into a temporary file in the
// same folder, then renamed over the target. A failed write leaves the
// previous file as it was.
#include <optional>
#include <string>
#include <string_view>

namespace plainstep::host {

// Throws std::runtime_error naming the file and the system's reason
// ("No space left on device") when the content cannot be written whole.
void write_file_whole(const std::string& path, std::string_view content);

// Why files cannot be written into the folder `dir` (made when missing),
// or nothing when they can: checked before a run starts its browser.
std::optional<std::string> folder_problem(const std::string& dir);

}  // namespace plainstep::host
