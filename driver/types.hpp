#pragma once
// Plain option and value records of the driver surface.
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace pw {

using json = nlohmann::ordered_json;

struct Rect {
  double x = 0, y = 0, width = 0, height = 0;
};

struct Viewport {
  int width = 0, height = 0;
};

struct LaunchOptions {
  bool headless = true;
  std::vector<std::string> args;
  // Overrides the browser the driver would pick (and PLAINSTEP_CHROMIUM).
  std::optional<std::string> executable_path;
};

// How to reach a Playwright browser server and what to ask it for.
struct ConnectOptions {
  std::string browser = "chromium";  // the browser type the server launches
  // Headless is always honoured; args and executable_path only by a server
  // started with --unsafe (others drop them). chromium's executable_path
  // defaults to PLAINSTEP_CHROMIUM when set.
  LaunchOptions launch;
  // Reaching the server and its browser starting, together.
  double timeout_ms = 30000;
};

struct NewPageOptions {
  std::optional<Viewport> viewport;  // fixed viewport in CSS pixels
  bool no_viewport = false;          // the window's own size (maximised runs)
};

struct ScreenshotOptions {
  std::optional<std::string> path;  // also written to this file when set
  bool full_page = false;
};

// One option of a <select> to choose; the set members must all match.
// With only value_or_label, an option matches by its value or its label.
struct SelectOption {
  std::optional<std::string> value_or_label;
  std::optional<std::string> value;
  std::optional<std::string> label;
  std::optional<int> index;
};

}  // namespace pw
