// Dispatch, action targets, element and text verification, find text.
#include "strategies/lexical_finder/lexical_finder.hpp"

#include <algorithm>
#include <stdexcept>

#include "strategies/lexical_finder/lexical_internal.hpp"
#include "text/text.hpp"

namespace plainstep {

using namespace lexical_finder;

namespace lexical_finder {

void _require_records(const Elements& elements, const char* name) {
  for (size_t i = 0; i < elements.size(); ++i)
    if (!elements[i])
      throw TypeError(std::string(name) + "[" + std::to_string(i) +
                      "] must be an element record, got null");
}

Elements _sorted_by_text_length(const Elements& elements) {
  std::vector<std::pair<size_t, ElementRef>> keyed;
  keyed.reserve(elements.size());
  for (const auto& e : elements) keyed.emplace_back(text::length(e->text), e);
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  Elements out;
  out.reserve(keyed.size());
  for (auto& [len, e] : keyed) out.push_back(std::move(e));
  return out;
}

ResolutionResult _found(ElementRef element, Elements candidates) {
  ResolutionResult r;
  r.resolved = true;
  r.confidence = 1.0;
  r.element = std::move(element);
  r.candidates = std::move(candidates);
  return r;
}

}  // namespace lexical_finder

namespace {

const Elements _NO_ELEMENTS;

// The checks of one verification: which observed state answers it.
enum class _Check { present, visible, enabled, disabled };

struct _CheckRow {
  std::string_view action;
  _Check check;
};

constexpr std::array<_CheckRow, 4> _ELEMENT_CHECKS{{{"verify_present", _Check::present},
                                                    {"verify_visible", _Check::visible},
                                                    {"verify_enabled", _Check::enabled},
                                                    {"verify_disabled", _Check::disabled}}};
constexpr std::array<_CheckRow, 2> _TEXT_CHECKS{{{"verify_text_present", _Check::present},
                                                 {"verify_text_visible", _Check::visible}}};

template <size_t N>
_Check _check_for(const std::array<_CheckRow, N>& rows, std::string_view action, const char* what) {
  for (const auto& row : rows)
    if (row.action == action) return row.check;
  std::string known;
  for (const auto& row : rows) known += (known.empty() ? "" : ", ") + std::string(row.action);
  throw std::out_of_range(std::string(what) + " " + text::quoted_literal(action) +
                          " is not one of " + known);
}

bool _answer(_Check check, const State& s) {
  switch (check) {
    case _Check::present: return *s.present;
    case _Check::visible: return *s.visible;
    case _Check::enabled: return s.enabled.value_or(false);
    case _Check::disabled: return !s.enabled.value_or(false);
  }
  return false;
}

ResolutionResult _verify_not_found() {
  ResolutionResult r;
  r.verified = false;
  r.state = State{};
  return r;
}

ResolutionResult _verified(_Check check, Elements sorted, bool with_enabled) {
  ElementRef first = sorted.front();
  State s;
  s.present = true;
  s.visible = first->is_visible.value_or(false);
  if (with_enabled) s.enabled = first->is_enabled.value_or(false);
  ResolutionResult r = _found(std::move(first), std::move(sorted));
  r.verified = _answer(check, s);
  r.state = s;
  return r;
}

bool _text_contains(const Element& e, const std::string& folded_target) {
  return text::contains(text::lower(e.text), folded_target);
}

bool _reads_before(const ElementRef& a, const ElementRef& b) {
  const Box ba = a->bounding_box.value_or(Box{});
  const Box bb = b->bounding_box.value_or(Box{});
  if (ba.y != bb.y) return ba.y < bb.y;
  return ba.x < bb.x;
}

bool _is_element_check(std::string_view action) {
  for (const auto& row : _ELEMENT_CHECKS)
    if (row.action == action) return true;
  return false;
}

// The elements that answer a target best, in input order, and how well.
struct _Matches {
  MatchRank rank = MatchRank::none;
  bool visible = false;  // all of them visible
  Elements elements;

