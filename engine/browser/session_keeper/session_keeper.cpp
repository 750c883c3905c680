#include "browser/session_keeper/session_keeper.hpp"

#include <stdexcept>

#include "config.hpp"
#include "driver/browser_type.hpp"
#include "driver/remote.hpp"

namespace plainstep {

namespace {
// The one browser name that is not a driver type name.
constexpr const char* _SAFARI = "safari";
constexpr const char* _MAXIMIZED_ARG = "--start-maximized";
// How long a browser may take to close before it is taken for stuck.
constexpr std::chrono::seconds _CLOSE_BOUND{3};
// Launching, opening the page and loading it: far more than a healthy
// browser needs on a busy machine, far less than waiting for ever.
constexpr std::chrono::seconds _OPEN_BOUND{90};

std::string _browser_name() { return config::BROWSER == _SAFARI ? std::string("webkit") : config::BROWSER; }

pw::LaunchOptions _launch_options() {
  pw::LaunchOptions launch;
  launch.headless = config::HEADLESS;
  if (config::MAXIMIZED) launch.args = {_MAXIMIZED_ARG};
  return launch;
}

void _refuse_both() {
  if (!config::CONNECT_ENDPOINT.empty() && !config::CDP_ENDPOINT.empty())
    throw std::invalid_argument("a browser server (" + config::CONNECT_ENDPOINT + ") and a Chromium's debugging port (" +
                                config::CDP_ENDPOINT + ") were both given; choose one");
}
}  // namespace

std::shared_ptr<pw::Playwright> start_driver() {
  _refuse_both();
  if (config::CONNECT_ENDPOINT.empty()) return pw::sync_playwright().start();
  pw::ConnectOptions options;
  // The server knows these three; anything else falls back as a local launch does.
  std::string name = _browser_name();
  options.browser = name == "firefox" || name == "webkit" ? name : "chromium";
  options.launch = _launch_options();
  options.timeout_ms = static_cast<double>(pw::connect_timeout_from_environment().count());
  return pw::sync_playwright().connect(config::CONNECT_ENDPOINT, options);
}

std::shared_ptr<pw::Browser> obtain_browser(pw::Playwright& playwright) {
  if (!config::CONNECT_ENDPOINT.empty()) return playwright.server_browser();
  if (!config::CDP_ENDPOINT.empty())
    return playwright.chromium()->connect_over_cdp(
        config::CDP_ENDPOINT, static_cast<double>(pw::connect_timeout_from_environment().count()));
  auto browser_type = playwright.browser_type(_browser_name());
  if (!browser_type) browser_type = playwright.chromium();
  return browser_type->launch(_launch_options());
}

bool browser_is_remote() { return !config::CONNECT_ENDPOINT.empty() || !config::CDP_ENDPOINT.empty(); }

std::optional<std::string> remote_browser_problem() {
  try {
    _refuse_both();
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  bool server = !config::CONNECT_ENDPOINT.empty();
  const std::string& address = server ? config::CONNECT_ENDPOINT : config::CDP_ENDPOINT;
  if (address.empty()) return std::nullopt;
  if (!server && _browser_name() != "chromium")
    return "a debugging port (" + address + ") reaches Chromium only, not " + config::BROWSER;
  try {
    pw::Endpoint at = pw::parse_endpoint(address);
    if (server && at.scheme != "ws" && at.scheme != "wss")
      return "a Playwright browser server's address starts with ws:// or wss://, such as ws://127.0.0.1:3000/, "
             "got '" + address + "'";
    pw::probe_endpoint(address, pw::connect_timeout_from_environment());
  } catch (const std::exception& e) {
    return std::string(server ? "browser server: " : "Chromium debugging port: ") + e.what();
  }
  return std::nullopt;
}

SessionKeeper::~SessionKeeper() {
  try {
    close();
  } catch (...) {
    // The driver's own destructor still ends node and the browser.
  }
}

namespace {
// Until the guard goes, a driver call unanswered `bound` from now means a
// stuck browser or driver.
std::shared_ptr<void> _bounded(const std::shared_ptr<pw::Playwright>& playwright, std::chrono::seconds bound) {
  auto connection = playwright->connection();
  connection->answer_by = std::chrono::steady_clock::now() + bound;
  return std::shared_ptr<void>(nullptr, [connection](void*) { connection->answer_by.reset(); });
}
}  // namespace

void SessionKeeper::open(const std::string& url) {
  // A session already open would otherwise keep its browser and driver
  // running with nothing left to close them.
  close();
  open_context(url);
}

void SessionKeeper::launch() {
  if (browser_alive()) return;
  // A driver whose browser is gone is ended with it.
  close();
  _remote = browser_is_remote();
  _playwright = start_driver();
  auto bound = _bounded(_playwright, _OPEN_BOUND);
  _browser = obtain_browser(*_playwright);
}

void SessionKeeper::open_context(const std::string& url) {
  close_context();
  launch();
  auto bound = _bounded(_playwright, _OPEN_BOUND);
  pw::NewPageOptions page;
  if (config::MAXIMIZED)
    page.no_viewport = true;
  else
    page.viewport = pw::Viewport{config::VIEWPORT_WIDTH, config::VIEWPORT_HEIGHT};
  _page = _browser->new_page(page);
  _context = _page->context();
  _page->on_dialog([this](std::shared_ptr<pw::Dialog> dialog) { _on_dialog(std::move(dialog)); });
  if (before_load && _context) before_load(*_context);
  _page->navigate(url, "load");
}

void SessionKeeper::close_context() {
  _dialogs.clear();
  _page = nullptr;
  auto context = std::move(_context);
  _context = nullptr;
  if (!context || !browser_alive()) return;
  auto bound = _bounded(_playwright, _CLOSE_BOUND);
  context->close();
}

bool SessionKeeper::browser_alive() const {
  return _browser && _browser->is_connected() && _playwright && !_playwright->connection()->is_closed();
}

std::shared_ptr<pw::Page> SessionKeeper::get_page() const {
  if (!_page) throw std::runtime_error(NO_PAGE_MESSAGE);
  return _page;
}

std::shared_ptr<pw::Dialog> SessionKeeper::get_dialog() const {
  for (const auto& d : _dialogs)
    if (!d->is_handled()) return d;
  return _dialogs.empty() ? nullptr : _dialogs.back();
}

void SessionKeeper::clear_dialog() {
  size_t before = _dialogs.size();
  std::erase_if(_dialogs, [](const auto& d) { return d->is_handled(); });
  if (_dialogs.size() == before && !_dialogs.empty()) _dialogs.pop_front();
}

std::vector<std::shared_ptr<pw::Page>> SessionKeeper::pages() const {
  if (!_page) return {};
  auto context = _page->context();
  return context ? context->pages() : std::vector<std::shared_ptr<pw::Page>>{_page};
}

void SessionKeeper::switch_to(const std::shared_ptr<pw::Page>& page) {
  if (!page || page == _page) return;
  page->on_dialog([this](std::shared_ptr<pw::Dialog> dialog) { _on_dialog(std::move(dialog)); });
  _page = page;
}

void SessionKeeper::close() {
  if (_browser && _playwright) _playwright->connection()->answer_by = std::chrono::steady_clock::now() + _CLOSE_BOUND;
  // A remote browser outlives the session: only what the session opened
  // in it is closed.
  if (_remote && _page)
    if (auto context = _page->context()) context->close();
  if (_browser) _browser->close();
  if (_playwright) _playwright->stop();
  _page = nullptr;
  _context = nullptr;
  _browser = nullptr;
  _playwright = nullptr;
}

}  // namespace plainstep
