#pragma once
// A page (tab) of a browser.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/remote_object.hpp"

namespace pw {

class BrowserContext;
class Dialog;
class ElementHandle;
class Frame;
class IsolatedWorld;
class Page;

class Keyboard {
 public:
  explicit Keyboard(Page& page) : page_(page) {}
  // A key name as the driver knows it ("Enter", "Tab", "Control+A", "a").
  void press(const std::string& key);
  // Types the text character by character into the focused element.
  void type(const std::string& text);
  void down(const std::string& key);
  void up(const std::string& key);

 private:
  Page& page_;
};

class Mouse {
 public:
  explicit Mouse(Page& page) : page_(page) {}
  // Moves the pointer to (x, y) in CSS pixels of the viewport, in `steps`
  // moves, as a hand would.
  void move(double x, double y, int steps = 1);
  void down();
  void up();

 private:
  Page& page_;
};

class Page : public RemoteObject {
 public:
  Page(std::weak_ptr<Connection> connection, std::string type, std::string guid, json initializer);

  using DialogHandler = std::function<void(std::shared_ptr<Dialog>)>;
  // The handler is called with every dialog the page opens, while a driver
  // call is waiting. It must answer the dialog (now or later) for the page
  // to go on. Without a handler dialogs are dismissed at once (beforeunload
  // accepted), so a page never hangs on an unanswered alert. An empty
  // handler removes the current one.
  void on_dialog(DialogHandler handler);

  // Loads the address and returns after the wait_until event ("load",
  // "domcontentloaded", "networkidle", "commit").
  void navigate(const std::string& url, const std::string& wait_until = "load");
  // The first element matching the CSS selector, or nullptr.
  std::shared_ptr<ElementHandle> query_selector(const std::string& selector);
  // The element an element path names, in this page's frames and open
  // shadow trees (see Frame::locate_path); nullptr when none stands there.
  std::shared_ptr<ElementHandle> locate_path(const std::string& path);
  // Every element matching the CSS selector, in document order.
  std::vector<std::shared_ptr<ElementHandle>> query_selector_all(const std::string& selector);
  // Function source (called with `arg`) or an expression; its result as JSON.
  json evaluate(const std::string& expression, const json& arg = json());
  std::string url() const;
  std::string title();
  // PNG bytes of the viewport (or the whole page).
  std::string screenshot(const ScreenshotOptions& options = {});
  Keyboard& keyboard() { return keyboard_; }
  Mouse& mouse() { return mouse_; }
  // Makes the page the tab the browser shows.
  void bring_to_front();
  void go_back(const std::string& wait_until = "load");
  void reload(const std::string& wait_until = "load");
  // Waits on the driver's side, dispatching events (dialogs) meanwhile.
  void wait_for_timeout(double milliseconds);
  std::optional<Viewport> viewport_size() const;
  void close();
  bool is_closed() const { return closed_; }

  const std::shared_ptr<Frame>& main_frame() const;
  // The browser context the page lives in; nullptr when the driver has
  // let go of it.
  std::shared_ptr<BrowserContext> context() const;

 protected:
  void _on_event(const std::string& method, const json& params) override;
  void _on_dispose() override;

 private:
  friend class Browser;
  friend class BrowserContext;
  friend class IsolatedWorld;
  friend class Keyboard;
  friend class Mouse;
  void _on_dialog(const std::shared_ptr<Dialog>& dialog);

  Keyboard keyboard_;
  Mouse mouse_;
  std::weak_ptr<BrowserContext> context_;
  mutable std::shared_ptr<Frame> main_frame_;
  DialogHandler dialog_handler_;
  std::shared_ptr<BrowserContext> owned_context_;  // the context made for this page alone
  std::optional<Viewport> viewport_;
  bool closed_ = false;
  std::shared_ptr<IsolatedWorld> isolated_world_;  // made on first use
  bool no_cdp_ = false;                            // the browser offers no CDP session
};

}  // namespace pw
