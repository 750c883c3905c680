// The matching functions: how the words of a step meet the texts and
// attributes of an element.
#include <algorithm>

#include "config.hpp"
#include "strategies/lexical_finder/lexical_finder.hpp"
#include "text/text.hpp"

namespace plainstep::lexical_finder {

namespace {

// The module belongs to a host that supplies the session configuration;
// without one it must not load, even though nothing here reads it.
[[gnu::used]] const std::string* const _CONFIG_BINDING = &config::BROWSER;

template <size_t N>
bool _in(const std::array<std::string_view, N>& table, std::string_view s) {
  return std::find(table.begin(), table.end(), s) != table.end();
}

// Words of at least `min_len` characters without a digit, joined by spaces;
// empty when none qualifies.
std::string _kept_words(const std::vector<std::string>& words, size_t min_len) {
  std::vector<std::string> kept;
  for (const auto& w : words)
    if (text::length(w) >= min_len && !text::has_digit(w)) kept.push_back(w);
  return text::join(kept, " ");
}

std::string _class_words(const std::string& cls) {
  std::vector<std::string> kept;
  for (const auto& token : text::split_ws(cls)) {
    if (text::length(token) < 4 || text::has_digit(token)) continue;
    kept.push_back(text::replace_all(text::replace_all(token, "_", " "), "-", " "));
  }
  return text::join(kept, " ");
}

std::string _id_words(const std::string& id) {
  std::string spaced = text::replace_all(text::replace_all(id, "_", " "), "-", " ");
  return _kept_words(text::split_ws(spaced), 4);
}

std::string _data_name_words(std::string_view name) {
  std::string rest(name.substr(5));
  std::string spaced = text::replace_all(text::replace_all(rest, "-", " "), "_", " ");
  return _kept_words(text::split_ws(spaced), 2);
}

// A word that only says what kind of control is meant ("the Email field").
bool _is_descriptor(const std::string& word) {
  const TypeWord* t = type_word(text::lower(word));
  return t && t->descriptor;
}

// "/a/b//c/" -> {"a", "b", "", "c"}; "" -> {""}.
std::vector<std::string_view> _path_steps(std::string_view path) {
  while (!path.empty() && path.front() == '/') path.remove_prefix(1);
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  std::vector<std::string_view> steps;
  size_t start = 0;
  for (;;) {
    size_t slash = path.find('/', start);
    if (slash == std::string_view::npos) {
      steps.push_back(path.substr(start));
      return steps;
    }
    steps.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
}

}  // namespace

std::string _strip_type_descriptors(std::string_view target) {
  std::vector<std::string> words = text::split_ws(target);
  size_t end = words.size();
  while (end > 0 && _is_descriptor(words[end - 1])) --end;
  size_t begin = 0;
  while (begin < end && _is_descriptor(words[begin])) ++begin;
  if (begin == end) return std::string(target);
  std::vector<std::string> kept(words.begin() + static_cast<long>(begin),
                                words.begin() + static_cast<long>(end));
  return text::join(kept, " ");
}

std::vector<std::string> _searchable_strings(const Element& element, bool include_label) {
  std::vector<std::string> out;
  if (!element.text.empty()) out.push_back(element.text);
  const AttributeMap& attrs = element.attributes;
  for (std::string_view name : _MATCH_ATTRIBUTES) {
    if (name == "_label" && !include_label) continue;
    const std::string* v = attrs.get(name);
    if (v && !v->empty()) out.push_back(*v);
  }
  if (std::string words = _class_words(attrs.get_or_empty("class")); !words.empty())
    out.push_back(std::move(words));
  if (std::string words = _id_words(attrs.get_or_empty("id")); !words.empty())
    out.push_back(std::move(words));
  for (const auto& [name, value] : attrs) {
    if (!name.starts_with("data-") || name == "data-testid") continue;
    if (std::string words = _data_name_words(name); !words.empty()) out.push_back(std::move(words));
  }
  return out;
}

TargetPhrases _target_phrases(std::string_view target, bool literal) {
  TargetPhrases p{text::lower(target), std::nullopt};
  if (literal) return p;
  std::string stripped = text::lower(_strip_type_descriptors(target));
  if (stripped != p.whole) p.stripped = std::move(stripped);
  return p;
}

namespace {

// "Search:" is the field Search: the colon only sets the label off, as the
// ellipsis of a hint does ("Search..." is the box to search in).
std::string _without_trailing_mark(std::string s) {
  for (std::string_view mark : {":", "...", "\u2026"})
    if (s.ends_with(mark)) return text::rtrim(s.substr(0, s.size() - mark.size()));
  return s;
}

// The rank of one string against the phrases, in the tier `whole` opens.
MatchRank _surface_rank(const TargetPhrases& p, const std::string& surface, bool is_label,
                        MatchRank whole) {
  const std::string folded = text::lower(surface);
  const std::string trimmed = text::trim(folded);
  const std::string bare = is_label ? _without_trailing_mark(trimmed) : trimmed;
  auto tier = [whole](int step) { return static_cast<MatchRank>(static_cast<int>(whole) + step); };
  if (trimmed == p.whole || bare == p.whole) return whole;
  if (p.stripped && (trimmed == *p.stripped || bare == *p.stripped)) return tier(1);
  if (text::contains(folded, p.whole) || (p.stripped && text::contains(folded, *p.stripped)))
    return tier(2);
  return MatchRank::none;
}

// The words of the markup, as _searchable_strings lists them after the
// readable ones.
std::vector<std::string> _markup_strings(const Element& element) {
  std::vector<std::string> out;
  const AttributeMap& attrs = element.attributes;
  for (std::string_view name : {"data-testid", "type"})
    if (const std::string* v = attrs.get(name); v && !v->empty()) out.push_back(*v);
  if (std::string words = _class_words(attrs.get_or_empty("class")); !words.empty())
    out.push_back(std::move(words));
  if (std::string words = _id_words(attrs.get_or_empty("id")); !words.empty())
    out.push_back(std::move(words));
  for (const auto& [name, value] : attrs) {
    if (!name.starts_with("data-") || name == "data-testid") continue;
    if (std::string words = _data_name_words(name); !words.empty()) out.push_back(std::move(words));
  }
  return out;
}

}  // namespace

MatchRank _match_rank(const TargetPhrases& phrases, const Element& element, bool include_label) {
  MatchRank best = MatchRank::none;
  auto take = [&](MatchRank r) { best = std::min(best, r); };
  if (!element.text.empty())
    take(_surface_rank(phrases, element.text, false, MatchRank::readable_whole));
  for (std::string_view name : _READABLE_ATTRIBUTES) {
    if (name == "_label" && !include_label) continue;
    const std::string* v = element.attributes.get(name);
    if (v && !v->empty())
      take(_surface_rank(phrases, *v, name == "_label" || name == "placeholder", MatchRank::readable_whole));
  }
  if (best != MatchRank::none) return best;
  for (const auto& s : _markup_strings(element))
    take(_surface_rank(phrases, s, false, MatchRank::markup_whole));
  return best;
}

MatchRank _label_rank(const TargetPhrases& phrases, const Element& element) {
  const std::string* v = element.attributes.get("_label");
  if (!v || v->empty()) return MatchRank::none;
  return _surface_rank(phrases, *v, true, MatchRank::readable_whole);
}

bool _is_form_field(const Element& e) {
  static constexpr std::array<std::string_view, 5> not_fields{"submit", "button", "reset",
                                                               "image", "hidden"};
  static constexpr std::array<std::string_view, 9> field_roles{
      "textbox", "searchbox", "spinbutton", "combobox", "checkbox",
      "radio",   "switch",    "listbox",    "slider"};
  if (e.tag == "input") return !_in(not_fields, text::lower(e.attributes.get_or_empty("type")));
  if (e.tag == "textarea" || e.tag == "select" || e.is_editable_field.value_or(false)) return true;
  const std::string* role = e.attributes.get("role");
  return role && _in(field_roles, *role);
}

namespace {

std::optional<ElementKind> _kind_of_word(const std::string& word) {
  const TypeWord* t = type_word(text::lower(word));
  return t ? t->kind : std::nullopt;
}

}  // namespace

std::optional<ElementKind> _named_kind(std::string_view target, bool literal) {
  if (literal) return std::nullopt;
  const std::vector<std::string> words = text::split_ws(target);
  // A phrase that is nothing but the type word ("click button") names the
  // element by that word, not a kind of it.
  if (words.size() < 2) return std::nullopt;
  if (auto k = _kind_of_word(words.back())) return k;
  return _kind_of_word(words.front());
}

bool _is_of_kind(const Element& e, ElementKind kind) {
  static constexpr std::array<std::string_view, 4> button_inputs{"submit", "button", "reset",
                                                                  "image"};
  static constexpr std::array<std::string_view, 8> not_typed{
      "submit", "button", "reset", "image", "hidden", "checkbox", "radio", "range"};
  const std::string type = text::lower(e.attributes.get_or_empty("type"));
  const std::string role = text::lower(e.attributes.get_or_empty("role"));
  switch (kind) {
    case ElementKind::button:
      return e.tag == "button" || (e.tag == "input" && _in(button_inputs, type)) ||
             role == "button";
    case ElementKind::link:
      return e.tag == "a" || role == "link";
    case ElementKind::field:
      return (e.tag == "input" && !_in(not_typed, type)) || e.tag == "textarea" ||
             e.is_editable_field.value_or(false) || role == "textbox" || role == "searchbox" ||
             role == "spinbutton";
    case ElementKind::dropdown:
      return e.tag == "select" || role == "combobox" || role == "listbox";
    case ElementKind::checkbox:
      return (e.tag == "input" && type == "checkbox") || role == "checkbox" || role == "switch";
    case ElementKind::radio:
      return (e.tag == "input" && type == "radio") || role == "radio";
  }
  return false;
}

bool _matches_element(std::string_view target, const Element& element, bool include_label) {
  const std::string folded = text::lower(target);
  for (const auto& s : _searchable_strings(element, include_label))
    if (text::contains(text::lower(s), folded)) return true;
  return false;
}

bool _exact_matches_element(std::string_view target, const Element& element, bool include_label) {
  const std::string folded = text::lower(target);
  for (const auto& s : _searchable_strings(element, include_label))
    if (text::trim(text::lower(s)) == folded) return true;
  return false;
}

Elements _filter_by_action(std::string_view action, const Elements& elements) {
  for (size_t i = 0; i < elements.size(); ++i)
    if (!elements[i])
      throw TypeError("elements[" + std::to_string(i) + "] must be an element record, got null");
  if (action != "type" && action != "select") return elements;
  Elements kept;
  for (const auto& e : elements) {
    bool fits = false;
    if (action == "type") {
      const std::string* role = e->attributes.get("role");
      fits = _in(_TYPEABLE_TAGS, e->tag) || (role && _in(_TYPEABLE_ROLES, *role)) ||
             e->is_editable_field.value_or(false);
    } else {
      fits = _in(_SELECTABLE_TAGS, e->tag);
    }
    if (fits) kept.push_back(e);
  }
  return kept.empty() ? elements : kept;
}

int _dom_distance(std::string_view xpath_a, std::string_view xpath_b) {
  const auto a = _path_steps(xpath_a);
  const auto b = _path_steps(xpath_b);
  size_t common = 0;
  while (common < a.size() && common < b.size() && a[common] == b[common]) ++common;
  return static_cast<int>((a.size() - common) + (b.size() - common));
}

std::string _norm(std::string_view v) {
  std::string s = text::lower(v);
  for (std::string_view sign : {"$", "£", "€", ","}) s = text::replace_all(s, sign, "");
  return text::trim(s);
}

}  // namespace plainstep::lexical_finder
