#include "host_config.hpp"

#include <charconv>
#include <cstdlib>
#include <stdexcept>

#include "config.hpp"
#include "driver/connection.hpp"
#include "driver/remote.hpp"

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

namespace plainstep::host {

namespace {
constexpr int _MAX_VIEWPORT_SIDE = 10000;

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

void parse_viewport(const std::string& text, int& width, int& height, const std::string& source) {
  auto bad = [&] {
    return std::invalid_argument(source + " must be WIDTHxHEIGHT in pixels, each from 1 to " +
                                 std::to_string(_MAX_VIEWPORT_SIDE) + ", such as 1280x720, got '" +
                                 text + "'");
  };
  auto x = text.find('x');
  if (x == std::string::npos) throw bad();
  // Plain ASCII digits only; from_chars reports a number too large for an
  // int instead of wrapping it.
  auto side = [&](std::string_view digits) {
    int v = 0;
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) throw bad();
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (ec != std::errc() || end != digits.data() + digits.size() || v < 1 || v > _MAX_VIEWPORT_SIDE)
      throw bad();
    return v;
  };
  std::string_view all(text);
  int w = side(all.substr(0, x)), h = side(all.substr(x + 1));
  width = w;
  height = h;
}

void apply_environment() {
  if (const char* v = env("PLAINSTEP_BROWSER")) config::BROWSER = v;
  if (const char* v = env("PLAINSTEP_HEADLESS")) config::HEADLESS = parse_bool("PLAINSTEP_HEADLESS", v);
  if (const char* v = env("PLAINSTEP_MAXIMIZED")) config::MAXIMIZED = parse_bool("PLAINSTEP_MAXIMIZED", v);
  if (const char* v = env("PLAINSTEP_VIEWPORT"))
    parse_viewport(v, config::VIEWPORT_WIDTH, config::VIEWPORT_HEIGHT, "PLAINSTEP_VIEWPORT");
  if (const char* v = env("PLAINSTEP_CONNECT")) config::CONNECT_ENDPOINT = v;
  if (const char* v = env("PLAINSTEP_CDP")) config::CDP_ENDPOINT = v;
  // Read by the driver when it starts; a bad value is reported before any
  // command does its work.
  pw::driver_timeout_from_environment();
  pw::connect_timeout_from_environment();
  if (const char* v = env("PLAINSTEP_SNAPSHOTS")) {
    settings::SAVE_SNAPSHOTS = true;
    settings::LOG_PATH = v;
  }
}

}  // namespace plainstep::host
