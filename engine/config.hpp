#pragma once
// Configuration the engine reads from its host. The host defines these
// variables; modules read them at the moment of use and never cache them,
// so a host (or a test) may change them between calls.
#include <string>

namespace config {
extern std::string BROWSER;      // browser type name; "safari" means webkit
extern bool HEADLESS;
extern bool MAXIMIZED;           // when true the viewport values are not read
extern int VIEWPORT_WIDTH;
extern int VIEWPORT_HEIGHT;
}  // namespace config

namespace settings {
extern bool SAVE_SNAPSHOTS;      // write a snapshot file per extraction
extern std::string LOG_PATH;     // folder of the snapshot files
}  // namespace settings
