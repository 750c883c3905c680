#pragma once
// What the extraction rules ask of the page, one question at a time. Two
// kinds of reader answer: the exact one asks the driver element by element,
// the fast one answers from what one page evaluation gathered. The rules
// never know which one they talk to.
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/errors.hpp"
#include "records/element.hpp"

namespace plainstep::harvest {

// Inspecting one element failed the way the driver's inspection fails (a
// text read on an element that is not an HTML element, an element with
// no valid path). The element is dropped, as with a driver error.
class ReadFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The page answered an extraction in a form no reading produces: a page
// that bent the reader's tools, or a fault of the reader. Never an
// inspection failure: it propagates, naming the page.
class AnswerError : public std::runtime_error {
 public:
  AnswerError(std::string_view url, const std::string& what)
      : std::runtime_error("the page at " + std::string(url) + " gave an extraction answer that " + what) {}
};

// Runs `read` under a per-element guard: true when it completed, false
// when an inspection failed. A dead driver is no inspection failure: it
// propagates, so a lost connection never passes for an empty page.
template <class F>
bool guarded(F&& read) {
  try {
    read();
    return true;
  } catch (const pw::ConnectionError&) {
    throw;
  } catch (const pw::Error&) {
    return false;
  } catch (const ReadFailure&) {
    return false;
  }
}

using DataAttributes = std::vector<std::pair<std::string, std::string>>;

// The label sources of one field, as the page shows them (untrimmed).
struct LabelTexts {
  // The texts of the elements aria-labelledby names, found in the field's
  // own tree, in its order.
  std::vector<std::string> labelled_by;
  std::optional<std::string> label_for;  // the first label whose for names the field
  std::optional<std::string> wrapping;   // the label around it, without the field's own text
  std::optional<std::string> beside;     // a label element right beside it
  std::optional<std::string> following;  // the text after a checkbox or radio button
};

// One item of the cursor-pointer script.
struct PointerItem {
  std::string tag, text, xpath;
  double x = 0, y = 0, w = 0, h = 0;
  std::string cls, aria;
};

// One element of a group. Every read may throw pw::Error or ReadFailure.
class ElementReads {
 public:
  virtual ~ElementReads() = default;
  virtual bool is_visible() = 0;
  virtual bool is_enabled() = 0;
  virtual std::string tag_name() = 0;
  virtual std::string inner_text() = 0;
  virtual std::optional<std::string> attribute(const std::string& name) = 0;
  virtual std::optional<Box> bounding_box() = 0;
  virtual DataAttributes data_attributes() = 0;
  // ReadFailure when the element has no valid path.
  virtual std::string xpath() = 0;
  virtual bool has_direct_text() = 0;
  // Whether its text is one short line of several inline pieces.
  virtual bool is_phrase() = 0;
  virtual LabelTexts label_texts() = 0;
  virtual std::optional<std::string> preceding_sibling_text() = 0;
  virtual std::optional<std::string> parent_children_text() = 0;
  // The name of the icon a control shows when it shows no text of its own
  // ("user", "arrow right"); nullopt when it shows text or no icon.
  virtual std::optional<std::string> icon_name() = 0;
};

using ElementList = std::vector<std::unique_ptr<ElementReads>>;

// The page: element groups by selector, through open shadow trees and the
// frames the page may read, in the driver's order.
class PageReads {
 public:
  virtual ~PageReads() = default;
  // Every element matching the selector, in document order, a frame's
  // elements right after its frame element. A failure propagates: it is a
  // failure of the whole page.
  virtual ElementList query_all(const std::string& selector) = 0;
  // The items of the cursor-pointer script; ReadFailure when the
  // evaluation failed, AnswerError when its answer is malformed.
  virtual std::vector<PointerItem> pointer_items() = 0;
  virtual std::string url() = 0;
};

// Pointer items from the script's answer (null: none), checked item by
// item; AnswerError naming the page at `url` when one is malformed.
std::vector<PointerItem> pointer_items_from(const json& answer, std::string_view url);

}  // namespace plainstep::harvest
