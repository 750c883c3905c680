// Geometry and text helpers of spatial ranking: free functions over entries.
#include <cmath>

#include "spatial/grid_locator/grid_locator.hpp"
#include "text/text.hpp"

namespace plainstep {

namespace {

// The path's steps, "/" trimmed from both ends first; empty pieces stay,
// so the empty path is one empty step.
std::vector<std::string_view> _segments(std::string_view path) {
  while (!path.empty() && path.front() == '/') path.remove_prefix(1);
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  std::vector<std::string_view> out;
  size_t from = 0;
  while (true) {
    size_t slash = path.find('/', from);
    out.push_back(path.substr(from, slash == std::string_view::npos ? path.npos : slash - from));
    if (slash == std::string_view::npos) break;
    from = slash + 1;
  }
  return out;
}

}  // namespace

bool _overlaps_vertically(const MatrixEntry& a, const MatrixEntry& b) {
  return a.position.y - SPATIAL_TOLERANCE < b.position.y2 &&
         b.position.y - SPATIAL_TOLERANCE < a.position.y2;
}

bool _overlaps_horizontally(const MatrixEntry& a, const MatrixEntry& b) {
  return a.position.x - SPATIAL_TOLERANCE < b.position.x2 &&
         b.position.x - SPATIAL_TOLERANCE < a.position.x2;
}

double _centre_distance(const MatrixEntry& a, const MatrixEntry& b) {
  const double dx = a.position.cx - b.position.cx, dy = a.position.cy - b.position.cy;
  return std::sqrt(dx * dx + dy * dy);
}

std::string _normalize(std::string_view s) {
  std::string out = text::lower(s);
  std::erase_if(out, [](char c) { return c == ' ' || c == '-'; });
  return out;
}

int _dom_distance(std::string_view xpath_a, std::string_view xpath_b) {
  const auto a = _segments(xpath_a);
  const auto b = _segments(xpath_b);
  size_t common = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    if (a[i] == b[i]) ++common;
  return static_cast<int>(a.size() - common + b.size() - common);
}

}  // namespace plainstep
