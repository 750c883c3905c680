// The two rules that work on records alone: spatial labelling and the
// wrapper elimination of text elements.
#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "page_harvester.hpp"

namespace plainstep {

namespace {

// The label candidates by the height of their bottom edge, lowest on the
// page first; equal bottoms in page order. A candidate whose bottom is not
// a number is never the nearest.
struct _ByBottom {
  std::vector<size_t> order;
  std::vector<double> bottom;  // by candidate

  explicit _ByBottom(const std::vector<LabelCandidate>& candidates) {
    bottom.reserve(candidates.size());
    for (size_t i = 0; i < candidates.size(); ++i) {
      const Box& cb = candidates[i].bounding_box;
      bottom.push_back(cb.y + cb.height);
      if (!std::isnan(bottom.back())) order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return bottom[a] > bottom[b]; });
  }
};

}  // namespace

// The nearest candidate above each element, its box overlapping the
// element's columns; of several as near, the first on the page. Candidates
// are visited from the element's top upwards, so the search ends at the
// first one that fits (and the others as near) instead of going through
// every candidate of the page for every element.
void PageHarvester::_assign_spatial_labels(Elements& elements,
                                           const std::vector<LabelCandidate>& label_candidates) {
  _ByBottom by_bottom(label_candidates);
  const auto& order = by_bottom.order;
  for (auto& el : elements) {
    if (!el) continue;
    if (const std::string* label = el->attributes.get("_label"); label && !label->empty()) continue;
    if (!el->bounding_box) continue;
    const Box& bb = *el->bounding_box;
    // A label ends at or above the element's top: skip the candidates lower.
    auto first = std::partition_point(order.begin(), order.end(),
                                      [&](size_t i) { return by_bottom.bottom[i] > bb.y; });
    size_t best = label_candidates.size();
    double best_dist = std::numeric_limits<double>::infinity();
    for (auto it = first; it != order.end(); ++it) {
      size_t i = *it;
      // Farther with every step: past the nearest that fits, none can win.
      double dist = bb.y - by_bottom.bottom[i];
      if (dist > best_dist) break;
      const Box& cb = label_candidates[i].bounding_box;
      if (!(cb.x <= bb.x + bb.width && cb.x + cb.width >= bb.x)) continue;
      if (dist < best_dist || (best < label_candidates.size() && dist == best_dist && i < best)) {
        best_dist = dist;
        best = i;
      }
    }
    if (best < label_candidates.size() && !label_candidates[best].text.empty())
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
