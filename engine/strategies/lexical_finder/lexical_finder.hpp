#pragma once
// Level 1 resolution strategy: matches instructions to DOM elements by text
// and attributes.
//
// Everything here is pure: no page is touched, no record is changed, no
// state is kept. Results hold the very ElementRefs they were given.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/records.hpp"

namespace plainstep {

namespace lexical_finder {

// Attributes an element may be named by, in the order they are consulted.
inline constexpr std::array<std::string_view, 7> _MATCH_ATTRIBUTES{
    "aria-label", "_label", "placeholder", "data-testid", "type", "alt", "title"};

// The attributes a person reads on the page (or hears from a screen
// reader): a match on one of them ranks with a match on the text. The
// others (data-testid, type, the icon a control shows instead of text,
// class, id and data- names) are markup only.
inline constexpr std::array<std::string_view, 5> _READABLE_ATTRIBUTES{
    "aria-label", "_label", "placeholder", "alt", "title"};

inline constexpr std::array<std::string_view, 2> _TYPEABLE_TAGS{"input", "textarea"};
inline constexpr std::array<std::string_view, 4> _TYPEABLE_ROLES{"textbox", "searchbox",
                                                                 "spinbutton", "combobox"};
inline constexpr std::array<std::string_view, 1> _SELECTABLE_TAGS{"select"};

// Furthest tree distance between a text anchor and its neighbour.
inline constexpr int _DOM_DISTANCE_THRESHOLD = 10;

// `target` without trailing, then leading, type words ('Login button' ->
// 'Login'); `target` unchanged when nothing else would be left.
std::string _strip_type_descriptors(std::string_view target);

// The strings an element may be named by, in order: its text, the match
// attributes ("_label" only with include_label), its icon, its class
// words, its id words and its data-attribute names. Nothing trimmed,
// folded or deduplicated.
std::vector<std::string> _searchable_strings(const Element& element, bool include_label = false);

// The phrases a target is tried as, case-folded: the whole phrase, then,
// when it was not quoted and loses something, the phrase without its type
// words ("login button" then "login"). A quoted phrase is only itself.
struct TargetPhrases {
  std::string whole;
  std::optional<std::string> stripped;
};
TargetPhrases _target_phrases(std::string_view target, bool literal);

// How well an element answers a target, best first. What a person reads
// (text, aria-label, field label, placeholder, alt, title) ranks ahead of
// markup (data-testid, type, icon, class, id and data- names); within
// each, the whole phrase exactly, then the phrase without type words
// exactly, then either one in part. A field label's trailing colon does
// not count.
enum class MatchRank {
  readable_whole,
  readable_exact,
  readable_partial,
  markup_whole,
  markup_exact,
  markup_partial,
  none
};

MatchRank _match_rank(const TargetPhrases& phrases, const Element& element,
                      bool include_label = false);

// The same, over the element's field label alone.
MatchRank _label_rank(const TargetPhrases& phrases, const Element& element);

// Inputs (but buttons), text areas, selects, editable custom fields and the
// roles of form controls: what a field label can name.
bool _is_form_field(const Element& element);

// The kind the type word at the end of an unquoted phrase names, else the
// one at its start; none for a quoted phrase or one without such a word.
std::optional<ElementKind> _named_kind(std::string_view target, bool literal);

// Whether the element is of that kind, by its tag, input type and role.
bool _is_of_kind(const Element& element, ElementKind kind);

// Some searchable string, case-folded, contains the case-folded target.
bool _matches_element(std::string_view target, const Element& element, bool include_label = false);

// Some searchable string, case-folded and trimmed, equals the case-folded
// target (the target itself is not trimmed).
bool _exact_matches_element(std::string_view target, const Element& element,
                            bool include_label = false);

// For "type" the typeable elements, for "select" the select elements, in
// input order; `elements` itself for other actions or when none qualifies.
// Throws TypeError for a null record.
Elements _filter_by_action(std::string_view action, const Elements& elements);

// Tree steps between two absolute element paths: up from one to the last
// common step of the leading run of equal steps, then down to the other.
int _dom_distance(std::string_view xpath_a, std::string_view xpath_b);

// Expected and actual texts as compared by spatial text checks: folded,
// without currency signs and thousands separators, trimmed.
std::string _norm(std::string_view v);

}  // namespace lexical_finder

// How a spatial text check compares the text it finds with the expected
// one, both normalised (_norm): the expected text inside it, or not; the
// two equal (white space runs as one space), or not.
enum class TextComparison { contains, not_contains, equals, not_equals };

// Resolves a parsed instruction against a list of live DOM elements.
// Stateless; one object may serve any number of threads.
class LexicalFinder {
 public:
  // Uses case-insensitive exact contains matching — no fuzzy or semantic
  // scoring. Verifications, spatial text, find text and the action targets
  // (click, type, select, hover, extract text, ...) each return their own
  // result shape. A miss is a result with `resolved` false, never an error.
  // Throws TypeError when `target` is null (or `value` for a spatial text
  // check) or a record is null, and std::out_of_range for an ordinal below 1.
  ResolutionResult resolve(const ParsedInstruction& parsed_instruction,
                           const Elements& dom_elements,
                           const Elements* text_elements = nullptr) const;

