#pragma once
// Level 1 resolution strategy: matches instructions to DOM elements by text
// and attributes.
//
// Everything here is pure: no page is touched, no record is changed, no
// state is kept. Results hold the very ElementRefs they were given.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "records/records.hpp"

namespace plainstep {

namespace lexical_finder {

// Attributes an element may be named by, in the order they are consulted.
inline constexpr std::array<std::string_view, 6> _MATCH_ATTRIBUTES{
    "aria-label", "_label", "placeholder", "data-testid", "type", "alt"};

// Words that only say what kind of control is meant ("the Email field").
inline constexpr std::array<std::string_view, 18> _TYPE_DESCRIPTORS{
    "input", "field", "button",  "btn",      "box",  "link",    "dropdown", "select",  "checkbox",
    "radio", "textarea", "textbox", "area", "icon", "control", "widget",   "form",    "element"};

inline constexpr std::array<std::string_view, 2> _TYPEABLE_TAGS{"input", "textarea"};
inline constexpr std::array<std::string_view, 4> _TYPEABLE_ROLES{"textbox", "searchbox",
                                                                 "spinbutton", "combobox"};
inline constexpr std::array<std::string_view, 1> _SELECTABLE_TAGS{"select"};

// Tags whose text elements may be the neighbour of a spatial text check.
inline constexpr std::array<std::string_view, 14> _TEXT_ONLY_TAGS{
    "span", "p", "label", "h1", "h2", "h3", "h4", "h5", "h6", "li", "td", "th", "div", "a"};

// Furthest tree distance between a text anchor and its neighbour.
inline constexpr int _DOM_DISTANCE_THRESHOLD = 10;

// `target` without trailing, then leading, type words ('Login button' ->
// 'Login'); `target` unchanged when nothing else would be left.
std::string _strip_type_descriptors(std::string_view target);

// The strings an element may be named by, in order: its text, the match
// attributes ("_label" only with include_label), its class words, its id
// words and its data-attribute names. Nothing trimmed, folded or deduplicated.
std::vector<std::string> _searchable_strings(const Element& element, bool include_label = false);

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
  // the element descriptors, hidden ones included, shortest text first.
  // Throws std::out_of_range for any other action.
  ResolutionResult _resolve_verify(std::string_view action, std::string_view target,
                                   const Elements& dom_elements) const;

  // verify_text_present / verify_text_visible over the text elements.
  // Throws std::out_of_range for any other action.
  ResolutionResult _resolve_verify_text(std::string_view action, std::string_view target,
                                        const Elements& text_elements) const;

  // "RELATION ANCHOR" (right of, next to, left of, below, under, above):
  // the nearest text in that direction of the anchor text, compared with
  // `expected`.
  ResolutionResult _resolve_verify_spatial_text(std::string_view target, std::string_view expected,
                                                const Elements& text_elements,
                                                const Elements* dom_elements = nullptr) const;

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
