#pragma once
// A handle to one element of the page. Handles are released by the driver
// when the page navigates; dispose() releases one earlier.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/remote_object.hpp"

namespace pw {

class Frame;

class ElementHandle : public RemoteObject {
 public:
  using RemoteObject::RemoteObject;

  bool is_visible();
  bool is_enabled();
  std::string inner_text();  // rendered text, possibly empty
  std::optional<std::string> text_content();
  std::string input_value();  // value of an input, textarea or select
  // std::nullopt when the attribute is absent, "" when present and empty.
  std::optional<std::string> get_attribute(const std::string& name);
  // In CSS pixels from the viewport's top-left; std::nullopt when the
  // element is not rendered.
  std::optional<Rect> bounding_box();
  // Calls the function with the element as its first argument and `arg`
  // as its second; returns the function's result as JSON.
  json evaluate(const std::string& function_source, const json& arg = json());
  // Calls the function like evaluate; the element it returns as a handle,
  // or nullptr when it returns anything else.
  std::shared_ptr<ElementHandle> evaluate_element(const std::string& function_source,
                                                  const json& arg = json());
  // The document of an iframe or frame element; nullptr for any other
  // element.
  std::shared_ptr<Frame> content_frame();

  // Actions wait until the element is visible, stable and enabled, as the
  // driver's actionability checks do.
  void click();
  void dblclick();
  void fill(const std::string& value);
  void type(const std::string& text);
  void hover();
  void focus();
  void check();
  void uncheck();
  void press(const std::string& key);
  // Chooses the options of a <select> whose value or label equals `value`;
  // returns the values now selected.
  std::vector<std::string> select_option(const std::string& value_or_label);
  std::vector<std::string> select_option(const std::vector<SelectOption>& options);
  void scroll_into_view_if_needed();
  // Sets the files of an <input type=file>, by their paths on this machine.
  void set_input_files(const std::vector<std::string>& local_paths);
  void dispose();
};

}  // namespace pw
