#pragma once
// A browser type of the driver: chromium, firefox or webkit.
#include <memory>
#include <string>

#include "driver/remote_object.hpp"

namespace pw {

class Browser;

class BrowserType : public RemoteObject {
 public:
  using RemoteObject::RemoteObject;

  std::string name() const;

  // Launches a browser. chromium runs the browser at PLAINSTEP_CHROMIUM, or
  // Playwright's own build when installed, else /usr/bin/chromium, with the
  // flags a quiet, offline start needs. The driver's error comes through
  // unchanged when the browser cannot be started.
  std::shared_ptr<Browser> launch(const LaunchOptions& options = {});
  // The executable launch() runs by default, by the same choice; it may
  // not exist when no browser of the type is installed.
  std::string executable_path() const;

  // Attaches to a Chromium started with --remote-debugging-port, at
  // `endpoint_url` (http://HOST:PORT, or its ws:// browser address). The
  // browser's own contexts and pages are left alone; close() on the result
  // disconnects, the browser keeps running. Throws pw::Error naming the
  // address when it does not answer within `timeout_ms`.
  std::shared_ptr<Browser> connect_over_cdp(const std::string& endpoint_url, double timeout_ms = 30000);
};

}  // namespace pw
