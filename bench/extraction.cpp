// Extraction speed on generated pages of growing size: the exact reading
// (element by element through the driver), the fast reading (one gathering
// evaluation) and the floor (one bare evaluation that only counts the
// page's elements), side by side in one run, medians of a few runs each.
//
//   benchmarks [--sizes 100,1000,5000] [--repeat 5] [--exact-budget 120] [--profile] [--fast-only]
//   benchmarks --sizes 10000,50000 --write-gather DIR
//
// --profile adds where the fast reading's time goes; --fast-only leaves the
// exact reading out (for profiling). --write-gather measures nothing: it
// writes the gathering script as the page receives it (gather.js), its
// argument (argument.json) and the generated page of each size
// (page-SIZE.html) into DIR, for bench/profile-gather.mjs.
//
// Progress goes to stderr, the table to stdout.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "browser/page_harvester/exact_reads.hpp"
#include "browser/page_harvester/page_harvester.hpp"
#include "browser/page_harvester/rules.hpp"
#include "browser/page_harvester/scripts.hpp"
#include "driver/pw.hpp"
#include "page_harvester/generated_page.hpp"

// The harvester reads these from its host; a benchmark never writes
// snapshots.
namespace settings {
bool SAVE_SNAPSHOTS = false;
std::string LOG_PATH = "data/logs/";
}  // namespace settings

namespace plainstep::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int _WARM_UP = 8;
const std::string _COUNT_JS = "() => document.querySelectorAll('*').length";

struct _Options {
  std::vector<int> sizes{100, 1000, 5000};
  int repeat = 5;
  double exact_budget = 120;  // seconds of exact runs per page, after the first
  bool profile = false;
  bool fast_only = false;  // for profiling the fast reading
  std::string write_gather;  // a folder: write the script, its argument and the pages, measure nothing
};

[[noreturn]] void _usage(const std::string& why) {
  std::cerr << "benchmarks: " << why << "\n"
            << "usage: benchmarks [--sizes 100,1000,5000] [--repeat N] [--exact-budget SECONDS] "
               "[--profile] [--fast-only] [--write-gather DIR]\n";
  std::exit(2);
}

int _positive_int(const std::string& flag, const std::string& v) {
  try {
    size_t used = 0;
    int n = std::stoi(v, &used);
    if (used == v.size() && n > 0) return n;
  } catch (const std::exception&) {
  }
  _usage(flag + " expects a positive whole number, got '" + v + "'");
}

_Options _parse(int argc, char** argv) {
  _Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) _usage(a + " needs a value");
      return argv[++i];
    };
    if (a == "--sizes") {
      o.sizes.clear();
      std::stringstream list(value());
      for (std::string s; std::getline(list, s, ',');) o.sizes.push_back(_positive_int("--sizes", s));
      if (o.sizes.empty()) _usage("--sizes needs at least one size");
    } else if (a == "--repeat") {
      o.repeat = _positive_int(a, value());
    } else if (a == "--exact-budget") {
      o.exact_budget = _positive_int(a, value());
    } else if (a == "--profile") {
      o.profile = true;
    } else if (a == "--fast-only") {
      o.fast_only = true;
    } else if (a == "--write-gather") {
      o.write_gather = value();
    } else if (a == "-h" || a == "--help") {
      _usage("extraction speed, exact against fast against the floor");
    } else {
      _usage("unknown argument '" + a + "'");
    }
  }
  return o;
}

double _ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double _timed(const std::function<void()>& f) {
  auto start = Clock::now();
  f();
  return _ms_since(start);
}

double _median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// CPU time of this process (every thread), which a loaded machine
// inflates far less than the wall clock.
double _cpu_ms() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// CPU time so far, in ms, of this process, of the driver it started and
// of the browser the driver started (with its helpers): what an
// extraction costs the machine, whatever else keeps the cores busy.
struct _CpuUse {
  double self = 0, driver = 0, browser = 0;
  double total() const { return self + driver + browser; }
  _CpuUse operator-(const _CpuUse& o) const { return {self - o.self, driver - o.driver, browser - o.browser}; }
};

_CpuUse _tree_cpu() {
  std::map<long, long> parent;
  std::map<long, double> ticks;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream in(entry.path() / "stat");
    std::string stat;
    if (!std::getline(in, stat)) continue;
    // After the command's name in parentheses: state, ppid, ... utime
    // and stime are the 12th and 13th fields from there.
    std::istringstream rest(stat.substr(std::min(stat.size(), stat.rfind(')') + 1)));
    std::vector<std::string> f(std::istream_iterator<std::string>(rest), {});
    if (f.size() < 13) continue;
    long pid = std::stol(name);
    parent[pid] = std::stol(f[1]);
    ticks[pid] = std::stod(f[11]) + std::stod(f[12]);
  }
  _CpuUse use;
  const double ms = 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
  for (const auto& [pid, t] : ticks)
    for (long p = pid, depth = 0; p > 1 && depth < 64; p = parent.count(p) ? parent[p] : 0, ++depth)
      if (p == getpid()) {
        (depth == 0 ? use.self : depth == 1 ? use.driver : use.browser) += t * ms;
        break;
      }
  return use;
}

