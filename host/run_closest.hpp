#pragma once
// Near misses for a failure report: the page records that come closest to
// what a step looked for, so the user can fix the step or the page.
#include <string_view>

#include "records/records.hpp"

namespace plainstep::host {

// Up to `limit` records from `elements` and `text_elements`, best first:
// most words shared with `wanted`, then the smallest edit distance between
// their names and `wanted`. Records without any name are never listed.
Elements closest_candidates(std::string_view wanted, const Elements& elements,
                            const Elements& text_elements, size_t limit = 3);

// Levenshtein distance in code points, case-insensitive.
size_t edit_distance(std::string_view a, std::string_view b);

}  // namespace plainstep::host
