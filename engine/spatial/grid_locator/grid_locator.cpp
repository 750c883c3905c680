#include "spatial/grid_locator/grid_locator.hpp"

#include <algorithm>
#include <functional>

#include "text/text.hpp"

namespace plainstep {

namespace {

using Entries = std::vector<const MatrixEntry*>;

// Attributes that may name an element that shows no text of its own.
constexpr const char* _ANCHOR_ATTRIBUTES[] = {"aria-label", "_label", "placeholder"};

const Element _NO_ELEMENT{};

const Element& _element_of(const MatrixEntry& m) { return m.element ? *m.element : _NO_ELEMENT; }

// The entry is of the type a phrase names: its element type, or for
// "checkbox" and "radio" an input or role of that kind.
bool _of_type(const MatrixEntry& m, const std::string& type) {
  if (type != "checkbox" && type != "radio") return m.element_type == type;
  const Element& e = _element_of(m);
  const std::string t = text::lower(e.attributes.get_or_empty("type"));
  const std::string role = e.attributes.get_or_empty("role");
  if (type == "checkbox") return (e.tag == "input" && t == "checkbox") || role == "checkbox" || role == "switch";
  return (e.tag == "input" && t == "radio") || role == "radio";
}

// An entry without a record is nothing a step could act on.
bool _actionable(const MatrixEntry& m) { return !m.is_anchor_only && m.element != nullptr; }

ResolutionResult _failure() { return ResolutionResult{}; }

Elements _elements_of(const Entries& entries) {
  Elements out;
  out.reserve(entries.size());
  for (const MatrixEntry* m : entries) out.push_back(m->element);
  return out;
}

// The n-th entry (1-based) alone, or nothing when there are fewer.
Entries _nth(const Entries& sorted, int n) {
  if (n < 1 || static_cast<size_t>(n) > sorted.size()) return {};
  return {sorted[static_cast<size_t>(n - 1)]};
}

// Entries whose normalised searchable text holds the normalised words;
// `pool` itself when none does.
Entries _narrowed(const Entries& pool, const std::string& words) {
  const std::string needle = _normalize(words);
  Entries hits;
  for (const MatrixEntry* m : pool)
    if (_normalize(m->searchable).find(needle) != std::string::npos) hits.push_back(m);
  return hits.empty() ? pool : hits;
}

// Among several hits: interactable first, then the smallest box, then
// matrix order. The first is the anchor; the rest are tried after it.
Entries _preferred_first(Entries pool) {
  auto area = [](const MatrixEntry* m) { return m->position.w * m->position.h; };
  std::stable_sort(pool.begin(), pool.end(), [&](const MatrixEntry* a, const MatrixEntry* b) {
    if (a->is_anchor_only != b->is_anchor_only) return !a->is_anchor_only;
    return area(a) < area(b);
  });
  return pool;
}

// "Email:" captions the field Email: the colon only sets the label off.
std::string _without_colon(std::string s) {
  s = text::trim(s);
  if (s.ends_with(":")) s = text::rtrim(s.substr(0, s.size() - 1));
  return s;
}

// An entry's own text equals the anchor; a label's trailing colon aside.
bool _anchor_text_equal(const Element& el, const std::string& anchor_lower) {
  const std::string t = text::lower(el.text);
  return t == anchor_lower || (el.tag == "label" && _without_colon(t) == anchor_lower);
}

// Words that only say what kind of control is meant ("the Email field").
bool _is_type_descriptor(const std::string& w) {
  const TypeWord* t = type_word(w);
  return t && t->descriptor;
}

// Lower-case `phrase` without type words at its ends; unchanged when
// nothing else would be left.
std::string _without_type_words(const std::string& phrase) {
  std::vector<std::string> words = text::split_ws(phrase);
  size_t end = words.size(), begin = 0;
  while (end > 0 && _is_type_descriptor(words[end - 1])) --end;
  while (begin < end && _is_type_descriptor(words[begin])) ++begin;
  if (begin == end) return phrase;
  return text::join({words.begin() + static_cast<long>(begin), words.begin() + static_cast<long>(end)},
                    " ");
}

struct _Relation {
  std::function<bool(const MatrixEntry& c, const MatrixEntry& a)> keep;
  std::function<double(const MatrixEntry& c, const MatrixEntry& a)> key;
  bool by_row = false;  // a relation along the anchor's row
};

// Form rows sit closer than the slack of the row test, so the field of the
// row above would tie with the field beside the anchor: along a row, the
// entries that share the anchor's band with no slack come first.
int _row_tier(const MatrixEntry& c, const MatrixEntry& a) {
  return c.position.y < a.position.y2 && a.position.y < c.position.y2 ? 0 : 1;
}

double _near_distance(const MatrixEntry& c, const MatrixEntry& a) { return _centre_distance(c, a); }

bool _is_near(const MatrixEntry& c, const MatrixEntry& a) {
  return _centre_distance(c, a) <= NEAR_MAX_PIXELS &&
         _dom_distance(_element_of(a).xpath, _element_of(c).xpath) <= NEAR_MAX_DOM_STEPS;
}

// Keep test and sort key of each strategy; edges are inclusive.
const std::vector<std::pair<std::string, _Relation>> _STRATEGIES = {
    {"next_to",
     {[](auto& c, auto& a) { return _overlaps_vertically(c, a) && c.position.x >= a.position.x2; },
      [](auto& c, auto&) { return static_cast<double>(c.index); }, true}},
    {"below",
     {[](auto& c, auto& a) { return c.position.y >= a.position.y2 && _overlaps_horizontally(c, a); },
      [](auto& c, auto&) { return c.position.y; }}},
    {"above",
     {[](auto& c, auto& a) { return c.position.y2 <= a.position.y && _overlaps_horizontally(c, a); },
      [](auto& c, auto&) { return -c.position.y2; }}},
    {"left",
     {[](auto& c, auto& a) { return c.position.x2 <= a.position.x && _overlaps_vertically(c, a); },
      [](auto& c, auto&) { return -c.position.x2; }, true}},
    {"right",
     {[](auto& c, auto& a) { return c.position.x >= a.position.x2 && _overlaps_vertically(c, a); },
      [](auto& c, auto&) { return c.position.x; }, true}},
    {"near", {_is_near, _near_distance}},
};

const _Relation* _strategy(const std::optional<std::string>& name) {
  if (!name) return nullptr;
  for (const auto& [n, r] : _STRATEGIES)
    if (n == *name) return &r;
  return nullptr;
}

}  // namespace

GridLocator::GridLocator(Matrix matrix) : matrix_(std::move(matrix)) {}

ResolutionResult GridLocator::resolve(const ParsedInstruction& parsed_instruction) const {
  const ParsedTarget p = _parse_target(parsed_instruction.target.value_or(""));
  const bool no_anchor = !p.anchor_text || p.anchor_text->empty();
  if (no_anchor && !p.ordinal) return _failure();
  if (no_anchor) return _resolve_ordinal(*p.ordinal, p.type_filter, p.search_text);

  const Entries anchors = _find_anchors(*p.anchor_text, parsed_instruction.literal_target);
  if (anchors.empty()) return _failure();
  // No element of the named type at all: the type word is not dropped.
  if (_get_candidates(*anchors.front(), p.target_text, p.type_filter).empty()) return _failure();

  // The same words may stand in several places ("Alexander Pierce" in the
  // sidebar and in a table row): when the likeliest anchor has nothing in
  // that relation, the next one is tried, first with the type named, then
  // without it.
  const MatrixEntry* anchor = nullptr;
  Entries ranked;
  bool type_relaxed = false;
  for (bool relax : {false, true}) {
    if (relax && !p.type_filter) break;
    for (const MatrixEntry* a : anchors) {
      ranked = _rank(_get_candidates(*a, p.target_text, relax ? std::nullopt : p.type_filter), *a,
                     p.rel_strategy, p.ordinal);
      if (!ranked.empty()) {
        anchor = a;
        break;
      }
    }
    if (anchor) {
      type_relaxed = relax;
      break;
    }
  }
  if (!anchor) return _failure();

  const MatrixEntry& best = *ranked.front();
  ResolutionResult r;
  r.resolved = true;
  r.confidence = 1.0;
  r.element = best.element;
  SpatialDetails d;
  d.anchor_text = anchor->searchable;
  d.ordinal = p.ordinal.value_or(1);
  d.type_relaxed = type_relaxed;
  d.actual_type = type_relaxed ? std::optional<std::string>(best.element_type) : p.type_filter;
  r.spatial = std::move(d);
  r.candidates = _elements_of(ranked);
  return r;
}

const MatrixEntry* GridLocator::_find_anchor(std::string_view anchor_text) const {
  Entries all = _find_anchors(anchor_text, false);
  return all.empty() ? nullptr : all.front();
}

std::vector<const MatrixEntry*> GridLocator::_find_anchors(std::string_view anchor_text,
                                                           bool literal) const {
  const std::string whole = text::lower(anchor_text);
  std::optional<std::string> stripped;
  if (!literal)
    if (std::string s = _without_type_words(whole); s != whole) stripped = std::move(s);

  // The whole phrase before the phrase without its type words ("the Email
  // field" names the field's caption "Email" only when nothing reads "Email
  // field"); an exact text or attribute before a prefix.
  for (bool exact : {true, false})
    for (const std::string* phrase : {&whole, stripped ? &*stripped : static_cast<const std::string*>(nullptr)}) {
      if (!phrase) continue;
      Entries pool = exact ? _exact_anchors(*phrase, false) : _prefix_anchors(*phrase, false);
      if (pool.empty()) pool = exact ? _exact_anchors(*phrase, true) : _prefix_anchors(*phrase, true);
      if (!pool.empty()) return _preferred_first(std::move(pool));
    }
  return {};
}

std::vector<const MatrixEntry*> GridLocator::_exact_anchors(const std::string& anchor_lower,
                                                            bool by_attribute) const {
  Entries pool;
  for (const MatrixEntry& m : matrix_) {
    const Element& el = _element_of(m);
    const bool text_equal = _anchor_text_equal(el, anchor_lower);
    if (!by_attribute) {
      if (text_equal) pool.push_back(&m);
      continue;
    }
    if (text_equal) continue;
    for (const char* name : _ANCHOR_ATTRIBUTES) {
      const std::string* v = el.attributes.get(name);
      if (!v || v->empty()) continue;
      std::string folded = text::lower(*v);
      if (folded == anchor_lower ||
          (std::string_view(name) == "_label" && _without_colon(folded) == anchor_lower)) {
        pool.push_back(&m);
        break;
      }
    }
  }
  return pool;
}

std::vector<const MatrixEntry*> GridLocator::_prefix_anchors(const std::string& anchor_lower,
                                                             bool by_attribute) const {
  // "price" finds "Price list" and "Price(USD)", not "Pricelist" or "Price:".
  const std::string prefix = anchor_lower + " ";
  const std::string paren = anchor_lower + "(";
  Entries pool;
  for (const MatrixEntry& m : matrix_) {
    if (!by_attribute) {
      const std::string t = text::lower(m.text);
      if (t.starts_with(prefix) || t.starts_with(paren)) pool.push_back(&m);
      continue;
    }
    for (const char* name : _ANCHOR_ATTRIBUTES)
      if (text::lower(_element_of(m).attributes.get_or_empty(name)).starts_with(prefix)) {
        pool.push_back(&m);
        break;
      }
  }
  return pool;
}

std::vector<const MatrixEntry*> GridLocator::_get_candidates(
    const MatrixEntry& anchor, const std::optional<std::string>& target_text,
    const std::optional<std::string>& tf) const {
  Entries pool;
  for (const MatrixEntry& m : matrix_)
    if (m.index != anchor.index && _actionable(m) && (!tf || _of_type(m, *tf)))
      pool.push_back(&m);
  if (!target_text || target_text->empty()) return pool;
  return _narrowed(pool, *target_text);
}

std::vector<const MatrixEntry*> GridLocator::_rank(const std::vector<const MatrixEntry*>& candidates,
                                                   const MatrixEntry& anchor,
                                                   const std::optional<std::string>& strategy,
                                                   std::optional<int> ordinal) {
  const _Relation* rel = _strategy(strategy);
  if (!rel) return {};
  struct _Kept {
    int tier;
    double key;
    const MatrixEntry* entry;
  };
  std::vector<_Kept> kept;
  for (const MatrixEntry* c : candidates)
    if (rel->keep(*c, anchor))
      kept.push_back({rel->by_row ? _row_tier(*c, anchor) : 0, rel->key(*c, anchor), c});
  std::stable_sort(kept.begin(), kept.end(), [](const _Kept& a, const _Kept& b) {
    return a.tier != b.tier ? a.tier < b.tier : a.key < b.key;
  });
  Entries sorted;
  sorted.reserve(kept.size());
  for (const auto& k : kept) sorted.push_back(k.entry);
  // "next to" means one element: the n-th, or the first.
  if (*strategy == "next_to") return _nth(sorted, ordinal.value_or(1));
  return ordinal ? _nth(sorted, *ordinal) : sorted;
}

ResolutionResult GridLocator::_resolve_ordinal(int ordinal,
                                               const std::optional<std::string>& type_filter,
                                               const std::optional<std::string>& search_text) const {
  Entries pool;
  for (const MatrixEntry& m : matrix_)
    if (_actionable(m) && (!type_filter || _of_type(m, *type_filter))) pool.push_back(&m);
  if (search_text && !search_text->empty()) {
    const std::string s_lower = text::lower(*search_text);
    Entries exact;
    for (const MatrixEntry* m : pool)
      if (text::trim(text::lower(m->text)) == s_lower) exact.push_back(m);
    pool = ordinal >= 1 && exact.size() >= static_cast<size_t>(ordinal)
               ? exact
               : _narrowed(pool, *search_text);
  }
  Entries chosen = _nth(pool, ordinal);
  if (chosen.empty()) return _failure();
  ResolutionResult r;
  r.resolved = true;
  r.confidence = 1.0;
  r.element = chosen.front()->element;
  r.candidates = _elements_of(pool);
  return r;
}

}  // namespace plainstep
