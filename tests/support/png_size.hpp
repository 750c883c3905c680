#pragma once
// The size of a PNG, from its header.
#include <string>
#include <utility>

namespace plainstep::testing {

// Width and height from a PNG's IHDR chunk; {-1, -1} when it is no PNG.
inline std::pair<int, int> png_size(const std::string& png) {
  auto be = [&](size_t at) {
    return (static_cast<unsigned char>(png[at]) << 24) | (static_cast<unsigned char>(png[at + 1]) << 16) |
           (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
  };
  if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {-1, -1};
  return {be(16), be(20)};
}

}  // namespace plainstep::testing
