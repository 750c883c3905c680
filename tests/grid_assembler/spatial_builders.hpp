#pragma once
// Small records for spatial tests: descriptors and text elements placed by
// their boxes, written as one line each.
#include <string>

#include "records/element.hpp"
#include "records/parsed_instruction.hpp"

namespace plainstep::spatial_test {

inline ElementRef el(std::string tag, std::string text, Box box, AttributeMap attrs = {},
                     std::string xpath = "") {
  Element e;
  e.tag = std::move(tag);
  e.text = std::move(text);
  e.attributes = std::move(attrs);
  e.bounding_box = box;
  e.is_visible = true;
  e.is_enabled = true;
  e.xpath = std::move(xpath);
  return make_element(std::move(e));
}

inline ElementRef txt(std::string text, Box box, std::string tag = "span", std::string xpath = "") {
  ElementRef e = el(std::move(tag), std::move(text), box, {}, std::move(xpath));
  e->has_direct_text = true;
  return e;
}

// "click TARGET" as the step reader gives it, first of its kind.
inline ParsedInstruction click(std::string target) {
  ParsedInstruction p;
  p.action = "click";
  p.target = std::move(target);
  p.ordinal = 1;
  return p;
}

}  // namespace plainstep::spatial_test
