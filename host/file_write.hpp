#pragma once
// Every file plainstep writes (reports, artifacts, screenshots, harvested
// records) is written whole or not at all: into a temporary file in the
// same folder, then renamed over the target. A failed write leaves the
// previous file as it was.
#include <string>
#include <string_view>

namespace plainstep::host {

// Throws std::runtime_error naming the file and the system's reason
// ("No space left on device") when the content cannot be written whole.
void write_file_whole(const std::string& path, std::string_view content);

}  // namespace plainstep::host
