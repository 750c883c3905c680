#pragma once
// A frame of a page. Page delegates its document calls to its main frame.
#include <memory>
#include <string>
#include <vector>

#include "driver/remote_object.hpp"

namespace pw {

class ElementHandle;

class Frame : public RemoteObject {
 public:
  Frame(std::weak_ptr<Connection> connection, std::string type, std::string guid, json initializer);

  // Returns after the wait_until event ("load", "domcontentloaded",
  // "networkidle", "commit").
  void navigate(const std::string& url, const std::string& wait_until = "load");
  std::shared_ptr<ElementHandle> query_selector(const std::string& selector);
  std::vector<std::shared_ptr<ElementHandle>> query_selector_all(const std::string& selector);
  json evaluate(const std::string& expression, const json& arg = json());
  // Calls the function with `arg`; the element it returns as a handle, or
  // nullptr when it returns anything else.
  std::shared_ptr<ElementHandle> evaluate_element(const std::string& function_source,
                                                  const json& arg = json());
  // The element an element path names, or nullptr when none stands there
  // now. A path is "/"-separated steps, each a lower-case tag name with its
  // 1-based index among the earlier element siblings of that name
  // ("/html[1]/body[1]/div[2]"); the step "#shadow-root" enters the open
  // shadow tree of the element before it, and "#document" the document of
  // the frame element before it. Paths without such steps go to the
  // driver's XPath engine. Throws std::invalid_argument for a malformed
  // path, naming it.
  std::shared_ptr<ElementHandle> locate_path(const std::string& path);
  std::string url() const { return url_; }
  std::string title();

 protected:
  void _on_event(const std::string& method, const json& params) override;

 private:
  std::string url_;
};

}  // namespace pw
