#pragma once
// The host's configuration: defaults, then environment variables, then the
// flags of the command being run.
#include <string>

namespace plainstep::host {

// Reads PLAINSTEP_BROWSER, PLAINSTEP_HEADLESS, PLAINSTEP_MAXIMIZED,
// PLAINSTEP_VIEWPORT (WxH), PLAINSTEP_SNAPSHOTS (a folder: snapshots on)
// into config:: and settings::. Throws std::invalid_argument on bad values.
void apply_environment();

// "1280x720" into width and height; throws std::invalid_argument otherwise.
void parse_viewport(const std::string& text, int& width, int& height);

}  // namespace plainstep::host
