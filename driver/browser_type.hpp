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
};

}  // namespace pw
