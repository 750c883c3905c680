#pragma once
// Reads the live page into element descriptors (what a step may act on) and
// text elements (what a step may read), and saves what it saw to a snapshot
// file when settings::SAVE_SNAPSHOTS is on.
//
// Two ways of reading the page give the same records: the fast one gathers
// everything in one page evaluation, the exact one asks the driver element
// by element. The fast one is the default; PLAINSTEP_EXTRACTION=exact (read
// at every extraction) or the constructor option picks the exact one.
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/element_handle.hpp"
#include "driver/page.hpp"
#include "records/element.hpp"

namespace plainstep {

namespace harvest {
class PageReads;
}

enum class Extraction { fast, exact };

extern const std::array<const char*, 6> _NATIVE_TAGS;
extern const std::array<const char*, 13> _ARIA_ROLES;
extern const std::array<const char*, 13> CAPTURED_ATTRIBUTES;
// Tags whose elements are text whether or not they hold text of their own.
extern const std::array<const char*, 15> _TEXT_TAGS;
// Tags whose text is never page text (code, metadata, a control's value,
// the choices of a closed list).
extern const std::array<const char*, 9> NEVER_TEXT_TAGS;
extern const std::string INTERACTABLE_SELECTOR;
extern const std::string TEXT_SELECTOR;
// The elements the text rules look at: every element (each is then taken
// when one of _TEXT_TAGS or holding text of its own, never one of
// NEVER_TEXT_TAGS).
extern const std::string TEXT_CANDIDATE_SELECTOR;
extern const std::string _LABEL_CANDIDATE_SELECTOR;
extern const std::string _CUSTOM_INPUT_SELECTOR;

// A short visible text that may caption the element below it.
struct LabelCandidate {
  std::string text;
  Box bounding_box;
};

// Whether a non-native element looks like an editable field by its class.
bool _is_custom_input(std::string_view tag, std::string_view classes);

// PLAINSTEP_EXTRACTION: unset or "fast" is fast, "exact" is exact; any
// other value is a std::invalid_argument naming it.
Extraction extraction_from_environment();

class PageHarvester {
 public:
  // Binds the page; makes no driver call. Without a mode, every extraction
  // reads PLAINSTEP_EXTRACTION.
  explicit PageHarvester(std::shared_ptr<pw::Page> page,
                         std::optional<Extraction> mode = std::nullopt);

  // Descriptors (native and role elements, custom inputs, pointer-cursor
  // elements, spatially labelled), then the text elements. Elements whose
  // inspection fails are left out; a failing whole-page query, an unwritable
  // snapshot or a dead driver propagates. Holds no element handle afterwards.
  std::pair<Elements, Elements> extract_interactable_elements();

  // The visible text blocks of the page, wrapper elements removed.
  Elements extract_text_elements();

  // One line for each frame of the page whose document this page may not
  // read (another origin), by name or id and address, for a step that
  // failed: what it looked for may be in there. Asks the page each time.
  std::vector<std::string> unreadable_frames();

  // Wrapper elimination: drops a candidate without direct text when a
  // smaller overlapping candidate's text occurs in its own (an inline
  // phrase counts as direct text). Keeps the very records, in order.
  // Throws TypeError on a candidate without a box.
  static Elements _dedup_text_elements(const Elements& candidates);

  // Gives each descriptor without a field label the nearest candidate text
  // ending at or above its top edge within its horizontal span.
  static void _assign_spatial_labels(Elements& elements,
                                     const std::vector<LabelCandidate>& label_candidates);

  // The accessible label of one input-like element; "" when none is found.
  std::string _get_field_label(const std::shared_ptr<pw::ElementHandle>& element);
  std::vector<LabelCandidate> _collect_label_candidates();
  Elements _extract_custom_inputs();
  Elements _extract_cursor_pointer_elements();
  // Writes {"url", "elements", "text_elements"} to a new file in
  // settings::LOG_PATH and prints its name, when SAVE_SNAPSHOTS is on.
  void _save_snapshot(const Elements& elements, const Elements& text_elements);

  const std::shared_ptr<pw::Page>& page() const { return page_; }
  Extraction mode() const;

 private:
  std::unique_ptr<harvest::PageReads> _reads(const std::vector<std::string>& selectors, bool pointer);
  std::shared_ptr<pw::Page> page_;
  std::optional<Extraction> mode_;
};

}  // namespace plainstep
