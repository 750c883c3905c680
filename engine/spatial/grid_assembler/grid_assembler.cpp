#include "spatial/grid_assembler/grid_assembler.hpp"

#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "records/errors.hpp"
#include "text/text.hpp"

namespace plainstep {

const std::map<std::string, std::string, std::less<>> _TAG_TO_TYPE = {
    {"a", "link"},
    {"button", "button"},
    {"input", "input"},
    {"select", "select"},
    {"textarea", "input"},
};

namespace {

// Roles that name the element's type outright, whatever its tag.
constexpr std::array<std::string_view, 4> _TYPED_ROLES = {"button", "link", "textbox", "combobox"};
// Input types that draw a button.
constexpr std::array<std::string_view, 3> _BUTTON_INPUT_TYPES = {"submit", "button", "reset"};

template <size_t N>
bool _one_of(std::string_view v, const std::array<std::string_view, N>& set) {
  return std::find(set.begin(), set.end(), v) != set.end();
}

// Absent, null and empty boxes arrive as no box at all.
bool _has_box(const Element& e) { return e.bounding_box.has_value(); }

MatrixEntry _entry(const ElementRef& ref, bool anchor_only) {
  const Element& e = *ref;
  MatrixEntry m;
  m.tag = e.tag;
  m.element_type = anchor_only ? "text" : _element_type(e);
  m.text = e.text;
  m.label = e.attributes.get_or_empty("_label");
  // A text element is found by its text as read, untouched.
  m.searchable = anchor_only ? e.text : _searchable(e);
  m.is_enabled = anchor_only ? true : e.is_enabled.value_or(true);
  m.is_anchor_only = anchor_only;
  m.position = _position(*e.bounding_box);
  m.element = ref;
  return m;
}

void _append(Matrix& out, const Elements& seq, bool anchor_only, const char* what) {
  for (size_t i = 0; i < seq.size(); ++i) {
    if (!seq[i])
      throw TypeError(std::string(what) + "[" + std::to_string(i) +
                      "] must be a record, got null");
    if (_has_box(*seq[i])) out.push_back(_entry(seq[i], anchor_only));
  }
}

}  // namespace

GridAssembler::GridAssembler(Elements dom_elements, std::optional<Elements> text_elements)
    : dom_elements_(std::move(dom_elements)),
      text_elements_(text_elements ? std::move(*text_elements) : Elements{}) {}

Matrix GridAssembler::build() const {
  Matrix out;
  out.reserve(dom_elements_.size() + text_elements_.size());
  _append(out, dom_elements_, false, "dom_elements");
  _append(out, text_elements_, true, "text_elements");
  // Strict (y, x) order: one pixel higher reads first, however far right.
  std::stable_sort(out.begin(), out.end(), [](const MatrixEntry& a, const MatrixEntry& b) {
    if (a.position.y != b.position.y) return a.position.y < b.position.y;
    return a.position.x < b.position.x;
  });
  std::unordered_map<std::string, int> seen_of_type;
  for (size_t i = 0; i < out.size(); ++i) {
    out[i].index = static_cast<int>(i);
    out[i].order_in_type = ++seen_of_type[out[i].element_type];
  }
  return out;
}

std::string _element_type(const Element& element) {
  const std::string role = element.attributes.get_or_empty("role");
  if (_one_of(role, _TYPED_ROLES)) return role;
  if (element.tag == "input" &&
      _one_of(std::string_view(element.attributes.get_or_empty("type")), _BUTTON_INPUT_TYPES))
    return "button";
  auto it = _TAG_TO_TYPE.find(element.tag);
  return it != _TAG_TO_TYPE.end() ? it->second : element.tag;
}

Position _position(const Box& bb) {
  Position p;
  p.x = bb.x;
  p.y = bb.y;
  p.w = bb.width;
  p.h = bb.height;
  p.cx = p.x + p.w / 2.0;
  p.cy = p.y + p.h / 2.0;
  p.x2 = p.x + p.w;
  p.y2 = p.y + p.h;
  return p;
}

std::string _searchable(const Element& element) {
  std::vector<std::string> parts;
  if (!element.text.empty()) parts.push_back(element.text);
  for (const char* name : {"_label", "aria-label", "placeholder", "name"})
    if (const std::string* v = element.attributes.get(name); v && !v->empty()) parts.push_back(*v);
  return text::trim(text::join(parts, " "));
}

}  // namespace plainstep
