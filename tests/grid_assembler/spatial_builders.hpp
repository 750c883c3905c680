#pragma once
// Small records for spatial tests: descriptors and text elements placed by
// their boxes, written as one line each.
#include <string>

#include "records/element.hpp"

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

}  // namespace plainstep::spatial_test
