#include "driver/cdp_session.hpp"

namespace pw {

json CDPSession::send(const std::string& method, const json& params) {
  json result = _call("send", {{"method", method}, {"params", params}});
  return result.contains("result") ? result["result"] : json::object();
}

void CDPSession::detach() {
  if (is_closed()) return;
  try {
    _call("detach");
  } catch (const ConnectionError&) {
    // The driver is gone, and the session with it.
  } catch (const Error&) {
    // Detached already with its page.
  }
  closed_ = true;
}

void CDPSession::_on_event(const std::string& method, const json&) {
  if (method == "close") closed_ = true;
}

}  // namespace pw
