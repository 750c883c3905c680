// Spatial text: the text right of, left of, below or above an anchor text,
// found from the recorded boxes alone.
#include <algorithm>

#include "strategies/lexical_finder/lexical_finder.hpp"
#include "strategies/lexical_finder/lexical_internal.hpp"
#include "text/text.hpp"

namespace plainstep {

using namespace lexical_finder;

namespace {

struct _Direction {
  std::string_view phrase;
  std::string_view direction;
};

// The way to look from the anchor; "near" names no direction here.
std::string_view _direction_of(Relation r) {
  switch (r) {
    case Relation::next_to:
    case Relation::right_of: return "right";
    case Relation::left_of: return "left";
    case Relation::below: return "below";
    case Relation::above: return "above";
    case Relation::near: break;
  }
  return "";
}

// Longest phrase first, so "right of" is never read as something shorter;
// equal lengths keep table order.
const std::vector<_Direction> _DIRECTIONS_LONGEST_FIRST = [] {
  std::vector<_Direction> a;
  for (const RelationWord& r : RELATION_WORDS)
    if (!_direction_of(r.relation).empty()) a.push_back({r.words, _direction_of(r.relation)});
  std::stable_sort(a.begin(), a.end(), [](const _Direction& x, const _Direction& y) {
    return x.phrase.size() > y.phrase.size();
  });
  return a;
}();

constexpr std::array<std::string_view, 3> _ARTICLES{"the ", "a ", "an "};

enum class _Outcome { no_direction, no_anchor, nothing_there, found };

struct _Search {
  _Outcome outcome = _Outcome::no_direction;
  std::string anchor_text;
  std::string direction;
  ElementRef anchor;
  Elements nearest_first;
};

// `s` without the characters that became the first `n` of its folded form.
std::string _drop_folded_prefix(std::string_view s, size_t n) {
  const text::Lowered lm = text::lower_mapped(s);
  return text::substr(s, lm.source_index[n]);
}

bool _placed(const Element& e) { return !e.xpath.empty() && e.bounding_box.has_value(); }

std::string _folded_first_line(const std::string& t) {
  std::string s = text::lower(text::trim(t));
  if (size_t nl = s.find('\n'); nl != std::string::npos) s.resize(nl);
  return text::trim(s);
}

Elements _anchor_tier(const Elements& records, const std::string& anchor_lower,
                      std::string (*surface)(const Element&)) {
  Elements tier;
  for (const auto& e : records)
    if (_placed(*e) && surface(*e) == anchor_lower) tier.push_back(e);
  return tier;
}

std::string _first_line_surface(const Element& e) { return _folded_first_line(e.text); }
std::string _text_surface(const Element& e) { return text::lower(text::trim(e.text)); }
std::string _aria_surface(const Element& e) {
  return text::lower(text::trim(e.attributes.get_or_empty("aria-label")));
}

// Smallest box first, the most specific text; equal areas keep their order.
Elements _smallest_first(Elements tier) {
  std::stable_sort(tier.begin(), tier.end(), [](const ElementRef& a, const ElementRef& b) {
    return a->bounding_box->width * a->bounding_box->height <
           b->bounding_box->width * b->bounding_box->height;
  });
  return tier;
}

// Any text but a button's may be the text beside an anchor.
bool _may_neighbour(const Element& e) { return e.tag != "button"; }

// Distance along the direction when the element's centre lies in that
// direction and inside the anchor's band across it; negative otherwise.
double _distance_towards(std::string_view direction, const Box& a, const Box& el) {
  const double a_x2 = a.x + a.width, a_y2 = a.y + a.height;
  const double a_cx = (a.x + a_x2) / 2, a_cy = (a.y + a_y2) / 2;
  const double cx = el.x + el.width / 2, cy = el.y + el.height / 2;
  const bool in_row = a.y <= cy && cy <= a_y2;
  const bool in_column = a.x <= cx && cx <= a_x2;
  if (direction == "right" && cx > a_cx && in_row) return cx - a_cx;
  if (direction == "left" && cx < a_cx && in_row) return a_cx - cx;
  if (direction == "below" && cy > a_cy && in_column) return cy - a_cy;
  if (direction == "above" && cy < a_cy && in_column) return a_cy - cy;
  return -1;
}

// Runs of white space as one space: how "exactly" reads a text.
std::string _spaced(const std::string& s) { return text::join(text::split_ws(s), " "); }

// Whether the normalised texts compare as asked; an empty expected text
// never passes.
bool _compare(TextComparison how, const std::string& actual, const std::string& want) {
  if (want.empty()) return false;
  switch (how) {
    case TextComparison::contains: return text::contains(actual, want);
    case TextComparison::not_contains: return !text::contains(actual, want);
    case TextComparison::equals: return _spaced(actual) == _spaced(want);
    case TextComparison::not_equals: return _spaced(actual) != _spaced(want);
  }
  return false;
}

// Splits "RELATION ANCHOR", finds the anchor and the texts in that
// direction of it, nearest first. Throws TypeError for a null record.
_Search _search(std::string_view target, const Elements& text_elements,
                const Elements* dom_elements) {
  _require_records(text_elements, "text_elements");
  if (dom_elements) _require_records(*dom_elements, "dom_elements");
  _Search s;
  const std::string folded = text::lower(target);
  for (const auto& d : _DIRECTIONS_LONGEST_FIRST) {
    if (folded.starts_with(std::string(d.phrase) + " ")) {
      s.direction = d.direction;
      s.anchor_text = text::trim(_drop_folded_prefix(target, d.phrase.size()));
      break;
    }
  }
  for (std::string_view article : _ARTICLES)
    if (text::lower(s.anchor_text).starts_with(article))
      s.anchor_text = _drop_folded_prefix(s.anchor_text, article.size());
  if (s.direction.empty() || s.anchor_text.empty()) return s;

  const std::string anchor_lower = text::lower(s.anchor_text);
  Elements tier = _anchor_tier(text_elements, anchor_lower, _first_line_surface);
  const bool by_tree = !tier.empty();
  if (tier.empty() && dom_elements && !dom_elements->empty()) {
    tier = _anchor_tier(*dom_elements, anchor_lower, _text_surface);
    if (tier.empty()) tier = _anchor_tier(*dom_elements, anchor_lower, _aria_surface);
  }
  s.outcome = _Outcome::no_anchor;
  if (tier.empty()) return s;

  // The same words may appear more than once ("Alexander Pierce" in the
  // sidebar and in a table row): when the likeliest anchor has nothing in
  // that direction, the next one of the tier is tried.
  const Elements anchors = _smallest_first(std::move(tier));
  s.anchor = anchors.front();
  s.outcome = _Outcome::nothing_there;
  for (const auto& anchor : anchors) {
    std::vector<std::pair<double, ElementRef>> near;
    for (const auto& e : text_elements) {
      if (e == anchor || !_placed(*e) || !_may_neighbour(*e)) continue;
      if (by_tree && _dom_distance(anchor->xpath, e->xpath) > _DOM_DISTANCE_THRESHOLD) continue;
      const double d = _distance_towards(s.direction, *anchor->bounding_box, *e->bounding_box);
      if (d >= 0) near.emplace_back(d, e);
    }
    if (near.empty()) continue;
    std::stable_sort(near.begin(), near.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    s.anchor = anchor;
    for (auto& [d, e] : near) s.nearest_first.push_back(std::move(e));
    s.outcome = _Outcome::found;
    break;
  }
  return s;
}

}  // namespace

ResolutionResult LexicalFinder::_resolve_verify_spatial_text(std::string_view target,
                                                             std::string_view expected,
                                                             const Elements& text_elements,
                                                             const Elements* dom_elements,
                                                             TextComparison comparison) const {
  _Search s = _search(target, text_elements, dom_elements);
  ResolutionResult r;
  r.verified = false;
  State state;
  state.expected = std::string(expected);
  switch (s.outcome) {
    case _Outcome::no_direction:
      break;
    case _Outcome::no_anchor:
      state.actual = "anchor '" + s.anchor_text + "' not found";
      break;
    case _Outcome::nothing_there:
      r = _found(s.anchor, {});
      r.verified = false;
      state.actual = "no element " + s.direction + " of '" + s.anchor_text + "'";
      break;
    case _Outcome::found: {
      const std::string actual = text::trim(s.nearest_first.front()->text);
      const std::string want = _norm(expected);
      // Only the expected text inside the actual one: a page showing 10
      // must not pass a check for 100.
      const bool verified = _compare(comparison, _norm(actual), want);
      ElementRef nearest = s.nearest_first.front();
      r = _found(std::move(nearest), std::move(s.nearest_first));
      r.verified = verified;
      state.actual = actual;
      break;
    }
  }
  r.state = std::move(state);
  return r;
}

ResolutionResult LexicalFinder::_resolve_extract_spatial_text(std::string_view target,
                                                              const Elements& text_elements,
                                                              const Elements* dom_elements) const {
  _Search s = _search(target, text_elements, dom_elements);
  ResolutionResult r;
  r.extracted = "";
  // Without a neighbour there is nothing to extract; the anchor's own text
  // is not the value the step asked for.
  if (s.outcome != _Outcome::found) return r;
  ElementRef nearest = s.nearest_first.front();
  r = _found(nearest, std::move(s.nearest_first));
  r.extracted = text::trim(nearest->text);
  return r;
}

}  // namespace plainstep
