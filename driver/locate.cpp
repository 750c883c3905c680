// Finding node and the playwright-core package on this machine.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "driver/connection.hpp"
#include "driver/errors.hpp"

namespace pw {

namespace fs = std::filesystem;

namespace {

const char* _env(const char* name) {
  const char* v = std::getenv(name);
  return (v && *v) ? v : nullptr;
}

bool _executable(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec) && access(p.c_str(), X_OK) == 0;
}

std::string _find_node() {
  if (const char* v = _env("PLAINSTEP_NODE")) {
    if (!_executable(v))
      throw ConnectionError(std::string("PLAINSTEP_NODE is '") + v + "', which is not an executable file");
    return v;
  }
  if (const char* path = _env("PATH")) {
    std::string all = path;
    size_t start = 0;
    while (start <= all.size()) {
      size_t end = all.find(':', start);
      if (end == std::string::npos) end = all.size();
      std::string dir = all.substr(start, end - start);
      if (!dir.empty() && _executable(fs::path(dir) / "node")) return (fs::path(dir) / "node").string();
      start = end + 1;
    }
  }
  for (const char* p : {"/usr/bin/node", "/usr/local/bin/node"})
    if (_executable(p)) return p;
  throw ConnectionError("cannot find node on PATH; install Node.js or set PLAINSTEP_NODE to the node executable");
}

bool _is_package(const fs::path& dir) {
  std::error_code ec;
  return fs::is_regular_file(dir / "cli.js", ec);
}

// This library's own folder, so a host installed elsewhere still finds the
// package installed next to the library.
fs::path _library_dir() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&locate_driver), &info) && info.dli_fname)
    return fs::absolute(info.dli_fname).parent_path();
  return {};
}

std::string _find_package() {
  if (const char* v = _env("PLAINSTEP_PLAYWRIGHT_DIR")) {
    if (!_is_package(v))
      throw ConnectionError(std::string("PLAINSTEP_PLAYWRIGHT_DIR is '") + v +
                            "', which holds no cli.js of a playwright-core package");
    return v;
  }
  std::vector<fs::path> starts;
  std::error_code ec;
  auto exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) starts.push_back(exe.parent_path());
  if (auto lib = _library_dir(); !lib.empty()) starts.push_back(lib);
  std::vector<std::string> tried;
  for (auto dir : starts) {
    for (int up = 0; up < 4 && !dir.empty(); ++up, dir = dir.parent_path()) {
      auto candidate = dir / "node_modules" / "playwright-core";
      if (_is_package(candidate)) return candidate.string();
      tried.push_back(candidate.string());
      if (dir == dir.root_path()) break;
    }
  }
#ifdef PLAINSTEP_SOURCE_DIR
  auto source = fs::path(PLAINSTEP_SOURCE_DIR) / "node_modules" / "playwright-core";
  if (_is_package(source)) return source.string();
  tried.push_back(source.string());
#endif
  std::string list;
  for (auto& t : tried) list += (list.empty() ? "" : ", ") + t;
  throw ConnectionError("cannot find the playwright-core package (looked in " + list +
                        "); run scripts/bootstrap (npm ci) or set PLAINSTEP_PLAYWRIGHT_DIR");
}

}  // namespace

DriverLocation locate_driver() { return {_find_node(), _find_package()}; }

}  // namespace pw
