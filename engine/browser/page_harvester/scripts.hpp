#pragma once
// The functions extraction sends to the page (the js/ files, embedded at
// build time). The element functions take the element as their first
// argument; the page functions take none (the gathering script takes its
// description of the groups).
#include <string>

namespace plainstep {

// Absolute element path through shadow trees and frames; null when a step
// has no valid name.
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
// A field's label sources: labelled-by texts, label for it, wrapping
// label, label beside it, text after a checkbox or radio button.
extern const std::string LABEL_TEXTS_JS;
// Whether an element's text is one short inline phrase of several pieces.
extern const std::string PHRASE_JS;
// The name of the icon a control shows instead of text, or null; the
// second argument is the selector of controls.
extern const std::string ICON_NAME_JS;
// A frame element: whether its document is read, and how many elements
// matching the selector (the second argument) the driver lists up to it.
extern const std::string FRAME_POSITION_JS;
// A frame element: readable or not, its name, id and address.
extern const std::string FRAME_DESCRIPTION_JS;
// Every pointer-cursor div, span, li and td with short text, in one pass.
extern const std::string _CURSOR_POINTER_JS;
// Fast extraction: everything the rules ask of the page, in one call.
extern const std::string _GATHER_JS;

}  // namespace plainstep
