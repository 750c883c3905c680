#include "driver/element_handle.hpp"

#include "driver/connection.hpp"
#include "driver/frame.hpp"
#include "driver/serializer.hpp"

namespace pw {

namespace {
json _option(const SelectOption& o) {
  json j = json::object();
  if (o.value_or_label) j["valueOrLabel"] = *o.value_or_label;
  if (o.value) j["value"] = *o.value;
  if (o.label) j["label"] = *o.label;
  if (o.index) j["index"] = *o.index;
  return j;
}
}  // namespace

std::optional<Rect> rect_from_json(const json& value);

bool ElementHandle::is_visible() { return _call("isVisible").value("value", false); }
bool ElementHandle::is_enabled() { return _call("isEnabled").value("value", false); }
std::string ElementHandle::inner_text() { return _call("innerText").value("value", ""); }
std::string ElementHandle::input_value() { return _call("inputValue").value("value", ""); }

std::optional<std::string> ElementHandle::text_content() {
  json r = _call("textContent");
  if (!r.contains("value") || r["value"].is_null()) return std::nullopt;
  return r["value"].get<std::string>();
}

std::optional<std::string> ElementHandle::get_attribute(const std::string& name) {
  json r = _call("getAttribute", {{"name", name}});
  if (!r.contains("value") || r["value"].is_null()) return std::nullopt;
  return r["value"].get<std::string>();
}

std::optional<Rect> ElementHandle::bounding_box() { return rect_from_json(_call("boundingBox")); }

json ElementHandle::evaluate(const std::string& function_source, const json& arg) {
  json r = _call("evaluateExpression", {{"expression", function_source}, {"arg", serialize_argument(arg)}});
  return parse_value(r.at("value"));
}

std::shared_ptr<ElementHandle> element_from_handle_result(Connection& connection, const json& result);

std::shared_ptr<ElementHandle> ElementHandle::evaluate_element(const std::string& function_source,
                                                               const json& arg) {
  auto connection = _connection();
  json r = connection->call(guid(), "evaluateExpressionHandle",
                            {{"expression", function_source},
                             {"isFunction", true},
                             {"arg", serialize_argument(arg)}});
  return element_from_handle_result(*connection, r);
}

std::shared_ptr<Frame> ElementHandle::content_frame() {
  auto connection = _connection();
  json r = connection->call(guid(), "contentFrame");
  return connection->object_as<Frame>(r.value("frame", json()));
}

void ElementHandle::click() { _call("click"); }
void ElementHandle::dblclick() { _call("dblclick"); }
void ElementHandle::fill(const std::string& value) { _call("fill", {{"value", value}}); }
void ElementHandle::type(const std::string& text) { _call("type", {{"text", text}}); }
void ElementHandle::hover() { _call("hover"); }
void ElementHandle::focus() { _call("focus"); }
void ElementHandle::check() { _call("check"); }
void ElementHandle::uncheck() { _call("uncheck"); }
void ElementHandle::press(const std::string& key) { _call("press", {{"key", key}}); }
void ElementHandle::scroll_into_view_if_needed() { _call("scrollIntoViewIfNeeded"); }
void ElementHandle::set_input_files(const std::vector<std::string>& local_paths) {
  _call("setInputFiles", {{"localPaths", local_paths}});
}

std::vector<std::string> ElementHandle::select_option(const std::string& value_or_label) {
  SelectOption o;
  o.value_or_label = value_or_label;
  return select_option(std::vector<SelectOption>{o});
}

std::vector<std::string> ElementHandle::select_option(const std::vector<SelectOption>& options) {
  json list = json::array();
  for (const auto& o : options) list.push_back(_option(o));
  json r = _call("selectOption", {{"options", list}});
  return r.value("values", std::vector<std::string>{});
}

void ElementHandle::dispose() {
  if (is_disposed()) return;
  try {
    _call("dispose");
  } catch (const Error&) {
    // Already released with its page or context: nothing left to free.
  }
}

// The element of an evaluateExpressionHandle answer, or nullptr; a handle
// to anything else is released at once.
std::shared_ptr<ElementHandle> element_from_handle_result(Connection& connection,
                                                          const json& result) {
  const json ref = result.value("handle", json());
  if (!ref.is_object() || !ref.contains("guid")) return nullptr;
  auto object = connection.object(ref["guid"].get<std::string>());
  if (auto element = std::dynamic_pointer_cast<ElementHandle>(object)) return element;
  if (object) {
    try {
      connection.call(object->guid(), "dispose");
    } catch (const ConnectionError&) {
      throw;
    } catch (const Error&) {
      // Released with its page already.
    }
  }
  return nullptr;
}

// The protocol's {"value": {x, y, width, height}} or {} when not rendered.
std::optional<Rect> rect_from_json(const json& result) {
  if (!result.contains("value") || !result["value"].is_object()) return std::nullopt;
  const json& v = result["value"];
  return Rect{v.value("x", 0.0), v.value("y", 0.0), v.value("width", 0.0), v.value("height", 0.0)};
}

}  // namespace pw
