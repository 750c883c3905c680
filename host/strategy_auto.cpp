// The "auto" route: spatial phrases to the grid (text matching when it finds
// nothing), everything else to text matching. The runner routes the same way.
#include "run_resolve.hpp"
#include "strategy.hpp"

namespace plainstep::host {
namespace {
const RegisterStrategy _auto("auto", [](const ParsedInstruction& parsed, const Elements& elements,
                                        const Elements& text_elements) {
  return resolve_routed(parsed, elements, text_elements).result;
});
}  // namespace
}  // namespace plainstep::host
