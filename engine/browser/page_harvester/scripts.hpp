#pragma once
// The functions extraction sends to the page. The element functions take
// the element as their one argument; the page functions take none (the
// gathering script takes the group selectors).
#include <string>

namespace plainstep {

// Absolute element path: every step indexed, /html[1]/body[1]/div[2].
extern const std::string _XPATH_JS;
extern const std::string _TAG_NAME_JS;
// Every data- attribute as a name to value map, in attribute order.
extern const std::string _DATA_ATTRIBUTES_JS;
// Whether a child text node holds more than white space.
extern const std::string _DIRECT_TEXT_JS;
// Field-label fallbacks: the nearest earlier sibling's own text or first
// child, and the earliest earlier sibling's whole text.
extern const std::string _PRECEDING_SIBLING_JS;
extern const std::string _PARENT_CHILDREN_JS;
// Every pointer-cursor div, span, li and td with short text, in one pass.
extern const std::string _CURSOR_POINTER_JS;
// Fast extraction: everything the rules ask of the page, in one call.
extern const std::string _GATHER_JS;

}  // namespace plainstep
