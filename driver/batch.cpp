#include "driver/batch.hpp"

#include "driver/element_handle.hpp"
#include "driver/frame.hpp"
#include "driver/page.hpp"
#include "driver/serializer.hpp"

namespace pw {

std::optional<Rect> rect_from_json(const json& result);

Batch::Batch(Page& page) : connection_(page._connection()) {}
Batch::Batch(ElementHandle& handle) : connection_(handle._connection()) {}

template <class T>
Pending<T> Batch::_queue(const std::string& guid, const std::string& method, json params,
                         std::function<T(const json&)> decode) {
  auto state = connection_->queue(guid, method, std::move(params));
  calls_.push_back(state);
  return Pending<T>(connection_, state, std::move(decode));
}

Pending<bool> Batch::is_visible(ElementHandle& h) {
  return _queue<bool>(h.guid(), "isVisible", json::object(), [](const json& r) { return r.value("value", false); });
}

Pending<bool> Batch::is_enabled(ElementHandle& h) {
  return _queue<bool>(h.guid(), "isEnabled", json::object(), [](const json& r) { return r.value("value", false); });
}

Pending<std::string> Batch::inner_text(ElementHandle& h) {
  return _queue<std::string>(h.guid(), "innerText", json::object(),
                             [](const json& r) { return r.value("value", std::string()); });
}

Pending<std::optional<std::string>> Batch::get_attribute(ElementHandle& h, const std::string& name) {
  return _queue<std::optional<std::string>>(h.guid(), "getAttribute", {{"name", name}},
                                            [](const json& r) -> std::optional<std::string> {
                                              if (!r.contains("value") || r["value"].is_null()) return std::nullopt;
                                              return r["value"].get<std::string>();
                                            });
}

Pending<std::optional<Rect>> Batch::bounding_box(ElementHandle& h) {
  return _queue<std::optional<Rect>>(h.guid(), "boundingBox", json::object(), rect_from_json);
}

Pending<json> Batch::evaluate(ElementHandle& h, const std::string& function_source, const json& arg) {
  return _queue<json>(h.guid(), "evaluateExpression",
                      {{"expression", function_source}, {"arg", serialize_argument(arg)}},
                      [](const json& r) { return parse_value(r.at("value")); });
}

Pending<json> Batch::evaluate(Page& page, const std::string& expression, const json& arg) {
  return _queue<json>(page.main_frame()->guid(), "evaluateExpression",
                      {{"expression", expression}, {"arg", serialize_argument(arg)}},
                      [](const json& r) { return parse_value(r.at("value")); });
}

void Batch::wait() { connection_->wait(calls_); }

}  // namespace pw
