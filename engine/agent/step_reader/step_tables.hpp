#pragma once
// Word tables of the step language and the folded view of a step that
// parsing and the wording check share. Internal to the step reader.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "agent/step_reader/step_reader.hpp"
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

// The step being parsed: its folded form and its quoted parts.
struct _Step {
  _Folded f;
  std::vector<std::string> literals;

  bool literal(const std::string& s) const {
    for (const auto& l : literals)
      if (l == s) return true;
    return false;
  }
};

// `ascii` stands in `s` at `at`.
bool _same(std::u32string_view s, size_t at, std::string_view ascii);

// A relation's words and a space stand at `at`: "below Total".
bool _opens_with_relation(std::u32string_view lower, size_t at);

// The record of one step.
ParsedInstruction _record(Action action, std::optional<std::string> target,
                          std::optional<std::string> value, bool literal,
                          std::optional<int> ordinal = std::nullopt);

// A quoted phrase is kept as written; anything else loses its filler words.
ParsedInstruction _chosen(const _Step& s, const StepReader& r, Action action,
                          const std::string& phrase, std::optional<int> ordinal = std::nullopt);

// The forms the language began with, in their order; nullopt when none matches.
std::optional<ParsedInstruction> _first_form(const _Step& s, const StepReader& r);

// The forms the language grew, tried when none of the first forms matches.
std::optional<ParsedInstruction> _grown_form(const _Step& s, const StepReader& r);

// The wording issues of a step that opens like a grown form ("check",
// "go to", "verify ... is not visible"), and that the first forms do not
// read; nullopt for any other step.
std::optional<std::vector<std::string>> _grown_issues(const _Step& s, const StepReader& r);

// A name a variable may have: letters, digits and _, not starting with a digit.
bool _is_variable_name(std::string_view name);

// The text holds a variable the run sets: ${NAME}.
bool _holds_variable(std::string_view s);

// Leading and trailing `c` removed, as many as there are.
std::string _strip_char(std::string_view s, char c);

// Keys and waits may be written in quotes: 'abc', "500".
std::string _strip_quotes(std::string_view s);

// Where a step first breaks UTF-8, for the error that says so.
std::string _utf8_fault(std::string_view s);

}  // namespace plainstep
