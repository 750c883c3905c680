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
    if (row.action == action) return _resolve_verify(action, target, dom_elements);
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
  const std::string scoring_target = _strip_type_descriptors(target);
  const bool use_label = parsed.action == "type";

  Elements matches;
  for (const auto& e : filtered)
    if (e->is_visible.value_or(false) && _matches_element(scoring_target, *e, use_label))
      matches.push_back(e);
  if (matches.empty())
    for (const auto& e : filtered)
      if (_matches_element(scoring_target, *e, use_label)) matches.push_back(e);
  if (matches.empty() && parsed.action == "extract_text")
    for (const auto& e : text_elements)
      if (e->is_visible.value_or(false) && _matches_element(scoring_target, *e, false))
        matches.push_back(e);
  if (matches.empty()) return ResolutionResult{};

  Elements candidates;
  for (const auto& e : matches)
    if (_exact_matches_element(scoring_target, *e, use_label)) candidates.push_back(e);
  if (candidates.empty()) candidates = std::move(matches);
  std::stable_sort(candidates.begin(), candidates.end(), _reads_before);

  // Counting past the last match must not act on some other element.
  if (static_cast<size_t>(ordinal) > candidates.size()) return ResolutionResult{};
  ElementRef chosen = candidates[static_cast<size_t>(ordinal) - 1];
  return _found(std::move(chosen), std::move(candidates));
}

ResolutionResult LexicalFinder::_resolve_verify(std::string_view action, std::string_view target,
                                                const Elements& dom_elements) const {
  const _Check check = _check_for(_ELEMENT_CHECKS, action, "element check");
  _require_records(dom_elements, "dom_elements");
  const std::string scoring_target = _strip_type_descriptors(target);
  Elements matches;
  for (const auto& e : dom_elements)
    if (_matches_element(scoring_target, *e, false)) matches.push_back(e);
  if (matches.empty()) return _verify_not_found();
  return _verified(check, _sorted_by_text_length(matches), true);
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
