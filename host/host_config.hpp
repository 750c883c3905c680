#pragma once
// The host's configuration: defaults, then environment variables, then the
// flags of the command being run.
#include <string>

namespace plainstep::host {

// Reads PLAINSTEP_BROWSER, PLAINSTEP_HEADLESS, PLAINSTEP_MAXIMIZED,
// PLAINSTEP_VIEWPORT (WxH), PLAINSTEP_CONNECT, PLAINSTEP_CDP, PLAINSTEP_SNAPSHOTS
// (a folder: snapshots on) into config:: and settings::, and checks
// PLAINSTEP_DRIVER_TIMEOUT and PLAINSTEP_CONNECT_TIMEOUT. Throws
// std::invalid_argument naming the variable and its value on bad values.
void apply_environment();

// "1280x720" into width and height; throws std::invalid_argument naming
// `source` (the flag or variable) and the text otherwise.
void parse_viewport(const std::string& text, int& width, int& height,
                    const std::string& source = "--viewport");

}  // namespace plainstep::host
