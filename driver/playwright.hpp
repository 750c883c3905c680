#pragma once
// Entry point: a running driver and its browser types.
//
//   auto playwright = pw::sync_playwright().start();
//   auto browser = playwright->chromium()->launch({});
//   auto page = browser->new_page();
//   page->navigate("file:///...");
//   playwright->stop();
#include <map>
#include <memory>
#include <string>

#include "driver/connection.hpp"

namespace pw {

class BrowserType;

class Playwright {
 public:
  explicit Playwright(std::shared_ptr<Connection> connection);
  ~Playwright();  // stop()

  Playwright(const Playwright&) = delete;
  Playwright& operator=(const Playwright&) = delete;

  // The browser type of that name ("chromium", "firefox", "webkit");
  // nullptr when the driver offers no type of that name (names are
  // case-sensitive, as the driver's are).
  std::shared_ptr<BrowserType> browser_type(const std::string& name);
  std::shared_ptr<BrowserType> chromium();
  std::shared_ptr<BrowserType> firefox();
  std::shared_ptr<BrowserType> webkit();

  // Closes every browser launched through this driver, ends the node
  // process and waits for it and the browsers to exit. Idempotent.
  void stop();

  // The connection underneath (for batches and tests).
  const std::shared_ptr<Connection>& connection() const { return connection_; }

 private:
  std::shared_ptr<Connection> connection_;
};

class PlaywrightStarter {
 public:
  PlaywrightStarter() = default;
  explicit PlaywrightStarter(DriverLocation where) : where_(std::move(where)), located_(true) {}
  // Starts a driver; throws ConnectionError when it cannot.
  std::shared_ptr<Playwright> start();

 private:
  DriverLocation where_;
  bool located_ = false;
};

// A starter for the driver found on this machine (see locate_driver()).
PlaywrightStarter sync_playwright();

}  // namespace pw
