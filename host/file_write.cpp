#include "file_write.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "text/text.hpp"

namespace plainstep::host {

namespace fs = std::filesystem;

namespace {

// Read once while the program starts, single-threaded: asking later would
// change the process's mask for a moment under other threads.
const mode_t _UMASK = [] {
  mode_t m = ::umask(0);
  ::umask(m);
  return m;
}();

[[noreturn]] void _fail(const std::string& path, const std::string& why) {
  throw std::runtime_error("cannot write " + text::quoted_literal(path) + ": " + why);
}

// Writes everything or reports the first error; a short write is retried.
bool _write_all(int fd, std::string_view content) {
  while (!content.empty()) {
    ssize_t n = ::write(fd, content.data(), content.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    content.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

void write_file_whole(const std::string& path, std::string_view content) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) _fail(path, "it is a folder");
  fs::path target(path);
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  // The temporary name starts with a dot so that a folder listing during
  // the write does not show it as a report.
  std::string tmpl = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
  int fd = ::mkstemp(tmpl.data());
  if (fd < 0) _fail(path, std::strerror(errno));
  bool ok = _write_all(fd, content);
  int err = ok ? 0 : errno;
  // mkstemp creates 0600; a report is read by others like any new file.
  if (ok && ::fchmod(fd, 0666 & ~_UMASK) != 0) {
    ok = false;
    err = errno;
  }
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    err = errno;
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && ::rename(tmpl.c_str(), path.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(tmpl.c_str());
    _fail(path, std::strerror(err));
  }
}

}  // namespace plainstep::host

namespace plainstep::host {

std::optional<std::string> folder_problem(const std::string& dir) {
  std::error_code ec;
  if (fs::exists(dir, ec) && !fs::is_directory(dir, ec)) return "it is a file, not a folder";
  fs::create_directories(dir, ec);
  if (ec) return "it cannot be created: " + ec.message();
  // Whether a file can be made there, as the writes will make them.
  std::string probe = (fs::path(dir) / ".plainstep-probe.XXXXXX").string();
  int fd = ::mkstemp(probe.data());
  if (fd < 0) return std::string("nothing can be written in it: ") + std::strerror(errno);
  ::close(fd);
  ::unlink(probe.c_str());
  return std::nullopt;
}

}  // namespace plainstep::host
