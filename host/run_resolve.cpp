#include "run_resolve.hpp"

#include <optional>
#include <stdexcept>

#include "strategy.hpp"
#include "text/text.hpp"

namespace plainstep::host {

namespace {
const Strategy& _need(const char* name) {
  const Strategy* s = find_strategy(name);
  if (!s) throw std::logic_error(std::string("resolution strategy '") + name + "' is not built in");
  return *s;
}

// An element check answered from the element's record: the state it
// asks for, and whether nothing found makes it hold.
struct _RecordCheck {
  bool (*holds)(const State&);
  bool holds_when_absent;
};

std::optional<_RecordCheck> _record_check(const std::string& action) {
  const auto a = action_named(action);
  if (!a) return std::nullopt;
  switch (*a) {
    case Action::verify_present: return _RecordCheck{[](const State&) { return true; }, false};
    case Action::verify_visible: return _RecordCheck{[](const State& s) { return *s.visible; }, false};
    case Action::verify_enabled: return _RecordCheck{[](const State& s) { return *s.enabled; }, false};
    case Action::verify_disabled: return _RecordCheck{[](const State& s) { return !*s.enabled; }, false};
    case Action::verify_not_present: return _RecordCheck{[](const State&) { return false; }, true};
    case Action::verify_not_visible: return _RecordCheck{[](const State& s) { return !*s.visible; }, true};
    case Action::verify_not_enabled: return _RecordCheck{[](const State& s) { return !*s.enabled; }, false};
    default: return std::nullopt;
  }
}

bool _is_element_check(const std::string& action) { return _record_check(action).has_value(); }

// Steps that act where the pointer goes: with no element to name, the
// plain text that reads so is hovered, double-clicked, dragged.
bool _by_pointer(const std::string& action) {
  const auto a = action_named(action);
  return a && (*a == Action::hover || *a == Action::double_click || *a == Action::right_click ||
               *a == Action::drag);
}

// A checkbox, radio, select or field shows no text of its own: a person
// clicks it, hovers it or checks it by the label beside it ("click I accept
// the terms"), as a click on that label reaches the field. Text matching
// counts labels only for typing and choosing, so these steps ask for the
// field a label names too, which is kept when the label answers better
// than any element's own words.
bool _by_label(const ParsedInstruction& parsed, const Elements& elements,
               const Elements& text_elements, ResolutionResult& out) {
  if (!looks_up_field_labels(parsed.action)) return false;
  ResolutionResult r = _need("field_label")(parsed, elements, text_elements);
  if (!r.resolved || !r.element) return false;
  verify_from_record(parsed.action, r);
  out = std::move(r);
  return true;
}
}  // namespace

bool looks_up_field_labels(const std::string& action) {
  if (_is_element_check(action)) return true;
  const auto a = action_named(action);
  if (!a) return false;
  switch (*a) {
    // Double and right clicks and drags go where the pointer goes: with no
    // element to name, the text that reads so, never a field it labels.
    case Action::click:
    case Action::hover:
    case Action::scroll_to: return true;
    default: return false;
  }
}

std::string names_nothing_message(std::string_view step) {
  return "the step names nothing to look for: " + text::quoted_literal(text::trim(step)) +
         " has an empty target";
}

void verify_from_record(const std::string& action, ResolutionResult& r) {
  const std::optional<_RecordCheck> check = _record_check(action);
  if (!check) return;
  State s;
  if (r.resolved && r.element) {
    s.present = true;
    s.visible = r.element->is_visible.value_or(false);
    s.enabled = r.element->is_enabled.value_or(false);
  }
  r.verified = s.present ? check->holds(s) : check->holds_when_absent;
  r.state = s;
}

RoutedResult resolve_routed(const ParsedInstruction& parsed, const Elements& elements,
                            const Elements& text_elements, std::optional<std::string_view> step) {
  if (names_nothing(parsed))
    throw std::invalid_argument(names_nothing_message(step ? *step : parsed.action));
  RoutedResult out;
  RoutePlan plan = plan_route(parsed, step);
  out.route = plan.route;
  if (plan.route == Route::none) return out;
  if (plan.route == Route::spatial) {
    out.result = _need("spatial")(plan.spatial_instruction, elements, text_elements);
    if (out.result.resolved) {
      verify_from_record(parsed.action, out.result);
      return out;
    }
    out.fell_back = true;
  }
  out.result = _need("lexical")(parsed, elements, text_elements);
  const bool words_matched = out.result.resolved;
  out.by_label = _by_label(parsed, elements, text_elements, out.result);
  out.label_over_words = out.by_label && words_matched;
  if (!out.result.resolved && _by_pointer(parsed.action)) {
    // A tooltip may hang on plain text ("hover Help"): hover the visible
    // text that names it, as extracting text would find it.
    ParsedInstruction as_text{std::string(action_name(Action::extract_text)), parsed.target, std::nullopt,
                              parsed.ordinal.value_or(1), parsed.literal_target};
    ResolutionResult r = _need("lexical")(as_text, elements, text_elements);
    if (r.resolved) {
      out.result = std::move(r);
      out.by_text = true;
    }
  }
  return out;
}

}  // namespace plainstep::host
