// Dispatch, element and text verification, find text.
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
enum class _Check { present, visible, enabled, disabled, not_present, not_visible, not_enabled };

struct _CheckRow {
  Action action;
  _Check check;
};

constexpr std::array<_CheckRow, 7> _ELEMENT_CHECKS{
    {{Action::verify_present, _Check::present},
     {Action::verify_visible, _Check::visible},
     {Action::verify_enabled, _Check::enabled},
     {Action::verify_disabled, _Check::disabled},
     {Action::verify_not_present, _Check::not_present},
     {Action::verify_not_visible, _Check::not_visible},
     {Action::verify_not_enabled, _Check::not_enabled}}};
constexpr std::array<_CheckRow, 4> _TEXT_CHECKS{
    {{Action::verify_text_present, _Check::present},
     {Action::verify_text_visible, _Check::visible},
     {Action::verify_text_not_present, _Check::not_present},
     {Action::verify_text_not_visible, _Check::not_visible}}};

template <size_t N>
_Check _check_for(const std::array<_CheckRow, N>& rows, std::string_view action, const char* what) {
  for (const auto& row : rows)
    if (action_name(row.action) == action) return row.check;
  std::string known;
  for (const auto& row : rows) known += (known.empty() ? "" : ", ") + std::string(action_name(row.action));
  throw std::out_of_range(std::string(what) + " " + text::quoted_literal(action) +
                          " is not one of " + known);
}

bool _answer(_Check check, const State& s) {
  switch (check) {
    case _Check::present: return *s.present;
    case _Check::visible: return *s.visible;
    case _Check::enabled: return s.enabled.value_or(false);
    case _Check::disabled: return !s.enabled.value_or(false);
    case _Check::not_present: return !*s.present;
    case _Check::not_visible: return !*s.visible;
    case _Check::not_enabled: return !s.enabled.value_or(false);
  }
  return false;
}

// Nothing matched: a check that something is absent or hidden holds.
bool _holds_when_absent(_Check check) {
  return check == _Check::not_present || check == _Check::not_visible;
}

ResolutionResult _verify_not_found(_Check check) {
  ResolutionResult r;
  r.verified = _holds_when_absent(check);
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

// How a spatial text check compares.
TextComparison _comparison_of(Action a) {
  switch (a) {
    case Action::verify_spatial_text_not: return TextComparison::not_contains;
    case Action::verify_spatial_text_exact: return TextComparison::equals;
    case Action::verify_spatial_text_not_exact: return TextComparison::not_equals;
    default: return TextComparison::contains;
  }
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

  // An action the language lacks is a target to act on, like a click.
  const std::optional<Action> known = action_of(parsed_instruction);
  if (known) switch (*known) {
      case Action::verify_spatial_text:
        if (!parsed_instruction.value)
          throw TypeError("value must be a string (the expected text of " +
                          text::quoted_literal(action) + "), got null");
        return _resolve_verify_spatial_text(target, *parsed_instruction.value, texts,
                                            &dom_elements);
      case Action::extract_text_spatial:
      case Action::remember_text_spatial:
        return _resolve_extract_spatial_text(target, texts, &dom_elements);
      case Action::find_text: return _resolve_find_text(target, texts);
      case Action::find_exact_text: return _resolve_find_exact_text(target, texts);
      case Action::verify_spatial_text_not:
      case Action::verify_spatial_text_exact:
      case Action::verify_spatial_text_not_exact:
        if (!parsed_instruction.value)
          throw TypeError("value must be a string (the expected text of " +
                          text::quoted_literal(action) + "), got null");
        return _resolve_verify_spatial_text(target, *parsed_instruction.value, texts,
                                            &dom_elements, _comparison_of(*known));
      case Action::verify_present:
      case Action::verify_visible:
      case Action::verify_enabled:
      case Action::verify_disabled:
      case Action::verify_not_present:
      case Action::verify_not_visible:
      case Action::verify_not_enabled:
        return _resolve_verify(action, target, dom_elements, parsed_instruction.literal_target);
      case Action::verify_text_present:
      case Action::verify_text_visible:
      case Action::verify_text_not_present:
      case Action::verify_text_not_visible: return _resolve_verify_text(action, target, texts);
      case Action::verify_count:
        return _resolve_count(target, parsed_instruction.value.value_or(""),
                              parsed_instruction.literal_target, dom_elements, texts);
      case Action::click:
      case Action::type:
      case Action::hover:
      case Action::select:
      case Action::press_key:
      case Action::sendkeys:
      case Action::extract_text:
      case Action::accept_dialog:
      case Action::dismiss_dialog:
      case Action::verify_dialog:
      case Action::wait:
      case Action::verify_checked:
      case Action::verify_not_checked:
      case Action::verify_value:
      case Action::verify_contains:
      case Action::verify_url:
      case Action::verify_url_contains:
      case Action::verify_title:
      case Action::verify_title_contains:
      case Action::double_click:
      case Action::right_click:
      case Action::check:
      case Action::uncheck:
      case Action::clear:
      case Action::upload:
      case Action::drag:
      case Action::scroll_to:
      case Action::go_to:
      case Action::switch_to_new_tab:
      case Action::switch_to_tab:
      case Action::close_tab:
      case Action::remember_text:
      case Action::run_file:
        break;
    }
  return _resolve_action_target(parsed_instruction, target, dom_elements, texts);
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
  const auto rank_all = [&](const Elements& pool, bool label) {
    for (const auto& e : pool)
      if (MatchRank r = _match_rank(phrases, *e, label); r != MatchRank::none)
        ranked.push_back({r, text::length(e->text), e});
  };
  rank_all(dom_elements, false);
  // "the Select disabled dropdown": a drop-down first, named by its label
  // too, unless an element reads the whole phrase.
  const bool whole = std::any_of(ranked.begin(), ranked.end(),
                                 [](const _Ranked& r) { return _whole(r.rank); });
  if (const auto kind = _named_kind(target, literal); kind && !whole) {
    std::vector<_Ranked> all = std::move(ranked);
    ranked.clear();
    rank_all(_of_kind(dom_elements, *kind), _labels_name(*kind));
    if (ranked.empty()) ranked = std::move(all);
  }
  if (ranked.empty()) return _verify_not_found(check);
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
  if (matches.empty()) return _verify_not_found(check);
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
