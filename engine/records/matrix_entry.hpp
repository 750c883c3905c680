#pragma once
// The spatial matrix: entries in reading order, each pointing at the very
// descriptor or text element it came from.
#include <string>
#include <vector>

#include "records/element.hpp"

namespace plainstep {

struct Position {
  double x = 0, y = 0, w = 0, h = 0;
  double cx = 0, cy = 0;  // centre
  double x2 = 0, y2 = 0;  // right and bottom edges

  bool operator==(const Position&) const = default;
};

struct MatrixEntry {
  int index = 0;
  std::string tag;
  std::string element_type;
  std::string text;
  std::string label;
  std::string searchable;
  bool is_enabled = true;
  bool is_anchor_only = false;
  int order_in_type = 0;
  Position position;
  ElementRef element;
};

using Matrix = std::vector<MatrixEntry>;

inline json to_json(const Position& p) {
  json j = json::object();
  j["x"] = p.x;
  j["y"] = p.y;
  j["w"] = p.w;
  j["h"] = p.h;
  j["cx"] = p.cx;
  j["cy"] = p.cy;
  j["x2"] = p.x2;
  j["y2"] = p.y2;
  return j;
}

inline json to_json(const MatrixEntry& m) {
  json j = json::object();
  j["index"] = m.index;
  j["tag"] = m.tag;
  j["element_type"] = m.element_type;
  j["text"] = m.text;
  j["label"] = m.label;
  j["searchable"] = m.searchable;
  j["is_enabled"] = m.is_enabled;
  j["is_anchor_only"] = m.is_anchor_only;
  j["order_in_type"] = m.order_in_type;
  j["position"] = to_json(m.position);
  j["element"] = to_json(m.element);
  return j;
}

inline json to_json(const Matrix& matrix) {
  json j = json::array();
  for (const auto& m : matrix) j.push_back(to_json(m));
  return j;
}

inline Position position_from_json(const json& j) {
  using namespace json_read;
  expect_object(j, "position");
  Position p;
  p.x = opt_number(j, "x", "position").value_or(0);
  p.y = opt_number(j, "y", "position").value_or(0);
  p.w = opt_number(j, "w", "position").value_or(0);
  p.h = opt_number(j, "h", "position").value_or(0);
  p.cx = opt_number(j, "cx", "position").value_or(0);
  p.cy = opt_number(j, "cy", "position").value_or(0);
  p.x2 = opt_number(j, "x2", "position").value_or(0);
  p.y2 = opt_number(j, "y2", "position").value_or(0);
  return p;
}

inline MatrixEntry matrix_entry_from_json(const json& j) {
  using namespace json_read;
  const char* R = "matrix entry";
  expect_object(j, R);
  MatrixEntry m;
  m.index = static_cast<int>(opt_integer(j, "index", R).value_or(0));
  m.tag = opt_string(j, "tag", R).value_or("");
  m.element_type = opt_string(j, "element_type", R).value_or("");
  m.text = opt_string(j, "text", R).value_or("");
  m.label = opt_string(j, "label", R).value_or("");
  m.searchable = opt_string(j, "searchable", R).value_or("");
  m.is_enabled = opt_bool(j, "is_enabled", R).value_or(true);
  m.is_anchor_only = opt_bool(j, "is_anchor_only", R).value_or(false);
  m.order_in_type = static_cast<int>(opt_integer(j, "order_in_type", R).value_or(0));
  if (const json* p = find(j, "position")) m.position = position_from_json(*p);
  if (const json* e = find(j, "element")) m.element = element_ref_from_json(*e);
  return m;
}

}  // namespace plainstep
