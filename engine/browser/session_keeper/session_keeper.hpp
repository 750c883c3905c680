#pragma once
// The browser session of one test run: the running driver, the browser
// (launched here, or reached on a browser server or a debugging port), the
// browser context of the file being run with its page, and the dialogs the
// page opened. One browser serves many files, each in a fresh context
// (cookies, storage and permissions of its own).
//
// Reads config::BROWSER, HEADLESS, CONNECT_ENDPOINT and CDP_ENDPOINT when
// it launches, MAXIMIZED, VIEWPORT_WIDTH and VIEWPORT_HEIGHT when it opens
// a context. Used from one thread.
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/browser.hpp"
#include "driver/dialog.hpp"
#include "driver/page.hpp"
#include "driver/playwright.hpp"

namespace plainstep {

// How a session's browser is obtained, as the configuration says: the one
// a Playwright browser server at config::CONNECT_ENDPOINT launches for us,
// the running Chromium at config::CDP_ENDPOINT, else config::BROWSER
// launched by a driver of our own ("safari" means webkit; a name the
// driver has no type for means chromium), with config::HEADLESS and
// MAXIMIZED. Reaching a remote one is bounded by PLAINSTEP_CONNECT_TIMEOUT
// and its errors name the address.
//
// The driver: our own, or one connected to the browser server (which
// launches the browser as it connects).
std::shared_ptr<pw::Playwright> start_driver();
// The browser, through the driver start_driver() gave.
std::shared_ptr<pw::Browser> obtain_browser(pw::Playwright& playwright);
// Whether the browser is elsewhere: ending a session then closes the
// contexts it opened and disconnects; the browser is not ours to end.
bool browser_is_remote();

// Why the configured remote browser cannot be used, checked before a run
// starts any driver: both kinds set, an address that is not one, nothing
// answering there within PLAINSTEP_CONNECT_TIMEOUT, or a Chromium's
// debugging port with config::BROWSER another browser. nullopt when it can
// (or none is configured).
std::optional<std::string> remote_browser_problem();

class SessionKeeper {
 public:
  SessionKeeper() = default;
  ~SessionKeeper();  // close(), never throwing

  SessionKeeper(const SessionKeeper&) = delete;
  SessionKeeper& operator=(const SessionKeeper&) = delete;

  // Obtains the configured browser (see obtain_browser()), opens the page
  // in a fresh context with the configured viewport (none when maximised),
  // records its dialogs and loads `url` up to its load event. A session
  // already open is closed first. Driver errors propagate unchanged; what
  // was started before the failure stays held, so close() releases it.
  void open(const std::string& url);

  // Starts the driver and launches the configured browser, unless one is
  // running and connected; a driver whose browser died is ended first.
  void launch();

  // A fresh browser context with one page on the running browser (launched
  // first when there is none, or it died), the viewport as configured,
  // loading `url` up to its load event. The context before is closed.
  void open_context(const std::string& url);

  // Closes the current context, its pages and dialogs; the browser stays.
  void close_context();

  // Whether the browser is running and its driver answering: false once it
  // crashed, was killed or closed.
  bool browser_alive() const;

  // The open page. Throws std::runtime_error "No page open — call
  // open(url) first." when there is none.
  std::shared_ptr<pw::Page> get_page() const;

  // The dialog to answer: the earliest one the page opened that is not
  // answered yet; when every one is answered, the last one, until cleared.
  // nullptr when none. It is never answered here: the caller answers it.
  std::shared_ptr<pw::Dialog> get_dialog() const;
  // Forgets the dialogs already answered (or, when none is, the earliest
  // one). A dialog the page opened while another was being answered stays:
  // no dialog is ever dropped unseen.
  void clear_dialog();

  // Closes the browser, then stops the driver; the pending dialog stays.
  // A remote browser is not closed: the session's context is, then the
  // connection to it.
  // Does nothing on a closed session. A browser that does not answer within
  // a few seconds is killed with its driver. When closing fails the fields
  // stay as they were and the error propagates.
  void close();

  // The session's tabs, in the order they opened (the first one, and those
  // links and scripts opened); closed ones left out. Empty when closed.
  std::vector<std::shared_ptr<pw::Page>> pages() const;

  // Makes `page`, one of pages(), the page get_page() gives; its dialogs
  // are recorded from then on.
  void switch_to(const std::shared_ptr<pw::Page>& page);

  // The page's dialog handler: records the dialog after the ones before it.
  void _on_dialog(std::shared_ptr<pw::Dialog> dialog) { _dialogs.push_back(std::move(dialog)); }

  // Called by open() with the new page's browser context before the page
  // loads, so that a trace started there records the load too.
  std::function<void(pw::BrowserContext&)> before_load;

  // The running driver, or nullptr when closed (for hosts and tests that
  // need the connection, e.g. to check processes).
  std::shared_ptr<pw::Playwright> playwright() const { return _playwright; }
  std::shared_ptr<pw::Browser> browser() const { return _browser; }

 private:
  std::shared_ptr<pw::Playwright> _playwright;
  std::shared_ptr<pw::Browser> _browser;
  std::shared_ptr<pw::BrowserContext> _context;
  std::shared_ptr<pw::Page> _page;
  bool _remote = false;
  std::deque<std::shared_ptr<pw::Dialog>> _dialogs;
};

// The message get_page() fails with when no page is open.
inline constexpr const char* NO_PAGE_MESSAGE = "No page open \u2014 call open(url) first.";

}  // namespace plainstep
