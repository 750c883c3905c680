#include "driver/frame.hpp"

#include "driver/connection.hpp"
#include "driver/element_handle.hpp"
#include "driver/serializer.hpp"

namespace pw {

Frame::Frame(std::weak_ptr<Connection> connection, std::string type, std::string guid, json initializer)
    : RemoteObject(std::move(connection), std::move(type), std::move(guid), std::move(initializer)),
      url_(this->initializer().value("url", "")) {}

void Frame::navigate(const std::string& url, const std::string& wait_until) {
  _call("goto", {{"url", url}, {"waitUntil", wait_until}});
}

std::shared_ptr<ElementHandle> Frame::query_selector(const std::string& selector) {
  auto connection = _connection();
  json result = connection->call(guid(), "querySelector", {{"selector", selector}});
  return connection->object_as<ElementHandle>(result.value("element", json()));
}

std::vector<std::shared_ptr<ElementHandle>> Frame::query_selector_all(const std::string& selector) {
  auto connection = _connection();
  json result = connection->call(guid(), "querySelectorAll", {{"selector", selector}});
  std::vector<std::shared_ptr<ElementHandle>> handles;
  for (const auto& ref : result.at("elements")) handles.push_back(connection->object_as<ElementHandle>(ref));
  return handles;
}

json Frame::evaluate(const std::string& expression, const json& arg) {
  json result = _call("evaluateExpression", {{"expression", expression}, {"arg", serialize_argument(arg)}});
  return parse_value(result.at("value"));
}

std::string Frame::title() { return _call("title").value("value", ""); }

void Frame::_on_event(const std::string& method, const json& params) {
  if (method == "navigated" && !params.contains("error")) url_ = params.value("url", url_);
}

}  // namespace pw
