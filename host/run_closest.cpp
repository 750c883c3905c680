#include "run_closest.hpp"

#include <algorithm>
#include <set>
#include <vector>

#include "text/text.hpp"

namespace plainstep::host {

namespace {
// The names a person would read an element by.
std::vector<std::string> _names(const Element& e) {
  std::vector<std::string> out;
  auto add = [&](const std::string& s) {
    std::string t = text::trim(s);
    if (!t.empty() && text::length(t) <= 120) out.push_back(text::lower(t));
  };
  add(e.text);
  for (const char* a : {"aria-label", "_label", "placeholder", "title", "alt", "name"})
    if (const std::string* v = e.attributes.get(a)) add(*v);
  return out;
}

struct _Scored {
  size_t shared;
  size_t distance;
  size_t order;
  ElementRef el;
};
}  // namespace

size_t edit_distance(std::string_view a, std::string_view b) {
  std::u32string x = text::to_u32(text::lower(a)), y = text::to_u32(text::lower(b));
  std::vector<size_t> prev(y.size() + 1), cur(y.size() + 1);
  for (size_t j = 0; j <= y.size(); ++j) prev[j] = j;
  for (size_t i = 1; i <= x.size(); ++i) {
    cur[0] = i;
    for (size_t j = 1; j <= y.size(); ++j)
      cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (x[i - 1] == y[j - 1] ? 0 : 1)});
    std::swap(prev, cur);
  }
  return prev[y.size()];
}

Elements closest_candidates(std::string_view wanted, const Elements& elements,
                            const Elements& text_elements, size_t limit) {
  std::string want = text::lower(text::trim(wanted));
  std::vector<std::string> want_words_v = text::split_ws(want);
  std::set<std::string> want_words(want_words_v.begin(), want_words_v.end());
  std::vector<_Scored> scored;
  std::set<std::string> seen;  // one line per name: a button and its text say the same
  size_t order = 0;
  for (const Elements* list : {&elements, &text_elements})
    for (const auto& el : *list) {
      ++order;
      if (!el) continue;
      auto names = _names(*el);
      if (names.empty()) continue;
      _Scored s{0, SIZE_MAX, order, el};
      for (const auto& n : names) {
        std::set<std::string> words;
        for (auto& w : text::split_ws(n)) words.insert(w);
        size_t shared = 0;
        for (const auto& w : want_words) shared += words.count(w);
        s.shared = std::max(s.shared, shared);
        s.distance = std::min(s.distance, edit_distance(n, want));
      }
      // A name that shares no word and is far from the wanted text says
      // nothing about what the step meant.
      size_t far = std::max<size_t>(2, text::length(want) / 3);
      if (s.shared == 0 && s.distance > far) continue;
      if (!seen.insert(el->tag + "\n" + names.front()).second) continue;
      scored.push_back(s);
    }
  std::stable_sort(scored.begin(), scored.end(), [](const _Scored& a, const _Scored& b) {
    if (a.shared != b.shared) return a.shared > b.shared;
    return a.distance < b.distance;
  });
  Elements out;
  for (const auto& s : scored) {
    if (out.size() >= limit) break;
    out.push_back(s.el);
  }
  return out;
}

}  // namespace plainstep::host
