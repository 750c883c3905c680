#include "driver/json_text.hpp"

#include <cstring>

namespace pw {

namespace {

int _hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The code unit of the \uXXXX escape at `at`, or -1 when there is none.
long _escape_at(const std::string& t, size_t at) {
  if (at + 6 > t.size() || t[at] != '\\' || t[at + 1] != 'u') return -1;
  long v = 0;
  for (size_t i = at + 2; i < at + 6; ++i) {
    int h = _hex(t[i]);
    if (h < 0) return -1;
    v = v * 16 + h;
  }
  return v;
}

bool _high(long u) { return u >= 0xD800 && u <= 0xDBFF; }
bool _low(long u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

void repair_lone_surrogates(std::string& text) {
  // Most messages hold no surrogate escape at all: one search decides.
  bool any = false;
  for (size_t at = text.find("\\u"); at != std::string::npos; at = text.find("\\u", at + 2))
    if (at + 2 < text.size() && (text[at + 2] == 'd' || text[at + 2] == 'D')) {
      any = true;
      break;
    }
  if (!any) return;
  bool in_string = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (!in_string) {
      in_string = c == '"';
      continue;
    }
    if (c == '"') {
      in_string = false;
      continue;
    }
    if (c != '\\') continue;
    long u = _escape_at(text, i);
    if (u < 0) {
      ++i;  // any other escape: its character is no quote and no backslash
      continue;
    }
    if (_high(u) && _low(_escape_at(text, i + 6))) {
      i += 11;  // a pair: both halves stay
      continue;
    }
    if (_high(u) || _low(u)) std::memcpy(&text[i], "\\ufffd", 6);
    i += 5;
  }
}

}  // namespace pw
