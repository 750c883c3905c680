// The two rules that work on records alone: spatial labelling and the
// wrapper elimination of text elements.
#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "page_harvester.hpp"

namespace plainstep {

namespace {

// The label candidates in vertical strips of the page. A strip lists the
// candidates whose columns reach into it, ordered by their bottom edge:
// lowest on the page first, equal bottoms in page order. A field looks
// only into the strips its own columns cross: in a table whose last
// column holds links and no candidates, a link finds nothing above it at
// once instead of going through every cell above.
class _Strips {
 public:
  explicit _Strips(const std::vector<LabelCandidate>& candidates) : bottom_(candidates.size()) {
    std::vector<size_t> usable;
    std::vector<double> lefts;
    for (size_t i = 0; i < candidates.size(); ++i) {
      const Box& cb = candidates[i].bounding_box;
      bottom_[i] = cb.y + cb.height;
      // Without numbers for its bottom or its columns, a candidate is
      // never the nearest above anything.
      if (std::isnan(bottom_[i]) || std::isnan(cb.x) || std::isnan(cb.x + cb.width)) continue;
      usable.push_back(i);
      double left = std::min(cb.x, cb.x + cb.width);
      if (std::isfinite(left)) lefts.push_back(left);
    }
    // Strip edges at evenly spaced left edges of the candidates, so that
    // crowded parts of the page get narrower strips.
    std::sort(lefts.begin(), lefts.end());
    size_t count = lefts.empty() ? 1 : std::clamp<size_t>(usable.size() / 16, 1, _MAX_STRIPS);
    for (size_t k = 1; k < count; ++k) {
      double edge = lefts[k * lefts.size() / count];
      if (edges_.empty() || edge > edges_.back()) edges_.push_back(edge);
    }
    strips_.resize(edges_.size() + 1);
    for (size_t i : usable) {
      const Box& cb = candidates[i].bounding_box;
      auto [first, last] = span(cb.x, cb.x + cb.width);
      for (size_t k = first; k <= last; ++k) strips_[k].push_back(i);
    }
    for (auto& strip : strips_)
      std::stable_sort(strip.begin(), strip.end(), [&](size_t a, size_t b) { return bottom_[a] > bottom_[b]; });
  }

  // The strips that the columns from a to b (either way round) cross.
  std::pair<size_t, size_t> span(double a, double b) const {
    return {_strip(std::min(a, b)), _strip(std::max(a, b))};
  }
  const std::vector<size_t>& strip(size_t k) const { return strips_[k]; }
  double bottom(size_t i) const { return bottom_[i]; }

