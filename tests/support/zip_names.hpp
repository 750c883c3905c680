#pragma once
// The names of the entries of a zip archive, read from its central
// directory: enough to see what a trace holds without unpacking it.
#include <cstdint>
#include <string>
#include <vector>

namespace plainstep::testing {

// Empty when `zip` is not a well-formed archive.
inline std::vector<std::string> zip_entry_names(const std::string& zip) {
  auto u16 = [&](size_t at) -> uint32_t {
    return static_cast<unsigned char>(zip[at]) | (static_cast<unsigned char>(zip[at + 1]) << 8);
  };
  auto u32 = [&](size_t at) -> uint32_t { return u16(at) | (u16(at + 2) << 16); };
  if (zip.size() < 22) return {};
  // The end record sits in the last 64 KiB (its comment is at most that).
  size_t end = std::string::npos;
  for (size_t at = zip.size() - 22;; --at) {
    if (u32(at) == 0x06054b50) {
      end = at;
      break;
    }
    if (at == 0 || zip.size() - at > 65557) break;
  }
  if (end == std::string::npos) return {};
  size_t count = u16(end + 10);
  size_t at = u32(end + 16);
  std::vector<std::string> names;
  for (size_t i = 0; i < count; ++i) {
    if (at + 46 > zip.size() || u32(at) != 0x02014b50) return {};
    size_t name = u16(at + 28), extra = u16(at + 30), comment = u16(at + 32);
    if (at + 46 + name > zip.size()) return {};
    names.push_back(zip.substr(at + 46, name));
    at += 46 + name + extra + comment;
  }
  return names;
}

}  // namespace plainstep::testing
