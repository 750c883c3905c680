#pragma once
// Unicode text helpers over UTF-8 std::string. Lengths and positions are in
// code points. Input that is not valid UTF-8 is rejected with
// std::invalid_argument, never silently repaired.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace plainstep::text {

constexpr size_t npos = static_cast<size_t>(-1);

bool is_valid_utf8(std::string_view s);
// Throws std::invalid_argument("<what> is not valid UTF-8") when it is not.
void require_utf8(std::string_view s, std::string_view what = "text");

std::u32string to_u32(std::string_view s);
std::string from_u32(std::u32string_view s);
std::string from_cp(char32_t c);

// Full Unicode lower-case mapping, root locale ('İ' becomes two code points).
std::string lower(std::string_view s);

// Lower-cases and also gives, for every code point of the result, the index
// of the code point of `s` it came from (plus one trailing entry equal to
// the length of `s`), so positions found in the lower-cased text can be
// mapped back to the original even where lower-casing changes lengths.
struct Lowered {
  std::string text;
  std::vector<size_t> source_index;
};
Lowered lower_mapped(std::string_view s);

bool is_space(char32_t c);   // Unicode White_Space
bool is_digit(char32_t c);   // numeric type decimal or digit
int digit_value(char32_t c); // 0-9 for a digit ('٣' is 3), -1 otherwise
bool has_digit(std::string_view s);
bool all_digits(std::string_view s);  // non-empty and every code point a digit

std::string trim(std::string_view s);
std::string ltrim(std::string_view s);
std::string rtrim(std::string_view s);
// Splits at runs of white space; never yields empty pieces.
std::vector<std::string> split_ws(std::string_view s);
std::string join(const std::vector<std::string>& parts, std::string_view sep);

size_t length(std::string_view s);
// Code points [pos, pos + n) of s; clamps at the end.
std::string substr(std::string_view s, size_t pos, size_t n = npos);
// Code-point position of the first / last occurrence of needle, or npos.
size_t find(std::string_view hay, std::string_view needle, size_t from = 0);
size_t rfind(std::string_view hay, std::string_view needle);

inline bool starts_with(std::string_view s, std::string_view p) { return s.starts_with(p); }
inline bool ends_with(std::string_view s, std::string_view p) { return s.ends_with(p); }
inline bool contains(std::string_view s, std::string_view p) {
  return s.find(p) != std::string_view::npos;
}

std::string replace_all(std::string_view s, std::string_view from, std::string_view to);

// A string as a quoted literal for messages: single quotes, or double quotes
// when it holds a single quote and no double quote; backslash, the enclosing
// quote, \n, \r and \t escaped, other control characters as \xNN.
std::string quoted_literal(std::string_view s);

}  // namespace plainstep::text
