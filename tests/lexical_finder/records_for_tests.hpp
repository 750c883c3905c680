#pragma once
// Records built in the tests: a few words per element.
#include <string>
#include <vector>

#include "records/records.hpp"

namespace plainstep::testing {

struct Make {
  Element e;

  explicit Make(std::string tag, std::string text = "") {
    e.tag = std::move(tag);
    e.text = std::move(text);
    e.is_visible = true;
    e.is_enabled = true;
  }
  Make& attr(std::string name, std::string value) {
    e.attributes.set(name, std::move(value));
    return *this;
  }
  Make& at(double x, double y, double w = 40, double h = 20) {
    e.bounding_box = Box{x, y, w, h};
    return *this;
  }
  Make& hidden() {
    e.is_visible = false;
    return *this;
  }
  Make& disabled() {
    e.is_enabled = false;
    return *this;
  }
  Make& editable() {
    e.is_editable_field = true;
    return *this;
  }
  Make& path(std::string xpath) {
    e.xpath = std::move(xpath);
    return *this;
  }
  Make& no_state() {
    e.is_visible.reset();
    e.is_enabled.reset();
    return *this;
  }
  operator ElementRef() const { return make_element(e); }
};

// A text element: placed, with a path, as page extraction records it.
inline ElementRef text_at(std::string text, double cx, double cy, std::string tag = "span",
                          std::string xpath = "/html[1]/body[1]/div[1]/span[9]", double w = 40,
                          double h = 20) {
  Make m(std::move(tag), std::move(text));
  m.e.has_direct_text = true;
  m.at(cx - w / 2, cy - h / 2, w, h).path(std::move(xpath));
  return m;
}

inline std::vector<std::string> texts_of(const Elements& els) {
  std::vector<std::string> out;
  for (const auto& e : els) out.push_back(e->text);
  return out;
}

inline ParsedInstruction step(std::string action, std::optional<std::string> target,
                              std::optional<std::string> value = std::nullopt,
                              std::optional<int> ordinal = std::nullopt) {
  ParsedInstruction p;
  p.action = std::move(action);
  p.target = std::move(target);
  p.value = std::move(value);
  p.ordinal = ordinal;
  return p;
}

inline std::vector<std::string> keys_of(const json& j) {
  std::vector<std::string> out;
  for (auto it = j.begin(); it != j.end(); ++it) out.push_back(it.key());
  return out;
}

}  // namespace plainstep::testing
