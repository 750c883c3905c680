#include "driver/frame.hpp"

#include <regex>
#include <stdexcept>
#include <vector>

#include "driver/connection.hpp"
#include "driver/element_handle.hpp"
#include "driver/serializer.hpp"

namespace pw {

std::shared_ptr<ElementHandle> element_from_handle_result(Connection& connection, const json& result);

namespace {

// Walks the steps of one document from its top, through open shadow roots,
// with nothing but the DOM's own child lists.
constexpr const char* _WALK_STEPS = R"js((steps) => {
  let node = document;
  for (const step of steps) {
    if (step === '#shadow-root') {
      node = node.nodeType === 1 ? node.shadowRoot : null;
      if (!node) return null;
      continue;
    }
    const open = step.lastIndexOf('[');
    const tag = step.slice(0, open), index = Number(step.slice(open + 1, -1));
    let seen = 0, found = null;
    for (let c = node.firstElementChild; c && !found; c = c.nextElementSibling)
      if (c.localName.toLowerCase() === tag && ++seen === index) found = c;
    if (!found) return null;
    node = found;
  }
  return node.nodeType === 1 ? node : null;
})js";

const std::regex& _element_step() {
  static const std::regex re(R"([a-z][a-z0-9._:-]*\[[1-9][0-9]*\])", std::regex::icase);
  return re;
}

std::invalid_argument _bad_path(const std::string& path, const std::string& why) {
  return std::invalid_argument("cannot locate the element path '" + path + "': " + why);
}

// The steps of an absolute path, checked.
std::vector<std::string> _steps_of(const std::string& path) {
  if (path.empty() || path.front() != '/') throw _bad_path(path, "it does not start with '/'");
  std::vector<std::string> steps;
  size_t start = 1;
  for (;;) {
    size_t slash = path.find('/', start);
    std::string step = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (step != "#document" && step != "#shadow-root" && !std::regex_match(step, _element_step()))
      throw _bad_path(path, "'" + step + "' is not a step");
    steps.push_back(std::move(step));
    if (slash == std::string::npos) return steps;
    start = slash + 1;
  }
}

}  // namespace

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

std::shared_ptr<ElementHandle> Frame::evaluate_element(const std::string& function_source,
                                                       const json& arg) {
  auto connection = _connection();
  json r = connection->call(guid(), "evaluateExpressionHandle",
                            {{"expression", function_source},
                             {"isFunction", true},
                             {"arg", serialize_argument(arg)}});
  return element_from_handle_result(*connection, r);
}

std::shared_ptr<ElementHandle> Frame::locate_path(const std::string& path) {
  // XPath takes "x:button" for a name in the namespace "x": prefixed names
  // are walked like shadow trees.
  if (path.find_first_of("#:") == std::string::npos) return query_selector("xpath=" + path);
  const std::vector<std::string> steps = _steps_of(path);
  if (steps.front().front() == '#') throw _bad_path(path, "it starts inside a shadow tree or frame");
  Frame* frame = this;
  std::shared_ptr<Frame> entered;  // keeps the frame of the current document alive
  std::vector<std::string> in_document;
  for (size_t i = 0; i <= steps.size(); ++i) {
    if (i < steps.size() && steps[i] != "#document") {
      in_document.push_back(steps[i]);
      continue;
    }
    if (in_document.empty() || in_document.back() == "#shadow-root")
      throw _bad_path(path, "a '#' step names no element before it");
    auto element = frame->evaluate_element(_WALK_STEPS, json(in_document));
    if (!element || i == steps.size()) return element;
    entered = element->content_frame();
    element->dispose();
    if (!entered) return nullptr;  // not a frame element (any more)
    frame = entered.get();
    in_document.clear();
  }
  return nullptr;
}

std::string Frame::title() { return _call("title").value("value", ""); }

void Frame::_on_event(const std::string& method, const json& params) {
  if (method == "navigated" && !params.contains("error")) url_ = params.value("url", url_);
}

}  // namespace pw
