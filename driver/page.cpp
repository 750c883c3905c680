#include "driver/page.hpp"

#include <fstream>
#include <iostream>

#include "driver/browser.hpp"
#include "driver/connection.hpp"
#include "driver/dialog.hpp"
#include "driver/element_handle.hpp"
#include "driver/frame.hpp"
#include "driver/serializer.hpp"

namespace pw {

void Keyboard::press(const std::string& key) { page_._call("keyboardPress", {{"key", key}}); }
void Keyboard::type(const std::string& text) { page_._call("keyboardType", {{"text", text}}); }
void Keyboard::down(const std::string& key) { page_._call("keyboardDown", {{"key", key}}); }
void Keyboard::up(const std::string& key) { page_._call("keyboardUp", {{"key", key}}); }

void Mouse::move(double x, double y, int steps) {
  page_._call("mouseMove", {{"x", x}, {"y", y}, {"steps", steps}});
}
void Mouse::down() { page_._call("mouseDown", json::object()); }
void Mouse::up() { page_._call("mouseUp", json::object()); }

Page::Page(std::weak_ptr<Connection> connection, std::string type, std::string guid, json initializer)
    : RemoteObject(std::move(connection), std::move(type), std::move(guid), std::move(initializer)),
      keyboard_(*this),
      mouse_(*this) {
  const json& init = this->initializer();
  if (init.contains("viewportSize") && init["viewportSize"].is_object())
    viewport_ = Viewport{init["viewportSize"].value("width", 0), init["viewportSize"].value("height", 0)};
  closed_ = init.value("isClosed", false);
}

const std::shared_ptr<Frame>& Page::main_frame() const {
  if (!main_frame_) main_frame_ = _connection()->object_as<Frame>(initializer().at("mainFrame"));
  if (!main_frame_) throw Error("Playwright driver gave the page no main frame");
  return main_frame_;
}

std::shared_ptr<BrowserContext> Page::context() const {
  if (owned_context_) return owned_context_;
  if (auto known = context_.lock()) return known;
  return std::dynamic_pointer_cast<BrowserContext>(_connection()->parent(guid()));
}

void Page::on_dialog(DialogHandler handler) {
  bool had = static_cast<bool>(dialog_handler_);
  dialog_handler_ = std::move(handler);
  bool has = static_cast<bool>(dialog_handler_);
  // The driver only reports dialogs of pages that ask for them, and
  // dismisses the others itself.
  if (had != has) _call("updateSubscription", {{"event", "dialog"}, {"enabled", has}});
}

void Page::_on_dialog(const std::shared_ptr<Dialog>& dialog) {
  if (dialog_handler_) {
    try {
      dialog_handler_(dialog);
      return;
    } catch (const ConnectionError&) {
      throw;
    } catch (const std::exception& e) {
      std::cerr << "plainstep: the page's dialog handler failed: " << e.what() << "\n";
      if (dialog->is_handled()) return;
    }
  }
  dialog->handled_ = true;
  _connection()->send_and_forget(dialog->guid(), dialog->type() == "beforeunload" ? "accept" : "dismiss");
}

void Page::navigate(const std::string& url, const std::string& wait_until) {
  main_frame()->navigate(url, wait_until);
}

std::shared_ptr<ElementHandle> Page::query_selector(const std::string& selector) {
  return main_frame()->query_selector(selector);
}

std::shared_ptr<ElementHandle> Page::locate_path(const std::string& path) {
  return main_frame()->locate_path(path);
}

std::vector<std::shared_ptr<ElementHandle>> Page::query_selector_all(const std::string& selector) {
  return main_frame()->query_selector_all(selector);
}

json Page::evaluate(const std::string& expression, const json& arg) { return main_frame()->evaluate(expression, arg); }

std::string Page::url() const { return main_frame()->url(); }

std::string Page::title() { return main_frame()->title(); }

std::string Page::screenshot(const ScreenshotOptions& options) {
  json result = _call("screenshot", {{"type", "png"}, {"fullPage", options.full_page}});
  std::string png = base64_decode(result.value("binary", ""));
  if (options.path) {
    std::ofstream out(*options.path, std::ios::binary);
    out.write(png.data(), static_cast<std::streamsize>(png.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write the screenshot to '" + *options.path + "'");
  }
  return png;
}

void Page::bring_to_front() { _call("bringToFront"); }

void Page::go_back(const std::string& wait_until) { _call("goBack", {{"waitUntil", wait_until}}); }

void Page::reload(const std::string& wait_until) { _call("reload", {{"waitUntil", wait_until}}); }

void Page::wait_for_timeout(double milliseconds) {
  auto connection = _connection();
  connection->call(main_frame()->guid(), "waitForTimeout", {{"waitTimeout", milliseconds}},
                   milliseconds + connection->default_timeout_ms);
}

std::optional<Viewport> Page::viewport_size() const { return viewport_; }

void Page::close() {
  if (closed_) return;
  try {
    _call("close");
    if (owned_context_) owned_context_->close();
  } catch (const Error& e) {
    if (std::string(e.what()).find("has been closed") == std::string::npos) throw;
  }
  closed_ = true;
}

void Page::_on_event(const std::string& method, const json& params) {
  if (method == "close") closed_ = true;
  if (method == "viewportSizeChanged") {
    if (params.contains("viewportSize") && params["viewportSize"].is_object())
      viewport_ = Viewport{params["viewportSize"].value("width", 0), params["viewportSize"].value("height", 0)};
    else
      viewport_.reset();
  }
}

void Page::_on_dispose() { closed_ = true; }

}  // namespace pw