std::vector<double> _repeated(int times, const std::function<void()>& f) {
  std::vector<double> out;
  for (int i = 0; i < times; ++i) out.push_back(_timed(f));
  return out;
}

// The generated page on disk for as long as it is measured.
struct _PageFile {
  fs::path path;
  explicit _PageFile(int blocks)
      : path(fs::temp_directory_path() /
             ("plainstep_bench_" + std::to_string(getpid()) + "_" + std::to_string(blocks) + ".html")) {
    std::ofstream(path) << testing::generated_page(blocks);
  }
  ~_PageFile() {
    std::error_code ec;
    fs::remove(path, ec);
  }
};

struct _Row {
  long elements = 0;
  size_t descriptors = 0, texts = 0;
  double exact = 0, fast = 0, floor = 0;
  _CpuUse fast_cpu;  // per fast extraction
  int exact_runs = 0;
  bool same = false;
};

std::string _records(const std::pair<Elements, Elements>& r) {
  return to_json(r.first).dump() + "\n" + to_json(r.second).dump();
}

// Where the fast reading's time goes: the gathering in the page alone,
// the evaluation as the driver returns it, and the C++ rules on top.
void _profile(const std::shared_ptr<pw::Page>& page, long elements, int repeat) {
  json groups = {{"interactable", INTERACTABLE_SELECTOR},
                 {"custom", _CUSTOM_INPUT_SELECTOR},
                 {"label", _LABEL_CANDIDATE_SELECTOR},
                 {"text", TEXT_CANDIDATE_SELECTOR}};
  json arg = {{"groups", groups},
              {"pointer", true},
              {"attributes", std::vector<std::string>(CAPTURED_ATTRIBUTES.begin(), CAPTURED_ATTRIBUTES.end())},
              {"text", {{"tags", std::vector<std::string>(_TEXT_TAGS.begin(), _TEXT_TAGS.end())},
                        {"never", std::vector<std::string>(NEVER_TEXT_TAGS.begin(), NEVER_TEXT_TAGS.end())}}}};
  std::string in_page = "arg => { const gather = " + _GATHER_JS +
                        "; const t = performance.now(); gather(arg); return performance.now() - t; }";
  std::string sized = "arg => { const gather = " + _GATHER_JS + "; return gather(arg).length; }";
  std::vector<double> script;
  for (int i = 0; i < repeat; ++i) script.push_back(page->evaluate(in_page, arg).get<double>());
  double evaluate = _median(_repeated(repeat, [&] { page->evaluate(_GATHER_JS, arg); }));
  // Where the reading runs: the page's isolated world, when it has one.
  auto world = pw::IsolatedWorld::of(*page);
  double isolated = world ? _median(_repeated(repeat, [&] { world->call(_GATHER_JS, arg); })) : 0;
  long bytes = page->evaluate(sized, arg).get<long>();
  // The same number of bytes as one ready string: what carrying the
  // answer costs, without gathering it.
  page->evaluate("n => { window.__bench_payload = 'x'.repeat(n); }", bytes);
  double carry = _median(_repeated(repeat, [&] { page->evaluate("() => window.__bench_payload"); }));
  std::vector<std::string> all = {INTERACTABLE_SELECTOR, _CUSTOM_INPUT_SELECTOR, _LABEL_CANDIDATE_SELECTOR,
                                  TEXT_CANDIDATE_SELECTOR};
  // The extraction's steps, timed within each run: reading in, then the
  // rules on what was read.
  std::vector<double> reading, rules, cpu;
  for (int i = 0; i < repeat; ++i) {
    double cpu_before = _cpu_ms();
    auto start = Clock::now();
    auto reads = harvest::fast_reads(page, all, true);
    reading.push_back(_ms_since(start));
    start = Clock::now();
    Elements elements = harvest::native_elements(*reads);
    for (auto& e : harvest::custom_inputs(*reads)) elements.push_back(std::move(e));
    for (auto& e : harvest::pointer_elements(*reads)) elements.push_back(std::move(e));
    PageHarvester::_assign_spatial_labels(elements, harvest::label_candidates(*reads));
    Elements texts = PageHarvester::_dedup_text_elements(harvest::text_candidates(*reads));
    rules.push_back(_ms_since(start));
    cpu.push_back(_cpu_ms() - cpu_before);
  }
  auto reads = harvest::fast_reads(page, {TEXT_CANDIDATE_SELECTOR}, false);
  Elements candidates = harvest::text_candidates(*reads);
  double dedup = _median(_repeated(repeat, [&] { PageHarvester::_dedup_text_elements(candidates); }));
  std::printf("profile, %ld elements: gathering in the page %.1f ms; evaluate as returned %.1f ms, in the "
              "isolated world %.1f ms (%ld bytes as JSON, carried alone in %.1f ms); "
              "read in (evaluate and parse) %.1f ms; rules %.1f ms, of which text de-duplication of %zu "
              "candidates %.2f ms; CPU time of this process per extraction %.1f ms\n",
              elements, _median(script), evaluate, isolated, bytes, carry, _median(reading), _median(rules),
              candidates.size(), dedup, _median(cpu));
}

