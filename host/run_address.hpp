#pragma once
// Start addresses of step files: web addresses stay as written; a file path
// becomes a file:// URL, relative paths taken from the given folder.
#include <optional>
#include <string>
#include <string_view>

namespace plainstep::host {

// Throws std::invalid_argument naming the address when it is empty or names
// a local file that does not exist. With `base_url`, an address that starts
// with "/" is taken from it ("/login" on http://localhost:8080).
std::string resolve_start_url(std::string_view address, const std::string& base_dir,
                              const std::optional<std::string>& base_url = std::nullopt);

// `path` ("/login", "//host/x") taken from `base` as a browser takes it:
// from the base's scheme and host, whatever path the base has. Throws
// std::invalid_argument when the base has no scheme and host.
std::string join_url(const std::string& base, std::string_view path);

// "http://", "file:", "about:blank", "data:...": an address with a scheme.
bool has_scheme(std::string_view address);

// "/a b/c.html" as "file:///a%20b/c.html".
std::string file_url(const std::string& absolute_path);

}  // namespace plainstep::host
