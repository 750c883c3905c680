#pragma once
// The finder the tests ask: it keeps nothing between steps, so one serves all.
#include "strategies/lexical_finder/lexical_finder.hpp"

namespace plainstep::testing {

inline const LexicalFinder finder;

}  // namespace plainstep::testing