  // Visible before hidden, then the better rank.
  bool beats(const _Matches& other) const {
    if (visible != other.visible) return visible;
    return rank < other.rank;
  }
};

// The best-ranked elements of `pool` (only the visible ones when asked).
template <typename Rank>
_Matches _best(const Elements& pool, const Rank& rank_of, bool visible_only) {
  _Matches m;
  m.visible = visible_only;
  for (const auto& e : pool) {
    if (visible_only && !e->is_visible.value_or(false)) continue;
    const MatchRank r = rank_of(*e);
    if (r == MatchRank::none || r > m.rank) continue;
    if (r < m.rank) m.elements.clear();
    m.rank = r;
    m.elements.push_back(e);
  }
  return m;
}

// The ordinal-th candidate in reading order; counting past the last match
// must not act on some other element.
ResolutionResult _nth_in_reading_order(Elements candidates, int ordinal) {
  if (candidates.empty()) return ResolutionResult{};
  std::stable_sort(candidates.begin(), candidates.end(), _reads_before);
  if (static_cast<size_t>(ordinal) > candidates.size()) return ResolutionResult{};
  ElementRef chosen = candidates[static_cast<size_t>(ordinal) - 1];
  return _found(std::move(chosen), std::move(candidates));
}

}  // namespace

ResolutionResult LexicalFinder::resolve(const ParsedInstruction& parsed_instruction,
                                        const Elements& dom_elements,
                                        const Elements* text_elements) const {
  const std::string& action = parsed_instruction.action;
  if (!parsed_instruction.target)
    throw TypeError("target must be a string, got null (" + text::quoted_literal(action) +
                    " names no element or text to resolve)");
  const std::string& target = *parsed_instruction.target;
  _require_records(dom_elements, "dom_elements");
  const Elements& texts = text_elements ? *text_elements : _NO_ELEMENTS;
  _require_records(texts, "text_elements");

  if (action == "verify_spatial_text") {
    if (!parsed_instruction.value)
      throw TypeError("value must be a string (the expected text of " +
                      text::quoted_literal(action) + "), got null");
    return _resolve_verify_spatial_text(target, *parsed_instruction.value, texts, &dom_elements);
  }
  if (action == "extract_text_spatial")
    return _resolve_extract_spatial_text(target, texts, &dom_elements);
  if (action == "find_text") return _resolve_find_text(target, texts);
  if (action == "find_exact_text") return _resolve_find_exact_text(target, texts);
  for (const auto& row : _ELEMENT_CHECKS)
    if (row.action == action)
      return _resolve_verify(action, target, dom_elements, parsed_instruction.literal_target);
  for (const auto& row : _TEXT_CHECKS)
    if (row.action == action) return _resolve_verify_text(action, target, texts);
  return _resolve_action_target(parsed_instruction, target, dom_elements, texts);
}

ResolutionResult LexicalFinder::_resolve_action_target(const ParsedInstruction& parsed,
                                                       const std::string& target,
                                                       const Elements& dom_elements,
                                                       const Elements& text_elements) const {
  const int ordinal = parsed.ordinal.value_or(1);
  if (ordinal < 1)
    throw std::out_of_range("ordinal must be 1 or more, got " + std::to_string(ordinal));
  const Elements filtered = _filter_by_action(parsed.action, dom_elements);
  const TargetPhrases phrases = _target_phrases(target, parsed.literal_target);
  // A field is named by its label when something is typed into it or
  // chosen from it.
  const bool use_label = parsed.action == "type" || parsed.action == "select";
  const auto by_words = [&](const Element& e) { return _match_rank(phrases, e, use_label); };

  _Matches best = _best(filtered, by_words, true);
  if (best.elements.empty()) best = _best(filtered, by_words, false);
  if (best.elements.empty() && parsed.action == "extract_text")
    best = _best(text_elements, [&](const Element& e) { return _match_rank(phrases, e); }, true);
  return _nth_in_reading_order(std::move(best.elements), ordinal);
}

ResolutionResult LexicalFinder::resolve_labelled_field(const ParsedInstruction& parsed,
                                                       const Elements& dom_elements) const {
  if (!parsed.target)
    throw TypeError("target must be a string, got null (" + text::quoted_literal(parsed.action) +
                    " names no field to look up by its label)");
  _require_records(dom_elements, "dom_elements");
  const int ordinal = parsed.ordinal.value_or(1);
  if (ordinal < 1)
    throw std::out_of_range("ordinal must be 1 or more, got " + std::to_string(ordinal));
  const TargetPhrases phrases = _target_phrases(*parsed.target, parsed.literal_target);
  Elements fields;
  for (const auto& e : dom_elements)
    if (_is_form_field(*e)) fields.push_back(e);
  const auto by_label = [&](const Element& e) { return _label_rank(phrases, e); };
  const auto by_words = [&](const Element& e) { return _match_rank(phrases, e); };

  // Checks weigh hidden elements like visible ones; actions take what is
  // visible first, so a hidden match loses to a visible one.
  const bool visible_first = !_is_element_check(parsed.action);
  _Matches label = _best(fields, by_label, visible_first);
  if (label.elements.empty() && visible_first) label = _best(fields, by_label, false);
  if (label.elements.empty()) return ResolutionResult{};
  _Matches words = _best(dom_elements, by_words, visible_first);
  if (words.elements.empty() && visible_first) words = _best(dom_elements, by_words, false);
  if (!words.elements.empty() && !label.beats(words)) return ResolutionResult{};
  return _nth_in_reading_order(std::move(label.elements), ordinal);
}

ResolutionResult LexicalFinder::_resolve_verify(std::string_view action, std::string_view target,
                                                const Elements& dom_elements, bool literal) const {
  const _Check check = _check_for(_ELEMENT_CHECKS, action, "element check");
  _require_records(dom_elements, "dom_elements");
  const TargetPhrases phrases = _target_phrases(target, literal);
  struct _Ranked {
    MatchRank rank;
    size_t length;
    ElementRef element;
  };
  std::vector<_Ranked> ranked;
  for (const auto& e : dom_elements)
    if (MatchRank r = _match_rank(phrases, *e); r != MatchRank::none)
      ranked.push_back({r, text::length(e->text), e});
  if (ranked.empty()) return _verify_not_found();
  // The best match first; among equals the shortest text, the most specific.
  std::stable_sort(ranked.begin(), ranked.end(), [](const _Ranked& a, const _Ranked& b) {
    return a.rank != b.rank ? a.rank < b.rank : a.length < b.length;
  });
  Elements sorted;
  for (auto& r : ranked) sorted.push_back(std::move(r.element));
  return _verified(check, std::move(sorted), true);
}

ResolutionResult LexicalFinder::_resolve_verify_text(std::string_view action,
                                                     std::string_view target,
                                                     const Elements& text_elements) const {
  const _Check check = _check_for(_TEXT_CHECKS, action, "text check");
  _require_records(text_elements, "text_elements");
  const std::string folded = text::lower(target);
  Elements matches;
  for (const auto& e : text_elements)
    if (_text_contains(*e, folded)) matches.push_back(e);
  if (matches.empty()) return _verify_not_found();
  return _verified(check, _sorted_by_text_length(matches), false);
}

ResolutionResult LexicalFinder::_resolve_find_text(std::string_view target,
                                                   const Elements& text_elements) const {
  _require_records(text_elements, "text_elements");
  const std::string folded = text::lower(target);
  Elements matches;
  for (const auto& e : text_elements)
    if (_text_contains(*e, folded)) matches.push_back(e);
  if (matches.empty()) return ResolutionResult{};
  Elements sorted = _sorted_by_text_length(matches);
  ElementRef first = sorted.front();
  return _found(std::move(first), std::move(sorted));
}

ResolutionResult LexicalFinder::_resolve_find_exact_text(std::string_view target,
                                                         const Elements& text_elements) const {
  _require_records(text_elements, "text_elements");
  const std::string folded = text::lower(target);
  Elements exact, partial;
  for (const auto& e : text_elements) {
    if (text::lower(text::trim(e->text)) == folded) exact.push_back(e);
    if (_text_contains(*e, folded)) partial.push_back(e);
  }
  if (exact.empty()) {
    ResolutionResult miss;
    miss.candidates = _sorted_by_text_length(partial);
    return miss;
  }
  ElementRef first = exact.front();
  Elements candidates = std::move(exact);
  candidates.insert(candidates.end(), partial.begin(), partial.end());
  return _found(std::move(first), std::move(candidates));
}

}  // namespace plainstep
