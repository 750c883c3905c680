#pragma once
// JSON text from the driver, made safe to parse.
#include <string>

namespace pw {

// Replaces, in place, each \uD800-\uDFFF escape inside a JSON string that
// is not half of a high-low pair with \uFFFD (the same length). Pages can
// hold lone UTF-16 surrogates, the driver writes them as such escapes, and
// a strict JSON parser refuses them: one lone surrogate in a page's text
// would otherwise make the whole message unreadable.
void repair_lone_surrogates(std::string& text);

}  // namespace pw
