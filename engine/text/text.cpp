#include "text/text.hpp"

#include <stdexcept>

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace plainstep::text {

namespace {

// Decodes one code point at s[i]; returns false on malformed input.
bool decode(std::string_view s, size_t& i, char32_t& out) {
  auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = b(i);
  if (c < 0x80) {
    out = c;
    i += 1;
    return true;
  }
  size_t n;
  char32_t cp;
  if ((c & 0xE0) == 0xC0) { n = 2; cp = c & 0x1F; }
  else if ((c & 0xF0) == 0xE0) { n = 3; cp = c & 0x0F; }
  else if ((c & 0xF8) == 0xF0) { n = 4; cp = c & 0x07; }
  else return false;
  if (i + n > s.size()) return false;
  for (size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
  if ((n == 2 && cp < 0x80) || (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) ||
      (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
    return false;
  out = cp;
  i += n;
  return true;
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Byte offset of code point `pos` (s.size() when past the end).
size_t byte_offset(std::string_view s, size_t pos) {
  size_t i = 0;
  for (size_t k = 0; k < pos && i < s.size(); ++k) {
    char32_t c;
    if (!decode(s, i, c)) throw std::invalid_argument("text is not valid UTF-8");
  }
  return i;
}

}  // namespace

bool is_valid_utf8(std::string_view s) {
  size_t i = 0;
  char32_t c;
  while (i < s.size())
    if (!decode(s, i, c)) return false;
  return true;
}

void require_utf8(std::string_view s, std::string_view what) {
  if (!is_valid_utf8(s)) throw std::invalid_argument(std::string(what) + " is not valid UTF-8");
}

std::u32string to_u32(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  size_t i = 0;
  char32_t c;
  while (i < s.size()) {
    if (!decode(s, i, c)) throw std::invalid_argument("text is not valid UTF-8");
    out += c;
  }
  return out;
}

std::string from_u32(std::u32string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char32_t c : s) append_utf8(out, c);
  return out;
}

std::string from_cp(char32_t c) {
  std::string out;
  append_utf8(out, c);
  return out;
}

std::string lower(std::string_view s) {
  bool ascii = true;
  for (char ch : s)
    if (static_cast<unsigned char>(ch) >= 0x80) { ascii = false; break; }
  if (ascii) {
    std::string out(s);
    for (char& ch : out)
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return out;
  }
  require_utf8(s);
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
  u.toLower(icu::Locale::getRoot());
  std::string out;
  u.toUTF8String(out);
  return out;
}

Lowered lower_mapped(std::string_view s) {
  // Lower-case the whole string (context such as final sigma is honoured)
  // and take the length each code point contributes from its own mapping;
  // the two agree in length for every mapping ICU performs.
  Lowered r;
  r.text = lower(s);
  std::u32string src = to_u32(s);
  for (size_t k = 0; k < src.size(); ++k) {
    size_t n = length(lower(from_cp(src[k])));
    for (size_t m = 0; m < n; ++m) r.source_index.push_back(k);
  }
  size_t total = length(r.text);
  // Should the lengths ever disagree, fall back to clamping.
  r.source_index.resize(total, src.size());
  r.source_index.push_back(src.size());
  return r;
}

bool is_space(char32_t c) { return u_isUWhiteSpace(static_cast<UChar32>(c)); }

bool is_digit(char32_t c) {
  int t = u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_NUMERIC_TYPE);
  return t == U_NT_DECIMAL || t == U_NT_DIGIT;
}

int digit_value(char32_t c) {
  if (!is_digit(c)) return -1;
  double v = u_getNumericValue(static_cast<UChar32>(c));
  return v >= 0 && v <= 9 && v == static_cast<int>(v) ? static_cast<int>(v) : -1;
}

bool has_digit(std::string_view s) {
  for (char32_t c : to_u32(s))
    if (is_digit(c)) return true;
  return false;
}

bool all_digits(std::string_view s) {
  std::u32string u = to_u32(s);
  if (u.empty()) return false;
  for (char32_t c : u)
    if (!is_digit(c)) return false;
  return true;
}

std::string ltrim(std::string_view s) {
  std::u32string u = to_u32(s);
  size_t b = 0;
  while (b < u.size() && is_space(u[b])) ++b;
  return from_u32(std::u32string_view(u).substr(b));
}

std::string rtrim(std::string_view s) {
  std::u32string u = to_u32(s);
  size_t e = u.size();
  while (e > 0 && is_space(u[e - 1])) --e;
  return from_u32(std::u32string_view(u).substr(0, e));
}

std::string trim(std::string_view s) {
  std::u32string u = to_u32(s);
  size_t b = 0, e = u.size();
  while (b < e && is_space(u[b])) ++b;
  while (e > b && is_space(u[e - 1])) --e;
  return from_u32(std::u32string_view(u).substr(b, e - b));
}

std::vector<std::string> split_ws(std::string_view s) {
  std::vector<std::string> out;
  std::u32string u = to_u32(s);
  std::u32string cur;
  for (char32_t c : u) {
    if (is_space(c)) {
      if (!cur.empty()) out.push_back(from_u32(cur));
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) out.push_back(from_u32(cur));
  return out;
}

std::string join(const std::vector<std::string>& parts, std::string_view sep) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += sep;
    out += parts[i];
  }
  return out;
}

size_t length(std::string_view s) {
  size_t n = 0, i = 0;
  char32_t c;
  while (i < s.size()) {
    if (!decode(s, i, c)) throw std::invalid_argument("text is not valid UTF-8");
    ++n;
  }
  return n;
}

std::string substr(std::string_view s, size_t pos, size_t n) {
  size_t b = byte_offset(s, pos);
  if (n == npos) return std::string(s.substr(b));
  size_t i = b;
  char32_t c;
  for (size_t k = 0; k < n && i < s.size(); ++k)
    if (!decode(s, i, c)) throw std::invalid_argument("text is not valid UTF-8");
  return std::string(s.substr(b, i - b));
}

size_t find(std::string_view hay, std::string_view needle, size_t from) {
  size_t b = byte_offset(hay, from);
  size_t at = hay.find(needle, b);
  if (at == std::string_view::npos) return npos;
  return length(hay.substr(0, at));
}

size_t rfind(std::string_view hay, std::string_view needle) {
  size_t at = hay.rfind(needle);
  if (at == std::string_view::npos) return npos;
  return length(hay.substr(0, at));
}

std::string replace_all(std::string_view s, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(s);
  std::string out;
  size_t i = 0;
  while (true) {
    size_t at = s.find(from, i);
    if (at == std::string_view::npos) break;
    out.append(s.substr(i, at - i));
    out.append(to);
    i = at + from.size();
  }
  out.append(s.substr(i));
  return out;
}

std::string quoted_literal(std::string_view s) {
  bool has_single = s.find('\'') != std::string_view::npos;
  bool has_double = s.find('"') != std::string_view::npos;
  char q = (has_single && !has_double) ? '"' : '\'';
  std::string out(1, q);
  static const char* hex = "0123456789abcdef";
  for (char32_t c : to_u32(s)) {
    if (c == '\\') out += "\\\\";
    else if (c == static_cast<char32_t>(q)) { out += '\\'; out += q; }
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
      out += "\\x";
      out += hex[(c >> 4) & 0xF];
      out += hex[c & 0xF];
    } else {
      append_utf8(out, c);
    }
  }
  out += q;
  return out;
}

}  // namespace plainstep::text