  // The handlers resolve dispatches to; callable directly by hosts and tests.

  // verify_present / verify_visible / verify_enabled / verify_disabled over
  // the element descriptors, hidden ones included: the best match first,
  // then the shortest text. Throws std::out_of_range for any other action.
  ResolutionResult _resolve_verify(std::string_view action, std::string_view target,
                                   const Elements& dom_elements, bool literal = false) const;

  // The form field (input, text area, select, checkbox, radio, custom
  // field) a click, hover or element check names by its field label. Found
  // only when the label answers the target better than any element does by
  // its own words (resolve), so it never takes a step text matching
  // settles; otherwise a miss. Element checks get no verdict here.
  ResolutionResult resolve_labelled_field(const ParsedInstruction& parsed_instruction,
                                          const Elements& dom_elements) const;

  // verify_text_present / verify_text_visible over the text elements.
  // Throws std::out_of_range for any other action.
  ResolutionResult _resolve_verify_text(std::string_view action, std::string_view target,
                                        const Elements& text_elements) const;

  // "RELATION ANCHOR" (right of, next to, left of, below, under, above):
  // the nearest text in that direction of the anchor text, compared with
  // `expected`.
  // A negative check also needs the anchor and a text beside it: a check
  // of a value needs a value.
  ResolutionResult _resolve_verify_spatial_text(
      std::string_view target, std::string_view expected, const Elements& text_elements,
      const Elements* dom_elements = nullptr,
      TextComparison comparison = TextComparison::contains) const;

  // verify count of PHRASE is N: the visible elements a click on the
  // phrase would choose among (plain text when no element answers), in
  // reading order as `candidates`; `state` holds the expected and the
  // actual count, `verified` whether they are the same number.
  ResolutionResult _resolve_count(std::string_view target, std::string_view expected, bool literal,
                                  const Elements& dom_elements,
                                  const Elements& text_elements) const;

  // The same search; `extracted` is the nearest text, or "" with `resolved`
  // false when the anchor or a neighbour in that direction is missing.
  ResolutionResult _resolve_extract_spatial_text(std::string_view target,
                                                 const Elements& text_elements,
                                                 const Elements* dom_elements = nullptr) const;

  // Text elements containing `target`, case-insensitively, shortest first.
  ResolutionResult _resolve_find_text(std::string_view target, const Elements& text_elements) const;

  // Text elements whose trimmed text equals `target`, case-insensitively;
  // on a miss the near misses are reported as candidates.
  ResolutionResult _resolve_find_exact_text(std::string_view target,
                                            const Elements& text_elements) const;

 private:
  ResolutionResult _resolve_action_target(const ParsedInstruction& parsed, const std::string& target,
                                          const Elements& dom_elements,
                                          const Elements& text_elements) const;
};

}  // namespace plainstep
