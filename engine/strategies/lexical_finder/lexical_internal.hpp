#pragma once
// Helpers shared by the source files of the lexical_finder module.
#include "records/records.hpp"

namespace plainstep::lexical_finder {

// Throws TypeError naming `name` and the index of the first null record.
void _require_records(const Elements& elements, const char* name);

// Stable: equal text lengths (in characters) keep their order.
Elements _sorted_by_text_length(const Elements& elements);

// resolved, confidence 1.0, element, candidates.
ResolutionResult _found(ElementRef element, Elements candidates);

}  // namespace plainstep::lexical_finder
