// plainstep harvest URL: what one extraction reads from a live page, as
// snapshot JSON that `resolve --snapshot` and `matrix --snapshot` replay.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "browser/page_harvester/page_harvester.hpp"
#include "browser/session_keeper/session_keeper.hpp"
#include "command.hpp"
#include "config.hpp"
#include "records_io.hpp"
#include "run_address.hpp"
#include "text/text.hpp"

namespace plainstep::host {
namespace {

struct HarvestArgs {
  std::string url;
  std::optional<std::string> out;
  std::optional<std::string> browser;
  bool headed = false;
  bool exact = false;
};

double _seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Written next to the target first, then renamed, so a failed run never
// leaves half a file where a good one was.
void _write_file(const std::string& path, const std::string& content) {
  std::string tmp = path + ".part";
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!f) throw std::invalid_argument("cannot write " + text::quoted_literal(path));
    f << content;
    f.close();
    if (!f) {
      std::filesystem::remove(tmp);
      throw std::invalid_argument("cannot write " + text::quoted_literal(path));
    }
  }
  std::filesystem::rename(tmp, path);
}

int _run(const HarvestArgs& a) {
  std::string url = resolve_start_url(a.url, std::filesystem::current_path().string());
  if (a.browser) config::BROWSER = *a.browser;
  if (a.headed) config::HEADLESS = false;
  auto t0 = std::chrono::steady_clock::now();
  std::cerr << "harvest: opening " << url << "\n";
  SessionKeeper session;
  session.open(url);
  std::cerr << "harvest: page loaded in " << _seconds_since(t0) << " s\n";
  auto mode = a.exact ? std::optional(Extraction::exact) : std::nullopt;
  PageHarvester harvester(session.get_page(), mode);
  auto t1 = std::chrono::steady_clock::now();
  auto [elements, text_elements] = harvester.extract_interactable_elements();
  std::cerr << "harvest: " << elements.size() << " elements, " << text_elements.size()
            << " text elements in " << _seconds_since(t1) << " s ("
            << (harvester.mode() == Extraction::exact ? "exact" : "fast") << " extraction)\n";
  PageRecords page{session.get_page()->url(), elements, text_elements};
  session.close();
  std::string content = snapshot_json(page).dump(2, ' ', true) + "\n";
  if (a.out) {
    _write_file(*a.out, content);
    std::cerr << "harvest: wrote " << *a.out << "\n";
  } else {
    std::cout << content << std::flush;
  }
  return EXIT_OK;
}

const RegisterCommand _harvest{
    "harvest", "Read a live page into element descriptors and text elements (snapshot JSON)", 60,
    [](CLI::App& app) -> Runner {
      auto a = std::make_shared<HarvestArgs>();
      app.add_option("URL", a->url, "web address, or a path to an HTML file")->required();
      app.add_option("--out", a->out, "write the JSON to this file instead of standard output");
      app.add_option("--browser", a->browser, "browser type: chromium (default), webkit, ...");
      app.add_flag("--headed", a->headed, "show the browser window");
      app.add_flag("--exact", a->exact,
                   "read element by element through the driver (slow reference path)");
      return [a] { return _run(*a); };
    }};

}  // namespace
}  // namespace plainstep::host
