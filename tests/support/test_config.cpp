// Configuration for test binaries; tests change these values per test.
#include "config.hpp"

namespace config {
std::string BROWSER = "chromium";
bool HEADLESS = true;
bool MAXIMIZED = false;
int VIEWPORT_WIDTH = 1280;
int VIEWPORT_HEIGHT = 720;
std::string CONNECT_ENDPOINT;
std::string CDP_ENDPOINT;
}  // namespace config

namespace settings {
bool SAVE_SNAPSHOTS = false;
std::string LOG_PATH = "data/logs/";
}  // namespace settings