// The generated page with about `size` elements, loaded: the generator
// counts in blocks of mixed content, so the first guess is scaled once by
// what the page counts.
std::unique_ptr<_PageFile> _load(pw::Page& page, int size) {
  int blocks = std::max(1, size / 10);
  auto file = std::make_unique<_PageFile>(blocks);
  page.navigate("file://" + file->path.string());
  long counted = page.evaluate(_COUNT_JS).get<long>();
  int scaled = std::max(1, static_cast<int>(std::lround(static_cast<double>(blocks) * size / counted)));
  if (scaled == blocks) return file;
  file = std::make_unique<_PageFile>(scaled);
  page.navigate("file://" + file->path.string());
  return file;
}

_Row _measure(pw::Browser& browser, int size, const _Options& o) {
  pw::NewPageOptions options;
  options.viewport = pw::Viewport{1280, 720};
  auto page = browser.new_page(options);
  auto file = _load(*page, size);
  _Row row;
  row.elements = page->evaluate(_COUNT_JS).get<long>();
  std::cerr << "bench: " << row.elements << " elements: warming up\n";
  PageHarvester fast(page, Extraction::fast), exact(page, Extraction::exact);
  // The page's script engine compiles a function hot only after a few
  // calls, and an extraction runs before every step: measure it warm.
  std::pair<Elements, Elements> fast_records;
  for (int i = 0; i < _WARM_UP; ++i) fast_records = fast.extract_interactable_elements();
  page->evaluate(_COUNT_JS);
  row.descriptors = fast_records.first.size();
  row.texts = fast_records.second.size();

  row.floor = _median(_repeated(o.repeat, [&] { page->evaluate(_COUNT_JS); }));
  std::cerr << "bench: " << row.elements << " elements: fast, " << o.repeat << " runs\n";
  _CpuUse cpu_before = _tree_cpu();
  row.fast = _median(_repeated(o.repeat, [&] { fast_records = fast.extract_interactable_elements(); }));
  _CpuUse used = _tree_cpu() - cpu_before;
  row.fast_cpu = {used.self / o.repeat, used.driver / o.repeat, used.browser / o.repeat};
  if (o.profile)
    std::printf("profile, %ld elements: CPU per fast extraction %.0f ms: this process %.0f, the driver %.0f, the "
                "browser %.0f\n",
                row.elements, row.fast_cpu.total(), row.fast_cpu.self, row.fast_cpu.driver, row.fast_cpu.browser);

  // The exact reading is slow on big pages: after the first run, repeat it
  // only while the budget lasts.
  std::vector<double> exact_times;
  std::pair<Elements, Elements> exact_records;
  double spent = 0;
  while (!o.fast_only && static_cast<int>(exact_times.size()) < o.repeat) {
    std::cerr << "bench: " << row.elements << " elements: exact run " << exact_times.size() + 1 << "/"
              << o.repeat << "\n";
    exact_times.push_back(_timed([&] { exact_records = exact.extract_interactable_elements(); }));
    spent += exact_times.back() / 1000;
    std::cerr << "bench:   " << static_cast<long>(exact_times.back()) << " ms\n";
    if (spent + exact_times.back() / 1000 > o.exact_budget) break;
  }
  row.exact_runs = static_cast<int>(exact_times.size());
  if (row.exact_runs) {
    row.exact = _median(exact_times);
    row.same = _records(exact_records) == _records(fast_records);
  }
  if (o.profile) _profile(page, row.elements, o.repeat);
  page->close();
  return row;
}

