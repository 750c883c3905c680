#pragma once
// Entry point: a running driver and its browser types.
//
//   auto playwright = pw::sync_playwright().start();
//   auto browser = playwright->chromium()->launch({});
//   auto page = browser->new_page();
//   page->navigate("file:///...");
//   playwright->stop();
//
// A browser elsewhere: a Playwright browser server,
//   auto remote = pw::sync_playwright().connect("ws://10.0.0.5:3000/", {});
//   auto page = remote->server_browser()->new_page();
// or a running Chromium's debugging port,
//   auto browser = playwright->chromium()->connect_over_cdp("http://10.0.0.5:9222");
#include <map>
#include <memory>
#include <string>

#include "driver/connection.hpp"

namespace pw {

class Browser;
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

  // The browser a browser server launched for this connection (see
  // PlaywrightStarter::connect); nullptr on a driver of our own.
  std::shared_ptr<Browser> server_browser();

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
  // Starts a driver and, through it, connects to the Playwright browser
  // server at `ws_endpoint` (`cli.js run-server`), which launches a browser
  // for this connection. The Playwright returned speaks to the server: its
  // connection() carries every call, its server_browser() is that browser,
  // and stop() ends the connection (the server then closes that browser)
  // and the driver, never the server. Throws pw::Error naming the address
  // when the server cannot be reached or its browser does not start within
  // options.timeout_ms; nothing started is left running.
  std::shared_ptr<Playwright> connect(const std::string& ws_endpoint, const ConnectOptions& options = {});

 private:
  DriverLocation where_;
  bool located_ = false;
};

// A starter for the driver found on this machine (see locate_driver()).
PlaywrightStarter sync_playwright();

}  // namespace pw
