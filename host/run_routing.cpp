#include "run_routing.hpp"

#include <array>
#include <set>
#include <vector>

#include "text/text.hpp"

namespace plainstep::host {

namespace {

// Relation keywords as word sequences; the grid locator knows the same ones.
const std::vector<std::vector<std::string>> _RELATION_WORDS = {
    {"next", "to"}, {"below"}, {"under"}, {"above"}, {"left", "of"}, {"right", "of"}, {"near"}};

const std::set<std::string> _ORDINAL_WORDS = {"first", "second", "third", "fourth", "fifth",
                                              "1st",   "2nd",    "3rd",   "4th",    "5th"};
const std::set<std::string> _TYPE_WORDS = {"button", "btn",     "link",   "anchor",  "input",
                                           "field",  "textbox", "select", "dropdown"};

// The step reader's ordinal words, in the order of their numbers.
constexpr std::array<const char*, 5> _ORDINAL_BY_NUMBER = {"first", "second", "third", "fourth",
                                                           "fifth"};

// Actions whose target names an element, so a phrase may place it spatially.
const std::set<std::string> _ELEMENT_ACTIONS = {
    "click", "type", "select", "hover", "extract_text",
    "verify_present", "verify_visible", "verify_enabled", "verify_disabled"};

// Actions whose target is text to look for: always text matching.
const std::set<std::string> _TEXT_ACTIONS = {"find_text", "find_exact_text", "verify_text_present",
                                             "verify_text_visible", "verify_spatial_text",
                                             "extract_text_spatial"};

std::vector<std::string> _words(std::string_view phrase) {
  return text::split_ws(text::lower(phrase));
}

// The words of the step after its action words, quotes removed; empty when
// the step does not start the way `action` is written.
std::vector<std::string> _words_after_action(std::string_view step, const std::string& action) {
  std::vector<std::string> w = _words(text::replace_all(step, "\"", " "));
  size_t i = 0;
  if (action == "click") {
    if (w.empty() || w[0] != "click") return {};
    i = 1;
  } else if (action == "extract_text") {
    if (w.size() >= 2 && w[0] == "extract" && w[1] == "text") i = 2;
    else if (!w.empty() && w[0] == "extract_text") i = 1;
    else return {};
    if (i < w.size() && w[i] == "from") ++i;
  } else {
    return {};
  }
  return {w.begin() + static_cast<std::ptrdiff_t>(i), w.end()};
}

// The ordinal word the step reader took out of the phrase, if it did.
std::optional<std::string> _moved_ordinal(const ParsedInstruction& p,
                                          std::optional<std::string_view> step) {
  if (!p.ordinal || *p.ordinal < 1 || *p.ordinal > 5) return std::nullopt;
  std::string word = _ORDINAL_BY_NUMBER[static_cast<size_t>(*p.ordinal - 1)];
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
    if (_ORDINAL_WORDS.count(w)) return true;
  return false;
}

bool holds_type_word(std::string_view phrase) {
  for (const auto& w : _words(phrase))
    if (_TYPE_WORDS.count(w)) return true;
  return false;
}

bool names_nothing(const ParsedInstruction& p) {
  if (!_ELEMENT_ACTIONS.count(p.action) && !_TEXT_ACTIONS.count(p.action) &&
      p.action != "sendkeys" && p.action != "press_key")
    return false;
  return !p.target || text::trim(*p.target).empty();
}

RoutePlan plan_route(const ParsedInstruction& parsed, std::optional<std::string_view> step) {
  RoutePlan plan;
  plan.spatial_instruction = parsed;
  if (_TEXT_ACTIONS.count(parsed.action)) {
    plan.route = Route::lexical;
    return plan;
  }
  if (!_ELEMENT_ACTIONS.count(parsed.action) || !parsed.target) {
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
