// Snapshot files: what one extraction saw, for debugging a run.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "config.hpp"
#include "exact_reads.hpp"
#include "page_harvester.hpp"
#include "rules.hpp"

namespace plainstep {

namespace {

std::runtime_error _io_error(const std::string& what, const std::string& path) {
  return std::runtime_error("cannot " + what + " snapshot file '" + path + "': " + std::strerror(errno));
}

std::string _timestamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d_%H%M%S", &local);
  return buf;
}

// Writes the whole text to a new hidden file in `dir`; returns its path.
std::string _write_temporary(const std::filesystem::path& dir, const std::string& stem,
                             const std::string& content) {
  std::string tmp = (dir / ("." + stem + ".XXXXXX")).string();
  int fd = mkstemp(tmp.data());
  if (fd < 0) throw _io_error("create", tmp);
  size_t done = 0;
  while (done < content.size()) {
    ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      auto err = _io_error("write", tmp);
      close(fd);
      unlink(tmp.c_str());
      throw err;
    }
    done += static_cast<size_t>(n);
  }
  if (fchmod(fd, 0644) != 0 || close(fd) != 0) {
    auto err = _io_error("write", tmp);
    unlink(tmp.c_str());
    throw err;
  }
  return tmp;
}

// Gives the finished temporary file the first free name: stem.json, then
// stem_2.json, stem_3.json... A hard link never replaces an existing file,
// so two writers cannot take the same name.
std::string _publish(const std::string& tmp, const std::filesystem::path& dir, const std::string& stem) {
  for (int n = 1;; ++n) {
    std::string name = stem + (n == 1 ? "" : "_" + std::to_string(n)) + ".json";
    std::string path = (dir / name).string();
    if (link(tmp.c_str(), path.c_str()) == 0) {
      unlink(tmp.c_str());
      return path;
    }
    if (errno == EEXIST) continue;
    if (errno == EPERM || errno == EOPNOTSUPP || errno == EXDEV) {
      // A file system without hard links: claim the name, then move in.
      int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
      if (fd < 0 && errno == EEXIST) continue;
      if (fd >= 0) {
        close(fd);
        if (rename(tmp.c_str(), path.c_str()) == 0) return path;
      }
    }
    auto err = _io_error("save", path);
    unlink(tmp.c_str());
    throw err;
  }
}

}  // namespace

void PageHarvester::_save_snapshot(const Elements& elements, const Elements& text_elements) {
  if (!settings::SAVE_SNAPSHOTS) return;
  std::filesystem::path dir(settings::LOG_PATH);
  if (!dir.empty()) std::filesystem::create_directories(dir);
  std::string url = page_->url();
  std::string stem = _timestamp() + "_" + harvest::url_slug(url);
  json j = json::object();
  j["url"] = url;
  j["elements"] = to_json(elements);
  j["text_elements"] = to_json(text_elements);
  std::string content = j.dump(2, ' ', true) + "\n";
  std::string path = _publish(_write_temporary(dir, stem, content), dir, stem);
  std::cout << "  [DOM snapshot saved \u2192 " << path << "]" << std::endl;
}

}  // namespace plainstep