std::string _fmt(const char* format, double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

// The first line of a /proc file holding `key`, after the colon (all of
// the first line without a key); "" when unreadable.
std::string _proc(const char* file, const std::string& key = "") {
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    if (key.empty()) return line;
    if (line.starts_with(key)) return line.substr(std::min(line.size(), line.find(':') + 2));
  }
  return "";
}

void _print(const std::vector<_Row>& rows, const _Options& o, const std::string& load_before) {
  std::printf("\nmachine: %u cores, %s; load average before %s, after %s\n",
              std::thread::hardware_concurrency(), _proc("/proc/cpuinfo", "model name").c_str(),
              load_before.c_str(), _proc("/proc/loadavg").substr(0, 14).c_str());
  std::printf("%8s %6s %6s  %10s %4s  %8s  %8s  %8s  %10s  %10s  %s\n", "elements", "descr", "texts",
              "exact ms", "runs", "fast ms", "fast cpu", "floor ms", "fast/exact", "fast/floor", "same records");
  for (const auto& r : rows) {
    bool exact = r.exact_runs > 0;
    std::printf("%8ld %6zu %6zu  %10s %4d  %8.2f  %8.0f  %8.2f  %10s  %10.2f  %s\n", r.elements, r.descriptors,
                r.texts, exact ? _fmt("%.1f", r.exact).c_str() : "-", r.exact_runs, r.fast, r.fast_cpu.total(),
                r.floor,
                exact ? _fmt("1/%.0f", r.exact / r.fast).c_str() : "-", r.fast / r.floor,
                exact ? (r.same ? "yes" : "NO") : "-");
  }
  std::printf("\nmedians of %d runs; fast cpu: the mean CPU time of this process, the driver and the browser "
              "per fast extraction (ms), which a busy machine inflates far less than the wall clock; the exact "
              "reading stops repeating once its runs on a page would pass %.0f s (runs column)\n",
              o.repeat, o.exact_budget);
  for (size_t i = 1; i < rows.size(); ++i)
    std::printf("fast, %ld against %ld elements: %.2fx the time (%.2fx the CPU) for %.2fx the elements\n",
                rows[i].elements, rows[i - 1].elements, rows[i].fast / rows[i - 1].fast,
                rows[i].fast_cpu.total() / rows[i - 1].fast_cpu.total(),
                static_cast<double>(rows[i].elements) / rows[i - 1].elements);
}

// The gathering script, its argument and the generated pages, as files
// for profiling the script in the page on its own.
void _write_gather(pw::Browser& browser, const _Options& o) {
  fs::path dir = o.write_gather;
  fs::create_directories(dir);
  std::ofstream(dir / "gather.js") << _GATHER_JS << "\n";
  std::vector<std::string> all = {INTERACTABLE_SELECTOR, _CUSTOM_INPUT_SELECTOR, _LABEL_CANDIDATE_SELECTOR,
                                  TEXT_CANDIDATE_SELECTOR};
  std::ofstream(dir / "argument.json") << harvest::gathering_argument(all, true).dump() << "\n";
  auto page = browser.new_page();
  for (int size : o.sizes) {
    auto file = _load(*page, size);
    fs::path to = dir / ("page-" + std::to_string(size) + ".html");
    fs::copy_file(file->path, to, fs::copy_options::overwrite_existing);
    std::cerr << "bench: wrote " << to.string() << "\n";
  }
  page->close();
  std::cerr << "bench: wrote " << (dir / "gather.js").string() << " and " << (dir / "argument.json").string()
            << "\n";
}

int _run(const _Options& o) {
  std::string load_before = _proc("/proc/loadavg").substr(0, 14);
  auto playwright = pw::sync_playwright().start();
  std::vector<_Row> rows;
  try {
    auto browser = playwright->chromium()->launch({});
    if (!o.write_gather.empty()) {
      _write_gather(*browser, o);
      playwright->stop();
      return 0;
    }
    for (int size : o.sizes) {
      rows.push_back(_measure(*browser, size, o));
      if (o.profile) std::fflush(stdout);
    }
  } catch (...) {
    playwright->stop();
    throw;
  }
  playwright->stop();
  _print(rows, o, load_before);
  for (const auto& r : rows)
    if (r.exact_runs && !r.same) {
      std::cerr << "benchmarks: the fast and the exact reading gave different records on the page of "
                << r.elements << " elements\n";
      return 1;
    }
  return 0;
}

}  // namespace
}  // namespace plainstep::bench

int main(int argc, char** argv) {
  auto options = plainstep::bench::_parse(argc, argv);
  try {
    return plainstep::bench::_run(options);
  } catch (const std::exception& e) {
    std::cerr << "benchmarks: " << e.what() << "\n";
    return 1;
  }
}
