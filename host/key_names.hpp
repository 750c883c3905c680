#pragma once
// Key names for press: the names the browser driver knows (Enter, Tab,
// ArrowDown, F5, Control+A, a single character), found whatever their
// letter case when the name is longer than one character.
#include <optional>
#include <string>
#include <string_view>

namespace plainstep::host {

// The key or combination as the driver spells it ("control+a" gives
// "Control+a", "escape" gives "Escape"), or nothing when some part names
// no key.
std::optional<std::string> driver_key(std::string_view written);

// What a press step says when its key is unknown, naming the key.
std::string unknown_key_message(std::string_view written);

}  // namespace plainstep::host
