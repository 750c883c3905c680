#include "run_routing.hpp"

#include <array>
#include <set>
#include <vector>

#include "text/text.hpp"

namespace plainstep::host {

namespace {

// Relation keywords as word sequences.
const std::vector<std::vector<std::string>> _RELATION_WORDS = [] {
  std::vector<std::vector<std::string>> out;
  for (const RelationWord& r : RELATION_WORDS) out.push_back(text::split_ws(r.words));
  return out;
}();

bool _is_ordinal_word(const std::string& w) {
  for (const OrdinalWord& o : ORDINAL_WORDS)
    if (o.word == w) return true;
  return false;
}

// The words that place an element of a type in the grid ("the third button").
bool _is_grid_type_word(const std::string& w) {
  const TypeWord* t = type_word(w);
  return t && !t->grid_type.empty();
}

// The step reader's ordinal word for a number ("second" for 2).
std::optional<std::string> _spelled_ordinal(int n) {
  for (const OrdinalWord& o : ORDINAL_WORDS)
    if (o.spelled && o.number == n) return std::string(o.word);
  return std::nullopt;
}

// What the action's target names; nullopt for an action the language lacks.
std::optional<TargetKind> _target_kind(const std::string& action) {
  if (auto a = action_named(action)) return info(*a).target;
  return std::nullopt;
}

std::vector<std::string> _words(std::string_view phrase) {
  return text::split_ws(text::lower(phrase));
}

// The words of the step after its action words, quotes removed; empty when
// the step does not start the way `action` is written.
std::vector<std::string> _words_after_action(std::string_view step, const std::string& action) {
  std::vector<std::string> w = _words(text::replace_all(step, "\"", " "));
  const auto opens = [&](std::initializer_list<const char*> words) {
    size_t k = 0;
    for (const char* word : words)
      if (k >= w.size() || w[k++] != word) return false;
    return true;
  };
  size_t i = 0;
  bool from = false;  // "extract text from second Price"
  const auto a = action_named(action);
  if (!a) return {};
  switch (*a) {
    case Action::click: i = opens({"click"}) ? 1 : 0; break;
    case Action::double_click: i = opens({"double", "click"}) ? 2 : 0; break;
    case Action::right_click: i = opens({"right", "click"}) ? 2 : 0; break;
    case Action::drag: i = opens({"drag"}) ? 1 : 0; break;
    case Action::extract_text:
      i = opens({"extract", "text"}) ? 2 : opens({"extract_text"}) ? 1 : 0;
      from = true;
      break;
    case Action::remember_text:
      i = opens({"remember", "text"}) ? 2 : 0;
      from = true;
      break;
    default: break;
  }
  if (i == 0) return {};
  if (from && i < w.size() && w[i] == "from") ++i;
  return {w.begin() + static_cast<std::ptrdiff_t>(i), w.end()};
}

// The ordinal word the step reader took out of the phrase, if it did.
std::optional<std::string> _moved_ordinal(const ParsedInstruction& p,
                                          std::optional<std::string_view> step) {
  if (!p.ordinal) return std::nullopt;
  std::optional<std::string> spelled = _spelled_ordinal(*p.ordinal);
  if (!spelled) return std::nullopt;
  std::string word = *spelled;
  if (step) {
    auto rest = _words_after_action(*step, p.action);
    if (rest.empty() || rest[0] != word) return std::nullopt;
    return word;
  }
  if (*p.ordinal > 1) return word;
  return std::nullopt;
}

}  // namespace

bool holds_relation(std::string_view phrase) {
  auto w = _words(phrase);
  for (const auto& kw : _RELATION_WORDS)
    for (size_t i = 0; i + kw.size() <= w.size(); ++i) {
      bool all = true;
      for (size_t k = 0; k < kw.size() && all; ++k) all = w[i + k] == kw[k];
      if (all) return true;
    }
  return false;
}

bool holds_ordinal(std::string_view phrase) {
  for (const auto& w : _words(phrase))
    if (_is_ordinal_word(w)) return true;
  return false;
}

bool holds_type_word(std::string_view phrase) {
  for (const auto& w : _words(phrase))
    if (_is_grid_type_word(w)) return true;
  return false;
}

bool names_nothing(const ParsedInstruction& p) {
  const auto kind = _target_kind(p.action);
  if (kind != TargetKind::element && kind != TargetKind::text && kind != TargetKind::keys)
    return false;
  return !p.target || text::trim(*p.target).empty();
}

RoutePlan plan_route(const ParsedInstruction& parsed, std::optional<std::string_view> step) {
  RoutePlan plan;
  plan.spatial_instruction = parsed;
  const auto kind = _target_kind(parsed.action);
  // A count is of what the words name, never of one placed element.
  if (kind == TargetKind::text || parsed.action == action_name(Action::verify_count)) {
    plan.route = Route::lexical;
    return plan;
  }
  if (kind != TargetKind::element || !parsed.target) {
    plan.route = Route::none;
    return plan;
  }
  // A quoted target is words to find as written, never a place.
  if (parsed.literal_target) {
    plan.route = Route::lexical;
    return plan;
  }
  std::string phrase = *parsed.target;
  if (auto word = _moved_ordinal(parsed, step)) phrase = *word + " " + phrase;
  bool spatial = holds_relation(phrase) || (holds_ordinal(phrase) && holds_type_word(phrase));
  plan.route = spatial ? Route::spatial : Route::lexical;
  if (spatial) plan.spatial_instruction.target = phrase;
  return plan;
}

std::string route_name(Route route) {
  switch (route) {
    case Route::lexical: return "lexical";
    case Route::spatial: return "spatial";
    case Route::none: break;
  }
  return "none";
}

}  // namespace plainstep::host
