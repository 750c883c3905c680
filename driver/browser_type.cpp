#include "driver/browser_type.hpp"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "driver/browser.hpp"
#include "driver/connection.hpp"

namespace pw {

namespace {

// Flags for a quiet chromium start on a machine without network access:
// no update checks, sync, field trials or QUIC probing.
const std::vector<std::string> _QUIET_CHROMIUM_ARGS = {
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--no-first-run", "--disable-quic", "--disable-default-apps", "--no-default-browser-check"};

constexpr const char* _DEBIAN_CHROMIUM = "/usr/bin/chromium";
constexpr double _LAUNCH_TIMEOUT_MS = 180000;

bool _executable(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec) && access(path.c_str(), X_OK) == 0;
}

// The chromium to run: the user's choice, else Playwright's own build when
// installed, else Debian's. nullopt leaves the choice to the driver.
std::optional<std::string> _chromium_path(const json& initializer) {
  if (const char* v = std::getenv("PLAINSTEP_CHROMIUM"); v && *v) return std::string(v);
  if (_executable(initializer.value("executablePath", ""))) return std::nullopt;
  if (_executable(_DEBIAN_CHROMIUM)) return std::string(_DEBIAN_CHROMIUM);
  return std::nullopt;
}

}  // namespace

std::string BrowserType::name() const { return initializer().value("name", ""); }

std::string BrowserType::executable_path() const {
  if (name() == "chromium")
    if (auto chosen = _chromium_path(initializer())) return *chosen;
  return initializer().value("executablePath", "");
}

std::shared_ptr<Browser> BrowserType::launch(const LaunchOptions& options) {
  json params = {{"headless", options.headless}};
  std::vector<std::string> args = options.args;
  std::optional<std::string> executable = options.executable_path;
  if (name() == "chromium") {
    if (!executable) executable = _chromium_path(initializer());
    args.insert(args.begin(), _QUIET_CHROMIUM_ARGS.begin(), _QUIET_CHROMIUM_ARGS.end());
  }
  params["args"] = args;
  if (executable) params["executablePath"] = *executable;
  auto connection = _connection();
  json result = connection->call(guid(), "launch", std::move(params), _LAUNCH_TIMEOUT_MS);
  connection->note_processes();
  return connection->object_as<Browser>(result.at("browser"));
}

}  // namespace pw
