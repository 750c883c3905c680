#include "key_names.hpp"

#include <algorithm>
#include <array>
#include <vector>

#include "text/text.hpp"

namespace plainstep::host {

namespace {

// Every key name of more than one character the driver's US keyboard
// layout knows, with its aliases (Shift for ShiftLeft, ...).
constexpr std::array _NAMED = {
    "Alt", "AltGraph", "AltLeft", "AltRight", "ArrowDown", "ArrowLeft", "ArrowRight",
    "ArrowUp", "AudioVolumeDown", "AudioVolumeMute", "AudioVolumeUp", "Backquote", "Backslash",
    "Backspace", "BracketLeft", "BracketRight", "CapsLock", "Comma", "ContextMenu", "Control",
    "ControlLeft", "ControlOrMeta", "ControlRight", "Delete", "Digit0", "Digit1", "Digit2",
    "Digit3", "Digit4", "Digit5", "Digit6", "Digit7", "Digit8", "Digit9", "End", "Enter",
    "Equal", "Escape", "F1", "F10", "F11", "F12", "F2", "F3", "F4", "F5", "F6", "F7", "F8",
    "F9", "Home", "Insert", "KeyA", "KeyB", "KeyC", "KeyD", "KeyE", "KeyF", "KeyG", "KeyH",
    "KeyI", "KeyJ", "KeyK", "KeyL", "KeyM", "KeyN", "KeyO", "KeyP", "KeyQ", "KeyR", "KeyS",
    "KeyT", "KeyU", "KeyV", "KeyW", "KeyX", "KeyY", "KeyZ", "MediaPlayPause", "MediaTrackNext",
    "MediaTrackPrevious", "Meta", "MetaLeft", "MetaRight", "Minus", "NumLock", "Numpad0",
    "Numpad1", "Numpad2", "Numpad3", "Numpad4", "Numpad5", "Numpad6", "Numpad7", "Numpad8",
    "Numpad9", "NumpadAdd", "NumpadDecimal", "NumpadDivide", "NumpadEnter", "NumpadMultiply",
    "NumpadSubtract", "PageDown", "PageUp", "Pause", "Period", "PrintScreen", "Quote",
    "ScrollLock", "Semicolon", "Shift", "ShiftLeft", "ShiftRight", "Slash", "Space", "Tab",
};

// Printable keys of the layout: one character each, case as written.
constexpr std::string_view _SINGLE = " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~";

std::optional<std::string> _one_key(std::string_view token) {
  if (token.size() == 1) {
    if (_SINGLE.find(token[0]) != std::string_view::npos) return std::string(token);
    return std::nullopt;
  }
  const std::string lower = text::lower(token);
  for (std::string_view name : _NAMED)
    if (text::lower(name) == lower) return std::string(name);
  return std::nullopt;
}

// Split as the driver splits a combination: at a '+' that follows a key,
// so "Control++" is Control and '+'.
std::vector<std::string_view> _tokens(std::string_view written) {
  std::vector<std::string_view> out;
  size_t start = 0;
  for (size_t i = 0; i < written.size(); ++i)
    if (written[i] == '+' && i > start) {
      out.push_back(written.substr(start, i - start));
      start = i + 1;
    }
  out.push_back(written.substr(start));
  return out;
}

}  // namespace

std::optional<std::string> driver_key(std::string_view written) {
  if (written.empty()) return std::nullopt;
  std::string out;
  for (std::string_view token : _tokens(written)) {
    auto key = _one_key(token);
    if (!key) return std::nullopt;
    out += (out.empty() ? "" : "+") + *key;
  }
  return out;
}

std::string unknown_key_message(std::string_view written) {
  return "unknown key " + text::quoted_literal(written) +
         ": name a key as Enter, Tab, Escape, Backspace, ArrowDown, PageUp, F5 or Space, a single "
         "character, or a combination such as Control+A";
}

}  // namespace plainstep::host
