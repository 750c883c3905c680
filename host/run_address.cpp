#include "run_address.hpp"

#include <cctype>
#include <filesystem>
#include <stdexcept>

#include "text/text.hpp"

namespace plainstep::host {

namespace fs = std::filesystem;

bool has_scheme(std::string_view a) {
  size_t colon = a.find(':');
  if (colon == std::string_view::npos || colon < 2) return false;  // "C:" style is no scheme here
  if (!std::isalpha(static_cast<unsigned char>(a[0]))) return false;
  for (size_t i = 1; i < colon; ++i) {
    char c = a[i];
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

std::string file_url(const std::string& absolute_path) {
  static const char* _HEX = "0123456789ABCDEF";
  std::string out = "file://";
  for (unsigned char c : absolute_path) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~' || c >= 0x80) {
      if (c >= 0x80) {
        out += '%';
        out += _HEX[c >> 4];
        out += _HEX[c & 15];
      } else {
        out += static_cast<char>(c);
      }
    } else {
      out += '%';
      out += _HEX[c >> 4];
      out += _HEX[c & 15];
    }
  }
  return out;
}

std::string join_url(const std::string& base, std::string_view path) {
  size_t scheme_end = base.find("://");
  if (!has_scheme(base) || scheme_end == std::string::npos)
    throw std::invalid_argument("the base address " + text::quoted_literal(base) +
                                " is not a web address with a host, such as http://localhost:8080");
  if (path.starts_with("//")) return base.substr(0, scheme_end + 1) + std::string(path);
  size_t host_end = base.find_first_of("/?#", scheme_end + 3);
  return base.substr(0, host_end) + std::string(path);
}

std::string resolve_start_url(std::string_view address, const std::string& base_dir,
                              const std::optional<std::string>& base_url) {
  std::string a = text::trim(address);
  if (a.empty()) throw std::invalid_argument("the start address is empty");
  if (has_scheme(a)) return a;
  if (base_url && a.front() == '/') return join_url(*base_url, a);
  // A path, possibly with a #fragment or ?query that is not part of the file name.
  std::string path = a, suffix;
  if (size_t cut = a.find_first_of("?#"); cut != std::string::npos) {
    path = a.substr(0, cut);
    suffix = a.substr(cut);
  }
  fs::path p(path);
  if (p.is_relative()) p = fs::path(base_dir.empty() ? "." : base_dir) / p;
  std::error_code ec;
  fs::path abs = fs::weakly_canonical(fs::absolute(p, ec), ec);
  if (ec || !fs::is_regular_file(abs))
    throw std::invalid_argument("the start address " + text::quoted_literal(a) +
                                " names no file: " + text::quoted_literal(abs.string()) +
                                " does not exist" +
                                (a.front() == '/' ? " (an address on a site needs --base-url)" : ""));
  return file_url(abs.string()) + suffix;
}

}  // namespace plainstep::host
