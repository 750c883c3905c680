#pragma once
// The extraction rules: which elements, in which order, with which guards,
// and how their records are built. They ask the page only through
// PageReads, so the exact and the fast reading share every rule.
#include <string>
#include <string_view>
#include <vector>

#include "page_harvester.hpp"
#include "reads.hpp"

namespace plainstep::harvest {

Elements native_elements(PageReads& page);
Elements custom_inputs(PageReads& page);
Elements pointer_elements(PageReads& page);
std::vector<LabelCandidate> label_candidates(PageReads& page);
// Text elements before the wrapper elimination.
Elements text_candidates(PageReads& page);
// The field label of one input-like element, in this order: aria-labelledby,
// aria-label, label[for], the wrapping label, the text after a checkbox or
// radio button, a label beside it, placeholder, title, the preceding
// sibling's text, the parent's earlier children. "" when none.
std::string field_label(ElementReads& element);

// "://" and "/" to "_", cut to 60 code points.
std::string url_slug(std::string_view url);

}  // namespace plainstep::harvest
