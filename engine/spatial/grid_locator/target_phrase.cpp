// Splitting a target phrase into anchor, relation, type, ordinal and words.
#include <algorithm>
#include <set>

#include "spatial/grid_locator/grid_locator.hpp"
#include "text/text.hpp"

namespace plainstep {

namespace {

// The strategy that ranks candidates for a relation.
std::string _strategy_of(Relation r) {
  switch (r) {
    case Relation::next_to: return "next_to";
    case Relation::below: return "below";
    case Relation::above: return "above";
    case Relation::left_of: return "left";
    case Relation::right_of: return "right";
    case Relation::near: return "near";
  }
  return "";
}

}  // namespace

// The grid's views of the step language's tables.
const std::vector<std::pair<std::string, std::string>> _RELATIONS = [] {
  std::vector<std::pair<std::string, std::string>> rows;
  for (const RelationWord& r : RELATION_WORDS) rows.emplace_back(r.words, _strategy_of(r.relation));
  return rows;
}();

const std::vector<std::pair<std::string, int>> _ORDINALS = [] {
  std::vector<std::pair<std::string, int>> rows;
  for (const OrdinalWord& o : ORDINAL_WORDS) rows.emplace_back(o.word, o.number);
  return rows;
}();

const std::vector<std::pair<std::string, std::string>> _TYPE_KEYWORDS = [] {
  std::vector<std::pair<std::string, std::string>> rows;
  for (const TypeWord& t : TYPE_WORDS)
    if (!t.grid_type.empty()) rows.emplace_back(t.word, t.grid_type);
  return rows;
}();

namespace {

// Checkboxes and radio buttons are inputs to the matrix; their words still
// narrow a placed phrase to them ("the checkbox near Buy milk").
const std::vector<std::pair<std::string, std::string>> _KIND_KEYWORDS = [] {
  std::vector<std::pair<std::string, std::string>> rows;
  for (const TypeWord& t : TYPE_WORDS)
    if (t.grid_type.empty() && (t.kind == ElementKind::checkbox || t.kind == ElementKind::radio))
      rows.emplace_back(t.word, t.word);
  return rows;
}();

// Relations in the order they are looked for: longest keyword first, so
// "right of" is not taken for something shorter; equal lengths keep table order.
const std::vector<std::pair<std::string, std::string>> _RELATIONS_BY_LENGTH = [] {
  auto rows = _RELATIONS;
  std::stable_sort(rows.begin(), rows.end(),
                   [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
  return rows;
}();

constexpr std::string_view _ARTICLES[] = {"the", "a", "an"};

bool _is_article(const std::string& w) {
  return std::find(std::begin(_ARTICLES), std::end(_ARTICLES), w) != std::end(_ARTICLES);
}

template <typename Row>
const Row* _first_word_in(const std::vector<Row>& table, const std::vector<std::string>& words) {
  for (const Row& row : table)
    if (std::find(words.begin(), words.end(), row.first) != words.end()) return &row;
  return nullptr;
}

// The text after the keyword, without one leading "the ", "a " and "an ".
std::string _anchor_from(std::string_view after) {
  std::string a = text::trim(after);
  for (std::string_view article : _ARTICLES) {
    std::string prefix = std::string(article) + " ";
    if (a.starts_with(prefix)) a.erase(0, prefix.size());
  }
  return text::trim(a);
}

std::optional<std::string> _joined(const std::vector<std::string>& words) {
  if (words.empty()) return std::nullopt;
  return text::join(words, " ");
}

}  // namespace

ParsedTarget _parse_target(std::string_view target) {
  ParsedTarget out;
  const std::string t = text::lower(target);
  const std::vector<std::string> words = text::split_ws(t);

  const std::pair<std::string, std::string>* relation = nullptr;
  for (const auto& row : _RELATIONS_BY_LENGTH)
    if (t.find(row.first) != std::string::npos) {
      relation = &row;
      break;
    }
  const auto* ordinal = _first_word_in(_ORDINALS, words);
  const auto* type = _first_word_in(_TYPE_KEYWORDS, words);
  if (!type) type = _first_word_in(_KIND_KEYWORDS, words);
  if (relation) out.rel_strategy = relation->second;
  if (ordinal) out.ordinal = ordinal->second;
  if (type) out.type_filter = type->second;

  if (relation) {
    size_t at = t.find(relation->first);
    out.anchor_text = _anchor_from(std::string_view(t).substr(at + relation->first.size()));
    std::vector<std::string> kept;
    for (std::string& w : text::split_ws(std::string_view(t).substr(0, at)))
      if (!(type && w == type->first) && !(ordinal && w == ordinal->first))
        kept.push_back(std::move(w));
    out.target_text = _joined(kept);
  }

  if (ordinal && (!out.anchor_text || out.anchor_text->empty())) {
    std::set<std::string> skipped{ordinal->first};
    if (type) skipped.insert(type->first);
    if (relation)
      for (std::string& w : text::split_ws(relation->first)) skipped.insert(std::move(w));
    std::vector<std::string> kept;
    for (const std::string& w : words)
      if (!skipped.contains(w) && !_is_article(w)) kept.push_back(w);
    out.search_text = _joined(kept);
  }
  return out;
}

}  // namespace plainstep
