#pragma once
// What the extraction rules ask of the page, one question at a time. Two
// kinds of reader answer: the exact one asks the driver element by element,
// the fast one answers from what one page evaluation gathered. The rules
// never know which one they talk to.
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "driver/errors.hpp"
#include "records/element.hpp"

namespace plainstep::harvest {

// Inspecting one element failed the way the driver's inspection fails (a
// text read on an element that is not an HTML element). The element is
// dropped, as with a driver error.
class ReadFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
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
  virtual std::string xpath() = 0;
  virtual bool has_direct_text() = 0;
  virtual std::optional<std::string> preceding_sibling_text() = 0;
  virtual std::optional<std::string> parent_children_text() = 0;
};

using ElementList = std::vector<std::unique_ptr<ElementReads>>;

// The page: element groups by selector, and the look-ups field labels need.
class PageReads {
 public:
  virtual ~PageReads() = default;
  // Every element matching the selector, in document order. A failure
  // propagates: it is a failure of the whole page.
  virtual ElementList query_all(const std::string& selector) = 0;
  // The inner text of the first element with this identifier; nullopt when
  // there is none.
  virtual std::optional<std::string> text_of_id(const std::string& id) = 0;
  // The inner text of the first label whose for attribute is `id`.
  virtual std::optional<std::string> text_of_label_for(const std::string& id) = 0;
  // The pointer items of the cursor-pointer script; throws when the
  // evaluation failed.
  virtual json pointer_items() = 0;
  virtual std::string url() = 0;
};

}  // namespace plainstep::harvest
