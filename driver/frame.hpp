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
  std::string url() const { return url_; }
  std::string title();

 protected:
  void _on_event(const std::string& method, const json& params) override;

 private:
  std::string url_;
};

}  // namespace pw
