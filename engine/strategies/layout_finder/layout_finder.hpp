#pragma once
// Level 2 resolution strategy: uses the spatial matrix to resolve relational
// instructions.
//
// This is the strategy's entry point with its signature fixed; it holds no
// resolution logic yet. Relational steps are resolved by GridLocator over the
// spatial matrix, and spatial text by LexicalFinder.
#include <optional>

#include "records/records.hpp"

namespace plainstep {

// Resolves instructions using spatial relationships between DOM elements.
// No fields, no state; one object may serve any number of threads.
class LayoutFinder {
 public:
  // Use the spatial matrix and DOM candidates to resolve a relational
  // instruction.
  //
  // Returns: a record with `resolved` (whether a confident match was found),
  // `confidence` (a match confidence score from 0.0 to 1.0) and `element`
  // (the matched element record, or null), once the strategy resolves
  // anything. Today it reads none of its arguments and always returns
  // std::nullopt: no spatial resolution.
  //
  // `matrix` is a spatial matrix given as a map (a JSON object), not the
  // entry sequence GridAssembler builds; anything else throws TypeError
  // naming `matrix`.
  std::optional<ResolutionResult> resolve(const ParsedInstruction& parsed_instruction,
                                          const json& matrix,
                                          const Elements& dom_candidates) const;

  // The same for callers holding JSON (other-language hosts, tools): throws
  // TypeError naming `parsed_instruction` unless it is an object,
  // `matrix` unless it is an object, `dom_candidates` unless it is an array.
  std::optional<ResolutionResult> resolve(const json& parsed_instruction, const json& matrix,
                                          const json& dom_candidates) const;
};

}  // namespace plainstep