 private:
  static constexpr size_t _MAX_STRIPS = 64;
  size_t _strip(double x) const {
    return static_cast<size_t>(std::upper_bound(edges_.begin(), edges_.end(), x) - edges_.begin());
  }
  std::vector<double> bottom_;  // by candidate
  std::vector<double> edges_;   // where each strip after the first begins
  std::vector<std::vector<size_t>> strips_;
};

}  // namespace

// The nearest candidate above each element, its box overlapping the
// element's columns; of several as near, the first on the page. In each
// strip the element's columns cross, candidates are visited from the
// element's top upwards, so the search ends at the first one that fits
// (and the others as near) instead of going through every candidate of
// the page for every element.
void PageHarvester::_assign_spatial_labels(Elements& elements,
                                           const std::vector<LabelCandidate>& label_candidates) {
  _Strips strips(label_candidates);
  const size_t none = label_candidates.size();
  for (auto& el : elements) {
    if (!el) continue;
    if (const std::string* label = el->attributes.get("_label"); label && !label->empty()) continue;
    if (!el->bounding_box) continue;
    const Box& bb = *el->bounding_box;
    // Without numbers for its top or its columns, nothing is above it.
    if (std::isnan(bb.y) || std::isnan(bb.x) || std::isnan(bb.x + bb.width)) continue;
    size_t best = none;
    double best_dist = std::numeric_limits<double>::infinity();
    auto [first_strip, last_strip] = strips.span(bb.x, bb.x + bb.width);
    for (size_t k = first_strip; k <= last_strip; ++k) {
      const auto& strip = strips.strip(k);
      // A label ends at or above the element's top: skip the candidates lower.
      auto from =
          std::partition_point(strip.begin(), strip.end(), [&](size_t i) { return strips.bottom(i) > bb.y; });
      for (auto it = from; it != strip.end(); ++it) {
        size_t i = *it;
        // Farther with every step: past the nearest that fits, none can win.
        double dist = bb.y - strips.bottom(i);
        if (dist > best_dist) break;
        const Box& cb = label_candidates[i].bounding_box;
        if (!(cb.x <= bb.x + bb.width && cb.x + cb.width >= bb.x)) continue;
        if (dist < best_dist || (best != none && dist == best_dist && i < best)) {
          best_dist = dist;
          best = i;
        }
      }
    }
    if (best != none && !label_candidates[best].text.empty())
      el->attributes.set("_label", label_candidates[best].text);
  }
}

namespace {

const Box& _box_of(const ElementRef& el, size_t index) {
  if (!el || !el->bounding_box)
    throw TypeError("text element " + std::to_string(index) + " has no bounding_box");
  return *el->bounding_box;
}

double _area(const Box& b) { return b.width * b.height; }

bool _overlaps(const Box& a, const Box& b) {
  return a.x < b.x + b.width && a.x + a.width > b.x && a.y < b.y + b.height && a.y + a.height > b.y;
}

// Candidates bucketed by horizontal bands, so that a wrapper is compared
// with the candidates that share its rows, not with the whole page.
class _BandIndex {
 public:
  explicit _BandIndex(const std::vector<const Box*>& boxes) : boxes_(boxes) {
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (const Box* b : boxes) {
      if (!std::isfinite(b->y) || !std::isfinite(b->height)) return;
      lo = std::min(lo, b->y);
      hi = std::max(hi, b->y + b->height);
    }
    if (boxes.empty() || !std::isfinite(lo) || !std::isfinite(hi)) return;
    origin_ = lo;
    band_ = std::max(1.0, (hi - lo) / std::max<size_t>(1, boxes.size() / 4));
    size_t count = static_cast<size_t>((hi - lo) / band_) + 1;
    if (count > 1 << 20) return;  // absurd geometry: compare all pairs
    bands_.resize(count);
    for (size_t i = 0; i < boxes.size(); ++i) {
      auto [first, last] = _span(*boxes[i]);
      for (size_t k = first; k <= last; ++k) bands_[k].push_back(i);
    }
  }

  // Calls visit(j) for every candidate whose rows may meet `b`, each once,
  // in no fixed order; stops when visit returns true.
  template <class F>
  bool any(const Box& b, F&& visit) const {
    if (bands_.empty()) {
      for (size_t j = 0; j < boxes_.size(); ++j)
        if (visit(j)) return true;
      return false;
    }
    auto [first, last] = _span(b);
    ++stamp_;
    if (marks_.size() < boxes_.size()) marks_.assign(boxes_.size(), 0);
    for (size_t k = first; k <= last; ++k)
      for (size_t j : bands_[k]) {
        if (marks_[j] == stamp_) continue;
        marks_[j] = stamp_;
        if (visit(j)) return true;
      }
    return false;
  }

 private:
  std::pair<size_t, size_t> _span(const Box& b) const {
    auto clamp = [&](double y) {
      double k = std::floor((y - origin_) / band_);
      return static_cast<size_t>(std::clamp(k, 0.0, static_cast<double>(bands_.size() - 1)));
    };
    return {clamp(b.y), clamp(b.y + b.height)};
  }
  const std::vector<const Box*>& boxes_;
  double origin_ = 0, band_ = 1;
  std::vector<std::vector<size_t>> bands_;
  mutable std::vector<unsigned> marks_;
  mutable unsigned stamp_ = 0;
};

}  // namespace

Elements PageHarvester::_dedup_text_elements(const Elements& candidates) {
  std::vector<const Box*> boxes;
  boxes.reserve(candidates.size());
  for (size_t i = 0; i < candidates.size(); ++i) boxes.push_back(&_box_of(candidates[i], i));
  _BandIndex index(boxes);
  Elements out;
  for (size_t i = 0; i < candidates.size(); ++i) {
    const ElementRef& el = candidates[i];
    if (el->has_direct_text.value_or(false)) {
      out.push_back(el);
      continue;
    }
    const Box& eb = *boxes[i];
    double area = _area(eb);
    bool dominated = index.any(eb, [&](size_t j) {
      const ElementRef& other = candidates[j];
      return other != el && _area(*boxes[j]) < area && _overlaps(eb, *boxes[j]) &&
             el->text.find(other->text) != std::string::npos;
    });
    if (!dominated) out.push_back(el);
  }
  return out;
}

}  // namespace plainstep
