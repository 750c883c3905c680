#pragma once
// Values crossing into and out of the page: the driver's serialised value
// form ({"n": 1}, {"s": "a"}, {"o": [...]}, ...) to and from JSON.
#include "driver/types.hpp"

namespace pw {

// JSON to a serialised value. Numbers, strings, booleans, null, arrays and
// objects map one to one.
json serialize_value(const json& value);

// A serialised value to JSON, as JSON.stringify would see it where JSON has
// no such value: undefined, NaN and the infinities become null, -0 becomes
// 0, dates and URLs their ISO / href strings, big integers a number when
// they fit in 64 bits and their decimal string otherwise, regular
// expressions "/source/flags", errors {"name", "message", "stack"}, typed
// arrays a number array, functions and element handles null. An object met
// twice is copied; a reference back to an enclosing one (a cycle) is null.
// Integral numbers come back as JSON integers. Throws Error on a value of
// no known form.
json parse_value(const json& serialized);

// The argument of an evaluate call: {"value": ..., "handles": [...]}.
json serialize_argument(const json& value);

// Binary fields of the protocol (screenshots, typed arrays) are base64.
std::string base64_decode(const std::string& text);

}  // namespace pw
