// plainstep harvest URL: what one extraction reads from a live page, as
// snapshot JSON that `resolve --snapshot` and `matrix --snapshot` replay.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <streambuf>

#include "browser/page_harvester/page_harvester.hpp"
#include "browser/session_keeper/session_keeper.hpp"
#include "command.hpp"
#include "config.hpp"
#include "file_write.hpp"
#include "driver/errors.hpp"
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

// A folder that is not there is found before the browser starts, not after
// the page has been read.
void _check_out_folder(const std::string& path) {
  namespace fs = std::filesystem;
  fs::path dir = fs::absolute(path).parent_path();
  if (fs::is_directory(path))
    throw std::invalid_argument("--out " + text::quoted_literal(path) + " is a folder, not a file");
  if (!fs::is_directory(dir))
    throw std::invalid_argument("cannot write --out " + text::quoted_literal(path) + ": the folder " +
                                text::quoted_literal(dir.string()) + " does not exist");
}

// The driver's first line says what went wrong; its call log repeats the URL.
std::string _first_line(const std::string& message) { return message.substr(0, message.find('\n')); }

// Anything the engine prints while reading the page (the snapshot notice)
// goes to standard error, so standard output carries the JSON alone.
class _StdoutToStderr {
 public:
  _StdoutToStderr() : saved_(std::cout.rdbuf(std::cerr.rdbuf())) {}
  ~_StdoutToStderr() { std::cout.rdbuf(saved_); }

 private:
  std::streambuf* saved_;
};

int _run(const HarvestArgs& a) {
  std::string url = resolve_start_url(a.url, std::filesystem::current_path().string());
  if (a.out) _check_out_folder(*a.out);
  if (a.browser) config::BROWSER = *a.browser;
  if (a.headed) config::HEADLESS = false;
  auto mode = a.exact ? std::optional(Extraction::exact) : std::nullopt;
  if (!mode) extraction_from_environment();  // a bad PLAINSTEP_EXTRACTION fails before the browser starts
  auto t0 = std::chrono::steady_clock::now();
  std::cerr << "harvest: opening " << url << "\n";
  SessionKeeper session;
  try {
    session.open(url);
  } catch (const pw::Error& e) {
    // A page that cannot be loaded, or a browser that cannot start, is
    // something that did not hold, not a usage error.
    std::cerr << "plainstep harvest: cannot load " << text::quoted_literal(url) << ": "
              << _first_line(e.what()) << "\n";
    return EXIT_FAILED;
  }
  std::cerr << "harvest: page loaded in " << _seconds_since(t0) << " s\n";
  PageHarvester harvester(session.get_page(), mode);
  auto t1 = std::chrono::steady_clock::now();
  std::pair<Elements, Elements> got;
  {
    _StdoutToStderr notice_to_stderr;
    got = harvester.extract_interactable_elements();
  }
  auto& [elements, text_elements] = got;
  std::cerr << "harvest: " << elements.size() << " elements, " << text_elements.size()
            << " text elements in " << _seconds_since(t1) << " s ("
            << (harvester.mode() == Extraction::exact ? "exact" : "fast") << " extraction)\n";
  PageRecords page{session.get_page()->url(), elements, text_elements};
  session.close();
  std::string content = snapshot_json(page).dump(2, ' ', true) + "\n";
  if (a.out) {
    try {
      write_file_whole(*a.out, content);
    } catch (const std::runtime_error& e) {
      std::cerr << "plainstep harvest: " << e.what() << "\n";
      return EXIT_USAGE;
    }
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
