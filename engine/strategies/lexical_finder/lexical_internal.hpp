#pragma once
// Helpers shared by the source files of the lexical_finder module.
#include "records/records.hpp"
#include "strategies/lexical_finder/lexical_finder.hpp"

namespace plainstep::lexical_finder {

// Throws TypeError naming `name` and the index of the first null record.
void _require_records(const Elements& elements, const char* name);

// Stable: equal text lengths (in characters) keep their order.
Elements _sorted_by_text_length(const Elements& elements);

// resolved, confidence 1.0, element, candidates.
ResolutionResult _found(ElementRef element, Elements candidates);

// The elements of `pool` of that kind, in order.
Elements _of_kind(const Elements& pool, ElementKind kind);

// A form control of the kind a step names ("the B radio") is named by its
// field label, as a person reads it.
bool _labels_name(ElementKind kind);

// The whole phrase, type word included, is what the element reads.
bool _whole(MatchRank r);

}  // namespace plainstep::lexical_finder
