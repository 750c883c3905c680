// Choosing the element an action is performed on, the field a label
// names, and counting what a step names.
#include <algorithm>
#include <stdexcept>

#include "strategies/lexical_finder/lexical_finder.hpp"
#include "strategies/lexical_finder/lexical_internal.hpp"
#include "text/text.hpp"

namespace plainstep {

using namespace lexical_finder;

namespace lexical_finder {

Elements _of_kind(const Elements& pool, ElementKind kind) {
  Elements out;
  for (const auto& e : pool)
    if (_is_of_kind(*e, kind)) out.push_back(e);
  return out;
}

// A form control of the kind a step names ("the B radio") is named by its
// field label, as a person reads it.
bool _labels_name(ElementKind kind) {
  return kind != ElementKind::button && kind != ElementKind::link;
}

// The whole phrase, type word included, is what the element reads.
bool _whole(MatchRank r) { return r == MatchRank::readable_whole || r == MatchRank::markup_whole; }

}  // namespace lexical_finder

namespace {

bool _reads_before(const ElementRef& a, const ElementRef& b) {
  const Box ba = a->bounding_box.value_or(Box{});
  const Box bb = b->bounding_box.value_or(Box{});
  if (ba.y != bb.y) return ba.y < bb.y;
  return ba.x < bb.x;
}

// A check of an element: its state, value or count.
bool _is_element_check(std::string_view action) {
  const std::optional<Action> a = action_named(action);
  return a && is_check(*a) && info(*a).target == TargetKind::element;
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


// The best answers to the phrases in `pool`, visible ones first (only
// those when `visible_only`). A type word ("the Option 02 radio") prefers
// elements of its kind, named by their labels too when they are form
// controls, unless some element reads the whole phrase, type word and all
// ("Login button").
_Matches _answering(const Elements& pool, const TargetPhrases& phrases,
                    std::optional<ElementKind> kind, bool labels, bool visible_only) {
  const auto by_words = [&](const Element& e) { return _match_rank(phrases, e, labels); };
  _Matches best = _best(pool, by_words, true);
  if (best.elements.empty() && !visible_only) best = _best(pool, by_words, false);
  if (kind && !_whole(best.rank)) {
    const Elements of_kind = _of_kind(pool, *kind);
    const bool label = labels || _labels_name(*kind);
    const auto by_kind = [&](const Element& e) { return _match_rank(phrases, e, label); };
    _Matches kinded = _best(of_kind, by_kind, true);
    if (kinded.elements.empty() && !visible_only) kinded = _best(of_kind, by_kind, false);
    if (!kinded.elements.empty()) best = std::move(kinded);
  }
  return best;
}

// A text and the element around it that reads the same words (a label in
// its row) are one piece of text on the page.
Elements _one_per_text(const Elements& texts) {
  const auto inside = [](const std::string& outer, const std::string& inner) {
    return !outer.empty() && inner.size() > outer.size() && inner.starts_with(outer + "/");
  };
  Elements out;
  for (const auto& e : texts) {
    const std::string t = text::trim(e->text);
    bool same = false;
    for (auto& kept : out) {
      if (text::trim(kept->text) != t) continue;
      if (inside(kept->xpath, e->xpath)) {
        kept = e;  // the innermost stands for both
        same = true;
      } else if (inside(e->xpath, kept->xpath) || kept->xpath == e->xpath) {
        same = true;
      }
      if (same) break;
    }
    if (!same) out.push_back(e);
  }
  return out;
}

// Which elements an action may take, and how they are named.
enum class _Pool { all, typeable, selectable, value_fields, checkable, files };

struct _Policy {
  _Pool pool = _Pool::all;
  bool labels = false;  // a field is named by its label too
  bool texts = false;   // plain text answers when no element does
};

_Policy _policy_of(std::string_view action) {
  const std::optional<Action> a = action_named(action);
  if (!a) return {};
  switch (*a) {
    // Fields are named by their labels when something goes into them, or
    // their value or state is read.
    case Action::type:
    case Action::clear: return {_Pool::typeable, true, false};
    case Action::select: return {_Pool::selectable, true, false};
    case Action::verify_value: return {_Pool::value_fields, true, false};
    case Action::check:
    case Action::uncheck:
    case Action::verify_checked:
    case Action::verify_not_checked: return {_Pool::checkable, true, false};
    case Action::upload: return {_Pool::files, true, false};
    case Action::verify_contains: return {_Pool::all, true, true};
    case Action::extract_text:
    case Action::remember_text:
    case Action::scroll_to: return {_Pool::all, false, true};
    case Action::click:
    case Action::hover:
    case Action::press_key:
    case Action::sendkeys:
    case Action::extract_text_spatial:
    case Action::find_text:
    case Action::find_exact_text:
    case Action::verify_present:
    case Action::verify_visible:
    case Action::verify_enabled:
    case Action::verify_disabled:
    case Action::verify_text_present:
    case Action::verify_text_visible:
    case Action::verify_spatial_text:
    case Action::accept_dialog:
    case Action::dismiss_dialog:
    case Action::verify_dialog:
    case Action::wait:
    case Action::verify_not_present:
    case Action::verify_not_visible:
    case Action::verify_not_enabled:
    case Action::verify_count:
    case Action::verify_text_not_present:
    case Action::verify_text_not_visible:
    case Action::verify_spatial_text_not:
    case Action::verify_spatial_text_exact:
    case Action::verify_spatial_text_not_exact:
    case Action::verify_url:
    case Action::verify_url_contains:
    case Action::verify_title:
    case Action::verify_title_contains:
    case Action::double_click:
    case Action::right_click:
    case Action::drag:
    case Action::go_to:
    case Action::switch_to_new_tab:
    case Action::switch_to_tab:
    case Action::close_tab:
    case Action::remember_text_spatial:
    case Action::run_file: break;
  }
  return {};
}

// The elements of the pool, in input order; all of them when the page has
// none of its kind.
Elements _pool_of(_Pool pool, const Elements& elements) {
  const auto kept = [&](auto fits) {
    Elements out;
    for (const auto& e : elements)
      if (fits(*e)) out.push_back(e);
    return out.empty() ? elements : out;
  };
  switch (pool) {
    case _Pool::all: return elements;
    case _Pool::typeable: return _filter_by_action("type", elements);
    case _Pool::selectable: return _filter_by_action("select", elements);
    case _Pool::value_fields:
      return kept([](const Element& e) {
        return _is_of_kind(e, ElementKind::field) || _is_of_kind(e, ElementKind::dropdown);
      });
    case _Pool::checkable:
      return kept([](const Element& e) {
        return _is_of_kind(e, ElementKind::checkbox) || _is_of_kind(e, ElementKind::radio);
      });
    case _Pool::files:
      return kept([](const Element& e) {
        return e.tag == "input" && text::lower(e.attributes.get_or_empty("type")) == "file";
      });
  }
  return elements;
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

ResolutionResult LexicalFinder::_resolve_action_target(const ParsedInstruction& parsed,
                                                       const std::string& target,
                                                       const Elements& dom_elements,
                                                       const Elements& text_elements) const {
  const int ordinal = parsed.ordinal.value_or(1);
  if (ordinal < 1)
    throw std::out_of_range("ordinal must be 1 or more, got " + std::to_string(ordinal));
  const _Policy policy = _policy_of(parsed.action);
  const Elements pool = _pool_of(policy.pool, dom_elements);
  const TargetPhrases phrases = _target_phrases(target, parsed.literal_target);
  const auto kind = _named_kind(target, parsed.literal_target);
  _Matches best = _answering(pool, phrases, kind, policy.labels, false);
  // A box to tick, a field to read or a file field is looked for among its
  // kind first; what the step names is found anyway, so that the step can
  // say it is of another kind.
  const bool tries_all = policy.pool == _Pool::value_fields || policy.pool == _Pool::checkable ||
                         policy.pool == _Pool::files;
  if (best.elements.empty() && tries_all)
    best = _answering(dom_elements, phrases, kind, policy.labels, false);
  if (best.elements.empty() && policy.texts)
    best = _best(text_elements, [&](const Element& e) { return _match_rank(phrases, e); }, true);
  return _nth_in_reading_order(std::move(best.elements), ordinal);
}

ResolutionResult LexicalFinder::_resolve_count(std::string_view target, std::string_view expected,
                                               bool literal, const Elements& dom_elements,
                                               const Elements& text_elements) const {
  _require_records(dom_elements, "dom_elements");
  _require_records(text_elements, "text_elements");
  const TargetPhrases phrases = _target_phrases(target, literal);
  // What a click would choose among, visible only; text when no element
  // answers.
  _Matches best = _answering(dom_elements, phrases, _named_kind(target, literal), false, true);
  bool texts = false;
  if (best.elements.empty()) {
    best = _best(text_elements, [&](const Element& e) { return _match_rank(phrases, e); }, true);
    texts = true;
  }
  Elements counted = texts ? _one_per_text(best.elements) : std::move(best.elements);
  std::stable_sort(counted.begin(), counted.end(), _reads_before);
  ResolutionResult r;
  if (!counted.empty()) {
    ElementRef first = counted.front();
    r = _found(std::move(first), std::move(counted));
  }
  State state;
  state.expected = std::string(expected);
  state.actual = std::to_string(r.candidates.size());
  r.verified = *state.expected == *state.actual;
  r.state = std::move(state);
  return r;
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
  const auto best_of = [&](const Elements& pool, const auto& rank) {
    _Matches m = _best(pool, rank, visible_first);
    if (m.elements.empty() && visible_first) m = _best(pool, rank, false);
    return m;
  };
  // A type word narrows both sides to its kind when that kind answers,
  // unless an element reads the whole phrase.
  _Matches words = best_of(dom_elements, by_words);
  auto kind = _named_kind(*parsed.target, parsed.literal_target);
  if (_whole(words.rank)) kind.reset();
  if (kind)
    if (_Matches w = best_of(_of_kind(dom_elements, *kind), by_words); !w.elements.empty())
      words = std::move(w);
  _Matches label;
  if (kind) label = best_of(_of_kind(fields, *kind), by_label);
  if (label.elements.empty()) label = best_of(fields, by_label);
  if (label.elements.empty()) return ResolutionResult{};
  if (!words.elements.empty() && !label.beats(words)) return ResolutionResult{};
  return _nth_in_reading_order(std::move(label.elements), ordinal);
}

}  // namespace plainstep
