#pragma once
// Start addresses of step files: web addresses stay as written; a file path
// becomes a file:// URL, relative paths taken from the given folder.
#include <string>
#include <string_view>

namespace plainstep::host {

// Throws std::invalid_argument naming the address when it is empty or names
// a local file that does not exist.
std::string resolve_start_url(std::string_view address, const std::string& base_dir);

// "http://", "file:", "about:blank", "data:...": an address with a scheme.
bool has_scheme(std::string_view address);

// "/a b/c.html" as "file:///a%20b/c.html".
std::string file_url(const std::string& absolute_path);

}  // namespace plainstep::host
