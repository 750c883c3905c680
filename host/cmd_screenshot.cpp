// plainstep screenshot URL FILE: opens the page in a real browser, the way a
// run does, and saves a PNG of it.
#include <iostream>

#include "browser/session_keeper/session_keeper.hpp"
#include "command.hpp"
#include "config.hpp"
#include "driver/errors.hpp"
#include "file_write.hpp"
#include "host_config.hpp"

namespace plainstep::host {
namespace {

struct _Options {
  std::string url, file, browser, viewport;
  bool headed = false, full_page = false;
};

int _screenshot(const _Options& o) {
  if (!o.browser.empty()) config::BROWSER = o.browser;
  if (o.headed) config::HEADLESS = false;
  if (!o.viewport.empty()) {
    try {
      parse_viewport(o.viewport, config::VIEWPORT_WIDTH, config::VIEWPORT_HEIGHT);
    } catch (const std::invalid_argument& e) {
      std::cerr << "plainstep screenshot: --viewport: " << e.what() << "\n";
      return EXIT_USAGE;
    }
  }
  SessionKeeper session;
  std::string png;
  try {
    std::cerr << "opening " << o.url << " in " << config::BROWSER << "\n";
    session.open(o.url);
    png = session.get_page()->screenshot({std::nullopt, o.full_page});
    session.close();
  } catch (const pw::Error& e) {
    std::cerr << "plainstep screenshot: " << e.what() << "\n";
    return EXIT_FAILED;
  }
  try {
    write_file_whole(o.file, png);
  } catch (const std::runtime_error& e) {
    std::cerr << "plainstep screenshot: " << e.what() << "\n";
    return EXIT_USAGE;
  }
  std::cout << "saved " << o.file << " (" << png.size() << " bytes)\n";
  return EXIT_OK;
}

const RegisterCommand _screenshot_command("screenshot", "Open a page in a real browser and save a PNG of it", 70,
                           [](CLI::App& app) -> Runner {
  auto o = std::make_shared<_Options>();
  app.add_option("url", o->url, "Address to open (http://, https://, file://)")->required();
  app.add_option("file", o->file, "PNG file to write")->required();
  app.add_option("--browser", o->browser, "Browser type: chromium (default), firefox, webkit or safari");
  app.add_flag("--headed", o->headed, "Show the browser window");
  app.add_option("--viewport", o->viewport, "Viewport as WIDTHxHEIGHT, such as 1280x720");
  app.add_flag("--full-page", o->full_page, "The whole page, not just the viewport");
  app.footer("Exit status: 0 when saved, 1 when the browser or the page fails (the driver's message\n"
             "follows), 2 on bad arguments or an unwritable file.");
  return [o] { return _screenshot(*o); };
});

}  // namespace
}  // namespace plainstep::host
