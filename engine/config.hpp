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
// A browser elsewhere, instead of one launched here; empty for none.
extern std::string CONNECT_ENDPOINT;  // a Playwright browser server: ws://HOST:PORT/PATH
extern std::string CDP_ENDPOINT;      // a running Chromium's debugging port: http://HOST:PORT
}  // namespace config

namespace settings {
extern bool SAVE_SNAPSHOTS;      // write a snapshot file per extraction
extern std::string LOG_PATH;     // folder of the snapshot files
}  // namespace settings
