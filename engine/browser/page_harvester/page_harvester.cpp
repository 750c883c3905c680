#include "page_harvester.hpp"

#include <cstdlib>
#include <stdexcept>

#include "driver/element_handle.hpp"
#include "driver/frame.hpp"
#include "scripts.hpp"

#include "exact_reads.hpp"
#include "rules.hpp"

namespace plainstep {

Extraction extraction_from_environment() {
  const char* v = std::getenv("PLAINSTEP_EXTRACTION");
  if (!v || !*v || std::string_view(v) == "fast") return Extraction::fast;
  if (std::string_view(v) == "exact") return Extraction::exact;
  throw std::invalid_argument(std::string("PLAINSTEP_EXTRACTION must be fast or exact, got '") + v + "'");
}

PageHarvester::PageHarvester(std::shared_ptr<pw::Page> page, std::optional<Extraction> mode)
    : page_(std::move(page)), mode_(mode) {
  if (!page_) throw TypeError("PageHarvester needs a page, got none");
}

Extraction PageHarvester::mode() const { return mode_ ? *mode_ : extraction_from_environment(); }

std::unique_ptr<harvest::PageReads> PageHarvester::_reads(const std::vector<std::string>& selectors,
                                                          bool pointer) {
  if (mode() == Extraction::exact) return harvest::exact_reads(page_);
  return harvest::fast_reads(page_, selectors, pointer);
}

std::pair<Elements, Elements> PageHarvester::extract_interactable_elements() {
  auto reads = _reads({INTERACTABLE_SELECTOR, _CUSTOM_INPUT_SELECTOR, _LABEL_CANDIDATE_SELECTOR,
                       TEXT_CANDIDATE_SELECTOR},
                      true);
  Elements elements = harvest::native_elements(*reads);
  for (auto& e : harvest::custom_inputs(*reads)) elements.push_back(std::move(e));
  for (auto& e : harvest::pointer_elements(*reads)) elements.push_back(std::move(e));
  _assign_spatial_labels(elements, harvest::label_candidates(*reads));
  Elements text_elements = _dedup_text_elements(harvest::text_candidates(*reads));
  reads.reset();  // every handle released before the snapshot and the return
  _save_snapshot(elements, text_elements);
  return {std::move(elements), std::move(text_elements)};
}

Elements PageHarvester::extract_text_elements() {
  auto reads = _reads({TEXT_CANDIDATE_SELECTOR}, false);
  return _dedup_text_elements(harvest::text_candidates(*reads));
}

std::string PageHarvester::_get_field_label(const std::shared_ptr<pw::ElementHandle>& element) {
  if (!element) throw TypeError("_get_field_label needs an element, got none");
  auto el = harvest::exact_element(element, false);
  return harvest::field_label(*el);
}

std::vector<LabelCandidate> PageHarvester::_collect_label_candidates() {
  return harvest::label_candidates(*_reads({_LABEL_CANDIDATE_SELECTOR}, false));
}

Elements PageHarvester::_extract_custom_inputs() {
  return harvest::custom_inputs(*_reads({_CUSTOM_INPUT_SELECTOR}, false));
}

namespace {

// Frames inside frames are looked into this deep, no deeper.
constexpr int max_frame_depth = 8;

// A text member of the page's answer, "" when it is anything else.
std::string _text_in(const json& info, const char* key) {
  return info.contains(key) && info[key].is_string() ? info[key].get<std::string>() : std::string();
}

// "frame "name" (address)", "frame #id (address)" or "frame (address)".
std::string _frame_line(const json& info, const std::string& address) {
  std::string name = _text_in(info, "name");
  std::string id = _text_in(info, "id");
  std::string who = !name.empty() ? " \"" + name + "\"" : !id.empty() ? " #" + id : "";
  return "frame" + who + " (" + (address.empty() ? std::string("no address") : address) + ")";
}

void _unreadable_in(pw::Frame& frame, int depth, std::vector<std::string>& out) {
  for (auto& element : frame.query_selector_all("iframe, frame")) {
    harvest::guarded([&] {
      json info = element->evaluate(FRAME_DESCRIPTION_JS);
      if (!info.is_object()) return;
      auto inner = element->content_frame();
      if (info.contains("readable") && info["readable"].is_boolean() && info["readable"].get<bool>()) {
        if (inner && depth + 1 < max_frame_depth) _unreadable_in(*inner, depth + 1, out);
      } else {
        std::string address = inner && !inner->url().empty() ? inner->url() : _text_in(info, "src");
        out.push_back(_frame_line(info, address));
      }
    });
    try {
      element->dispose();
    } catch (const pw::ConnectionError&) {
      throw;
    } catch (const pw::Error&) {
    }
  }
}

}  // namespace

std::vector<std::string> PageHarvester::unreadable_frames() {
  std::vector<std::string> out;
  harvest::across_navigation([&] {
    out.clear();
    _unreadable_in(*page_->main_frame(), 0, out);
    return json();
  });
  return out;
}

Elements PageHarvester::_extract_cursor_pointer_elements() {
  return harvest::pointer_elements(*_reads({}, true));
}

}  // namespace plainstep
