#include "driver/playwright.hpp"

#include "driver/browser.hpp"
#include "driver/browser_type.hpp"

namespace pw {

namespace {
constexpr double _BROWSER_CLOSE_TIMEOUT_MS = 10000;
}

Playwright::Playwright(std::shared_ptr<Connection> connection) : connection_(std::move(connection)) {}

Playwright::~Playwright() {
  try {
    stop();
  } catch (...) {
  }
}

std::shared_ptr<BrowserType> Playwright::browser_type(const std::string& name) {
  const json& init = connection_->playwright_initializer();
  if (name.empty() || !init.contains(name)) return nullptr;
  const json& ref = init[name];
  if (!ref.is_object() || !ref.contains("guid")) return nullptr;
  auto object = connection_->object(ref["guid"].get<std::string>());
  return std::dynamic_pointer_cast<BrowserType>(object);
}

std::shared_ptr<BrowserType> Playwright::chromium() { return browser_type("chromium"); }
std::shared_ptr<BrowserType> Playwright::firefox() { return browser_type("firefox"); }
std::shared_ptr<BrowserType> Playwright::webkit() { return browser_type("webkit"); }

void Playwright::stop() {
  if (!connection_ || connection_->is_closed()) return;
  // Close the browsers while the driver can still do it cleanly (profiles
  // removed, processes waited for); a dead driver is dealt with below.
  std::vector<std::shared_ptr<_CallState>> closing;
  for (auto& object : connection_->objects_of("Browser"))
    closing.push_back(connection_->queue(object->guid(), "close", json::object(), _BROWSER_CLOSE_TIMEOUT_MS));
  connection_->wait(closing);
  connection_->close();
}

std::shared_ptr<Playwright> PlaywrightStarter::start() {
  DriverLocation where = located_ ? where_ : locate_driver();
  return std::make_shared<Playwright>(Connection::start(where));
}

PlaywrightStarter sync_playwright() { return PlaywrightStarter(); }

}  // namespace pw
