#pragma once
// A launched browser, and the browser context each of its pages lives in.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "driver/remote_object.hpp"

namespace pw {

class CDPSession;
class Page;
class Tracing;

class BrowserContext : public RemoteObject {
 public:
  using RemoteObject::RemoteObject;
  std::shared_ptr<Page> new_page();
  // A CDP session attached to the page (Chromium only; the driver refuses
  // it for other browsers with pw::Error).
  std::shared_ptr<CDPSession> new_cdp_session(Page& page);
  void close();
  // The context's pages still open, in the order they opened: the ones a
  // link or a script opened (new tabs) too.
  std::vector<std::shared_ptr<Page>> pages() const;
  // The context's trace recorder.
  std::shared_ptr<Tracing> tracing() const;
  // Called with the address of every request a page of the context makes
  // (documents, scripts, images, file: addresses too) from now on; an empty
  // handler stops it.
  void on_request(std::function<void(const std::string& url)> handler);

 protected:
  void _on_event(const std::string& method, const json& params) override;

 private:
  friend class Browser;
  void _add_page(const std::shared_ptr<Page>& page);
  std::vector<std::weak_ptr<Page>> pages_;
  std::function<void(const std::string&)> request_handler_;
};

class Browser : public RemoteObject {
 public:
  using RemoteObject::RemoteObject;

  std::string version() const;
  // A page in a fresh context of its own (closed with the page's browser).
  std::shared_ptr<Page> new_page(const NewPageOptions& options = {});
  // Closes the browser and everything in it. Does nothing when it is closed
  // already or the driver is gone.
  void close();
  bool is_connected() const;

 protected:
  void _on_event(const std::string& method, const json& params) override;
  void _on_dispose() override;

 private:
  bool closed_ = false;
};

}  // namespace pw
