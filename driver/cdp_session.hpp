#pragma once
// A Chrome DevTools Protocol session with one page, through the driver
// (Chromium only). Raw protocol: methods and events by their CDP names.
#include <functional>
#include <string>

#include "driver/remote_object.hpp"

namespace pw {

class CDPSession : public RemoteObject {
 public:
  using RemoteObject::RemoteObject;

  // Sends one CDP command and returns its result object; the browser's
  // error comes back as pw::Error ("Protocol error (Method): ...").
  json send(const std::string& method, const json& params = json::object());
  // Ends the session; nothing to do when it ended already.
  void detach();
  // True once the session ended (page closed, detached, driver gone).
  bool is_closed() const { return closed_ || is_disposed(); }

 protected:
  void _on_event(const std::string& method, const json& params) override;

 private:
  bool closed_ = false;
};

}  // namespace pw
