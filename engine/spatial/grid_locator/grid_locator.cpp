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

// Among several hits: interactable first, then the smallest box.
const MatrixEntry* _preferred(Entries pool) {
  if (pool.empty()) return nullptr;
  Entries interactive;
  for (const MatrixEntry* m : pool)
    if (!m->is_anchor_only) interactive.push_back(m);
  if (!interactive.empty()) pool = std::move(interactive);
  const MatrixEntry* best = pool.front();
  for (const MatrixEntry* m : pool)
    if (m->position.w * m->position.h < best->position.w * best->position.h) best = m;
  return best;
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

  const MatrixEntry* anchor = _find_anchor(*p.anchor_text);
  if (!anchor) return _failure();
  // No element of the named type at all: the type word is not dropped.
  Entries candidates = _get_candidates(*anchor, p.target_text, p.type_filter);
  if (candidates.empty()) return _failure();
  Entries ranked = _rank(candidates, *anchor, p.rel_strategy, p.ordinal);
  bool type_relaxed = false;
  if (ranked.empty() && p.type_filter) {
    ranked = _rank(_get_candidates(*anchor, p.target_text, std::nullopt), *anchor,
                   p.rel_strategy, p.ordinal);
    type_relaxed = true;
  }
  if (ranked.empty()) return _failure();

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
  const std::string anchor_lower = text::lower(anchor_text);
  Entries exact, by_attribute;
  for (const MatrixEntry& m : matrix_) {
    const Element& el = _element_of(m);
    if (text::lower(el.text) == anchor_lower) {
      exact.push_back(&m);
      continue;
    }
    for (const char* name : _ANCHOR_ATTRIBUTES) {
      const std::string* v = el.attributes.get(name);
      if (v && !v->empty() && text::lower(*v) == anchor_lower) {
        by_attribute.push_back(&m);
        break;
      }
    }
  }
  if (!exact.empty()) return _preferred(exact);
  if (!by_attribute.empty()) return _preferred(by_attribute);

  // "price" finds "Price list" and "Price(USD)", not "Pricelist" or "Price:".
  const std::string prefix = anchor_lower + " ";
  const std::string paren = anchor_lower + "(";
  Entries starts;
  for (const MatrixEntry& m : matrix_) {
    const std::string t = text::lower(m.text);
    if (t.starts_with(prefix) || t.starts_with(paren)) starts.push_back(&m);
  }
  if (!starts.empty()) return _preferred(starts);

  Entries attr_prefix;
  for (const MatrixEntry& m : matrix_)
    for (const char* name : _ANCHOR_ATTRIBUTES)
      if (text::lower(_element_of(m).attributes.get_or_empty(name)).starts_with(prefix)) {
        attr_prefix.push_back(&m);
        break;
      }
  return _preferred(attr_prefix);
}

std::vector<const MatrixEntry*> GridLocator::_get_candidates(
    const MatrixEntry& anchor, const std::optional<std::string>& target_text,
    const std::optional<std::string>& tf) const {
  Entries pool;
  for (const MatrixEntry& m : matrix_)
    if (m.index != anchor.index && _actionable(m) && (!tf || m.element_type == *tf))
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
    if (_actionable(m) && (!type_filter || m.element_type == *type_filter)) pool.push_back(&m);
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
