#include "driver/browser.hpp"

#include "driver/cdp_session.hpp"
#include "driver/connection.hpp"
#include "driver/dialog.hpp"
#include "driver/page.hpp"
#include "driver/tracing.hpp"

namespace pw {

namespace {
bool _target_closed(const Error& e) {
  std::string m = e.what();
  return m.find("has been closed") != std::string::npos;
}
}  // namespace

std::shared_ptr<Page> BrowserContext::new_page() {
  auto connection = _connection();
  json result = connection->call(guid(), "newPage");
  auto page = connection->object_as<Page>(result.at("page"));
  if (page) _add_page(page);
  return page;
}

void BrowserContext::_add_page(const std::shared_ptr<Page>& page) {
  for (const auto& known : pages_)
    if (known.lock() == page) return;
  pages_.push_back(page);
  page->context_ = std::static_pointer_cast<BrowserContext>(
      _connection()->object(guid()));
}

std::vector<std::shared_ptr<Page>> BrowserContext::pages() const {
  std::vector<std::shared_ptr<Page>> open;
  for (const auto& weak : pages_)
    if (auto page = weak.lock(); page && !page->is_closed()) open.push_back(page);
  return open;
}

std::shared_ptr<CDPSession> BrowserContext::new_cdp_session(Page& page) {
  auto connection = _connection();
  json result = connection->call(guid(), "newCDPSession", {{"page", {{"guid", page.guid()}}}});
  return connection->object_as<CDPSession>(result.at("session"));
}

std::shared_ptr<Tracing> BrowserContext::tracing() const {
  auto tracing = _connection()->object_as<Tracing>(initializer().value("tracing", json()));
  if (!tracing) throw Error("Playwright driver gave the browser context no tracing");
  return tracing;
}

void BrowserContext::on_request(std::function<void(const std::string& url)> handler) {
  bool had = static_cast<bool>(request_handler_);
  request_handler_ = std::move(handler);
  bool has = static_cast<bool>(request_handler_);
  if (had != has) _call("updateSubscription", {{"event", "request"}, {"enabled", has}});
}

void BrowserContext::close() {
  try {
    _call("close");
  } catch (const Error& e) {
    if (!_target_closed(e)) throw;
  }
}

void BrowserContext::_on_event(const std::string& method, const json& params) {
  if (method == "page") {
    if (auto page = _connection()->object_as<Page>(params.at("page"))) _add_page(page);
    return;
  }
  if (method == "request") {
    auto request = _connection()->object(params.at("request").value("guid", ""));
    if (request && request_handler_) request_handler_(request->initializer().value("url", ""));
    return;
  }
  if (method != "dialog") return;
  auto connection = _connection();
  auto dialog = connection->object_as<Dialog>(params.at("dialog"));
  if (!dialog) return;
  if (auto page = dialog->page()) {
    page->_on_dialog(dialog);
    return;
  }
  // A dialog of no page we know: answer it so nothing waits on it.
  dialog->handled_ = true;
  connection->send_and_forget(dialog->guid(), dialog->type() == "beforeunload" ? "accept" : "dismiss");
}

std::string Browser::version() const { return initializer().value("version", ""); }

std::shared_ptr<Page> Browser::new_page(const NewPageOptions& options) {
  json params = json::object();
  if (options.no_viewport)
    params["noDefaultViewport"] = true;
  else if (options.viewport)
    params["viewport"] = {{"width", options.viewport->width}, {"height", options.viewport->height}};
  auto connection = _connection();
  json result = connection->call(guid(), "newContext", std::move(params));
  auto context = connection->object_as<BrowserContext>(result.at("context"));
  auto page = context->new_page();
  page->owned_context_ = context;
  return page;
}

void Browser::close() {
  if (closed_) return;
  auto connection = _connection();
  if (connection->is_closed()) return;
  try {
    _call("close");
  } catch (const ConnectionError&) {
    if (!connection->is_closed()) throw;
  } catch (const Error& e) {
    if (!_target_closed(e)) throw;
  }
  closed_ = true;
}

bool Browser::is_connected() const {
  auto c = std::shared_ptr<Connection>();
  try {
    c = _connection();
  } catch (const ConnectionError&) {
    return false;
  }
  return !closed_ && !c->is_closed();
}

void Browser::_on_event(const std::string& method, const json&) {
  if (method == "close") closed_ = true;
}

void Browser::_on_dispose() { closed_ = true; }

}  // namespace pw
