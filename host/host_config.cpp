#include "host_config.hpp"

#include <cstdlib>
#include <stdexcept>

#include "config.hpp"

namespace config {
std::string BROWSER = "chromium";
bool HEADLESS = true;
bool MAXIMIZED = false;
int VIEWPORT_WIDTH = 1280;
int VIEWPORT_HEIGHT = 720;
}  // namespace config

namespace settings {
bool SAVE_SNAPSHOTS = false;
std::string LOG_PATH = "data/logs/";
}  // namespace settings

namespace plainstep::host {

namespace {
bool parse_bool(const std::string& name, const std::string& v) {
  if (v == "1" || v == "true" || v == "yes" || v == "on") return true;
  if (v == "0" || v == "false" || v == "no" || v == "off" || v.empty()) return false;
  throw std::invalid_argument(name + " must be true or false, got '" + v + "'");
}
const char* env(const char* name) {
  const char* v = std::getenv(name);
  return (v && *v) ? v : nullptr;
}
}  // namespace

void parse_viewport(const std::string& text, int& width, int& height) {
  auto x = text.find('x');
  auto bad = [&] {
    return std::invalid_argument("viewport must be WIDTHxHEIGHT in pixels, such as 1280x720, got '" +
                                 text + "'");
  };
  if (x == std::string::npos || x == 0 || x + 1 >= text.size()) throw bad();
  for (size_t i = 0; i < text.size(); ++i)
    if (i != x && (text[i] < '0' || text[i] > '9')) throw bad();
  int w = std::stoi(text.substr(0, x)), h = std::stoi(text.substr(x + 1));
  if (w <= 0 || h <= 0 || w > 10000 || h > 10000) throw bad();
  width = w;
  height = h;
}

void apply_environment() {
  if (const char* v = env("PLAINSTEP_BROWSER")) config::BROWSER = v;
  if (const char* v = env("PLAINSTEP_HEADLESS")) config::HEADLESS = parse_bool("PLAINSTEP_HEADLESS", v);
  if (const char* v = env("PLAINSTEP_MAXIMIZED")) config::MAXIMIZED = parse_bool("PLAINSTEP_MAXIMIZED", v);
  if (const char* v = env("PLAINSTEP_VIEWPORT"))
    parse_viewport(v, config::VIEWPORT_WIDTH, config::VIEWPORT_HEIGHT);
  if (const char* v = env("PLAINSTEP_SNAPSHOTS")) {
    settings::SAVE_SNAPSHOTS = true;
    settings::LOG_PATH = v;
  }
}

}  // namespace plainstep::host
