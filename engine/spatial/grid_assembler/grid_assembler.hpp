#pragma once
// The spatial matrix of one page state: every descriptor and text element
// that has a box, in reading order, typed and numbered per type.
#include <map>
#include <optional>
#include <string>

#include "records/element.hpp"
#include "records/matrix_entry.hpp"

namespace plainstep {

// Builds the matrix from the records of one extraction. Keeps the
// sequences it was given and never changes them or their records.
class GridAssembler {
 public:
  // `dom_elements` become action targets; `text_elements` (none means an
  // empty sequence) become anchor-only entries.
  explicit GridAssembler(Elements dom_elements,
                         std::optional<Elements> text_elements = std::nullopt);

  // A new matrix, sorted by (y, x) with no row tolerance; ties keep input
  // order, descriptors before text elements. Entries point at the very
  // records given. Records without a box get no entry. Throws TypeError
  // when a sequence holds a null record.
  Matrix build() const;

  const Elements& dom_elements() const { return dom_elements_; }
  const Elements& text_elements() const { return text_elements_; }

 private:
  Elements dom_elements_;
  Elements text_elements_;
};

// Tag to element type, where the tag alone decides.
extern const std::map<std::string, std::string, std::less<>> _TAG_TO_TYPE;

// The element type of a descriptor: an ARIA role of button, link, textbox
// or combobox wins; then input buttons; then _TAG_TO_TYPE; else the tag.
std::string _element_type(const Element& element);

// Edges and centre of a box.
Position _position(const Box& bb);

// Text, label, aria-label, placeholder and name, the non-empty ones joined
// by one space, trimmed at both ends.
std::string _searchable(const Element& element);

}  // namespace plainstep
