#include "strategies/layout_finder/layout_finder.hpp"

namespace plainstep {

namespace {

void _expect(bool ok, const char* argument, const char* kind, const json& found) {
  if (!ok)
    throw TypeError(std::string(argument) + " must be " + kind + ", got " +
                    json_read::kind_of(found));
}

}  // namespace

std::optional<ResolutionResult> LayoutFinder::resolve(const ParsedInstruction&,
                                                      const json& matrix,
                                                      const Elements&) const {
  _expect(matrix.is_object(), "matrix", "a map (JSON object)", matrix);
  return std::nullopt;
}

std::optional<ResolutionResult> LayoutFinder::resolve(const json& parsed_instruction,
                                                      const json& matrix,
                                                      const json& dom_candidates) const {
  _expect(parsed_instruction.is_object(), "parsed_instruction", "a map (JSON object)",
          parsed_instruction);
  _expect(matrix.is_object(), "matrix", "a map (JSON object)", matrix);
  _expect(dom_candidates.is_array(), "dom_candidates", "a sequence (JSON array)", dom_candidates);
  return std::nullopt;
}

}  // namespace plainstep
