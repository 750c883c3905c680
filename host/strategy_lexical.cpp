// The "lexical" route: text matching over the page's records; and the
// "field_label" lookup the runner adds for clicks, hovers and checks.
#include "strategies/lexical_finder/lexical_finder.hpp"
#include "strategy.hpp"

namespace plainstep::host {
namespace {
const RegisterStrategy _lexical("lexical", [](const ParsedInstruction& parsed,
                                              const Elements& elements,
                                              const Elements& text_elements) {
  return LexicalFinder().resolve(parsed, elements, &text_elements);
});

// The form field a click, hover or check names by its label, when the label
// answers the step better than any element's own words.
const RegisterStrategy _field_label("field_label", [](const ParsedInstruction& parsed,
                                                      const Elements& elements, const Elements&) {
  return LexicalFinder().resolve_labelled_field(parsed, elements);
});
}  // namespace
}  // namespace plainstep::host
