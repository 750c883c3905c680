#pragma once
// Word tables of the step language and the folded view of a step that
// parsing and the wording check share. Internal to the step reader.
#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "records/vocabulary.hpp"

namespace plainstep {

inline constexpr std::array<std::string_view, 2> _EXTRACT_PREFIXES{"extract text ",
                                                                   "extract_text "};

// Spatial openings that exempt a "verify text" step from the state check.
inline constexpr std::array<std::string_view, 5> _VERIFY_TEXT_SPATIAL{
    "verify text next to", "verify text below", "verify text above", "verify text left",
    "verify text right"};

// A trimmed step and its lower-cased form, with each position of the
// lower-cased form mapped to the step: tests run on `lower`, pieces are cut
// from `text`, so they keep the user's case and are cut in the right place
// even where lower-casing changes the length ('İ' becomes two code points).
struct _Folded {
  std::u32string text;
  std::u32string lower;
  std::vector<size_t> source;  // one entry per code point of lower, plus its end

  explicit _Folded(std::string_view trimmed);

  bool starts_with(std::string_view ascii) const;
  bool ends_with(std::string_view ascii) const;
  bool equals(std::string_view ascii) const;
  // Position in `lower`, or npos.
  size_t find(std::string_view ascii, size_t from = 0) const;
  size_t rfind(std::string_view ascii) const;
  // The step between the places of two positions of `lower`.
  std::string cut(size_t lower_begin, size_t lower_end) const;
  std::string after(size_t lower_begin) const { return cut(lower_begin, lower.size()); }
};

// Leading and trailing `c` removed, as many as there are.
std::string _strip_char(std::string_view s, char c);

// Keys and waits may be written in quotes: 'abc', "500".
std::string _strip_quotes(std::string_view s);

// Where a step first breaks UTF-8, for the error that says so.
std::string _utf8_fault(std::string_view s);

}  // namespace plainstep
