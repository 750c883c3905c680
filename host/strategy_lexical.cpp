// The "lexical" route: text matching over the page's records.
#include "strategies/lexical_finder/lexical_finder.hpp"
#include "strategy.hpp"

namespace plainstep::host {
namespace {
const RegisterStrategy _lexical("lexical", [](const ParsedInstruction& parsed,
                                              const Elements& elements,
                                              const Elements& text_elements) {
  return LexicalFinder().resolve(parsed, elements, &text_elements);
});
}  // namespace
}  // namespace plainstep::host
