#pragma once
// Values crossing into and out of the page: the driver's serialised value
// form ({"n": 1}, {"s": "a"}, {"o": [...]}, ...) to and from JSON.
#include "driver/types.hpp"

namespace pw {

// JSON to a serialised value. Numbers, strings, booleans, null, arrays and
// objects map one to one.
json serialize_value(const json& value);

// A serialised value to JSON. undefined becomes null; NaN and the
// infinities become null too (JSON has no such numbers), and -0 becomes 0;
// dates and URLs become their ISO / href strings, big integers a number when
// they fit in 64 bits and their decimal string otherwise, regular
// expressions "/source/flags", errors {"name", "message", "stack"}, functions
// their name, typed arrays a number array, a reference back to an enclosing
// array or object (a cycle) null. Element handles inside a result are null
// (use query_selector for handles). Throws Error on a value of no known form.
json parse_value(const json& serialized);

// The argument of an evaluate call: {"value": ..., "handles": [...]}.
json serialize_argument(const json& value);

}  // namespace pw
