#pragma once
// Element descriptors and text elements: one record type for both, shared by
// every module. A text element has `has_direct_text`; a custom input has
// `is_editable_field`. Sequences hold ElementRef, so results and matrix
// entries point at the very records they were given.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "records/json_read.hpp"

namespace plainstep {

// Where an element is drawn: CSS pixels from the viewport's top-left corner.
struct Box {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  bool operator==(const Box&) const = default;
};

// Attribute name to value, in insertion order. Setting a name that is
// already present keeps its place and replaces its value.
class AttributeMap {
 public:
  using Entry = std::pair<std::string, std::string>;

  AttributeMap() = default;
  AttributeMap(std::initializer_list<Entry> entries) {
    for (const auto& [k, v] : entries) set(k, v);
  }

  void set(std::string_view name, std::string value) {
    for (auto& e : entries_)
      if (e.first == name) {
        e.second = std::move(value);
        return;
      }
    entries_.emplace_back(std::string(name), std::move(value));
  }
  // The value, or nullptr when the attribute is absent.
  const std::string* get(std::string_view name) const {
    for (const auto& e : entries_)
      if (e.first == name) return &e.second;
    return nullptr;
  }
  // The value, or the empty string when absent.
  std::string get_or_empty(std::string_view name) const {
    const std::string* v = get(name);
    return v ? *v : std::string();
  }
  bool contains(std::string_view name) const { return get(name) != nullptr; }
  bool erase(std::string_view name) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
      if (it->first == name) {
        entries_.erase(it);
        return true;
      }
    return false;
  }
  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }
  const std::vector<Entry>& entries() const { return entries_; }

  bool operator==(const AttributeMap&) const = default;

 private:
  std::vector<Entry> entries_;
};

// Element descriptor (has no has_direct_text) or text element (has one).
// Keys in record order; absent optionals are absent keys.
struct Element {
  std::string tag;
  std::string text;
  std::optional<bool> has_direct_text;   // text elements only
  AttributeMap attributes;
  std::optional<Box> bounding_box;       // absent, null and {} all mean "no box"
  std::optional<bool> is_visible;
  std::optional<bool> is_enabled;
  std::optional<bool> is_editable_field; // custom inputs only
  std::string xpath;

  bool operator==(const Element&) const = default;
};

using ElementRef = std::shared_ptr<Element>;
using Elements = std::vector<ElementRef>;

inline ElementRef make_element(Element e) { return std::make_shared<Element>(std::move(e)); }

// ---- JSON ----------------------------------------------------------------

inline json to_json(const Box& b) {
  json j = json::object();
  j["x"] = b.x;
  j["y"] = b.y;
  j["width"] = b.width;
  j["height"] = b.height;
  return j;
}

inline json to_json(const AttributeMap& m) {
  json j = json::object();
  for (const auto& [k, v] : m) j[k] = v;
  return j;
}

inline json to_json(const Element& e) {
  json j = json::object();
  j["tag"] = e.tag;
  j["text"] = e.text;
  if (e.has_direct_text) j["has_direct_text"] = *e.has_direct_text;
  j["attributes"] = to_json(e.attributes);
  if (e.bounding_box) j["bounding_box"] = to_json(*e.bounding_box);
  if (e.is_visible) j["is_visible"] = *e.is_visible;
  if (e.is_enabled) j["is_enabled"] = *e.is_enabled;
  if (e.is_editable_field) j["is_editable_field"] = *e.is_editable_field;
  j["xpath"] = e.xpath;
  return j;
}

inline json to_json(const ElementRef& e) { return e ? to_json(*e) : json(nullptr); }

inline json to_json(const Elements& seq) {
  json j = json::array();
  for (const auto& e : seq) j.push_back(to_json(e));
  return j;
}

// Null or {} gives no box; missing coordinates read as 0.
inline std::optional<Box> box_from_json(const json& j) {
  if (j.is_null()) return std::nullopt;
  json_read::expect_object(j, "bounding_box");
  if (j.empty()) return std::nullopt;
  Box b;
  b.x = json_read::opt_number(j, "x", "bounding_box").value_or(0);
  b.y = json_read::opt_number(j, "y", "bounding_box").value_or(0);
  b.width = json_read::opt_number(j, "width", "bounding_box").value_or(0);
  b.height = json_read::opt_number(j, "height", "bounding_box").value_or(0);
  return b;
}

inline AttributeMap attributes_from_json(const json& j) {
  AttributeMap m;
  if (j.is_null()) return m;
  json_read::expect_object(j, "attributes");
  for (auto it = j.begin(); it != j.end(); ++it) {
    if (!it.value().is_string())
      throw TypeError("attributes field '" + it.key() + "' must be a string, got " +
                      json_read::kind_of(it.value()));
    m.set(it.key(), it.value().get<std::string>());
  }
  return m;
}

inline Element element_from_json(const json& j) {
  using namespace json_read;
  expect_object(j, "element");
  Element e;
  if (auto v = opt_string(j, "tag", "element")) e.tag = *v;
  if (const json* t = find(j, "text")) {
    // A null text is malformed (consumers fail on it), not an absent one.
    if (!t->is_string()) wrong_kind("element", "text", "a string", *t);
    e.text = t->get<std::string>();
  }
  e.has_direct_text = opt_bool(j, "has_direct_text", "element");
  if (const json* a = find(j, "attributes")) e.attributes = attributes_from_json(*a);
  if (const json* b = find(j, "bounding_box")) e.bounding_box = box_from_json(*b);
  e.is_visible = opt_bool(j, "is_visible", "element");
  e.is_enabled = opt_bool(j, "is_enabled", "element");
  e.is_editable_field = opt_bool(j, "is_editable_field", "element");
  if (auto v = opt_string(j, "xpath", "element")) e.xpath = *v;
  return e;
}

inline ElementRef element_ref_from_json(const json& j) {
  if (j.is_null()) return nullptr;
  return make_element(element_from_json(j));
}

inline Elements elements_from_json(const json& j) {
  if (!j.is_array()) throw TypeError(std::string("element list must be a JSON array, got ") +
                                     json_read::kind_of(j));
  Elements out;
  out.reserve(j.size());
  size_t i = 0;
  for (const auto& item : j) {
    try {
      out.push_back(make_element(element_from_json(item)));
    } catch (const TypeError& err) {
      throw TypeError("record " + std::to_string(i) + ": " + err.what());
    }
    ++i;
  }
  return out;
}

}  // namespace plainstep
