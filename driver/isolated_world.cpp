#include "driver/isolated_world.hpp"

#include <cstdio>
#include <random>

#include "driver/browser.hpp"
#include "driver/cdp_session.hpp"
#include "driver/connection.hpp"
#include "driver/page.hpp"

namespace pw {

namespace {

// A navigation took the world away between or during calls.
bool _world_gone(const Error& e) {
  std::string_view m = e.what();
  for (std::string_view gone : {"Cannot find context with specified id", "Execution context was destroyed",
                                "Inspected target navigated or closed", "No frame for given id found",
                                "Frame with the given id was not found"})
    if (m.find(gone) != std::string_view::npos) return true;
  return false;
}

std::string _random_hex() {
  // One per thread: a suite's workers each drive a connection of their own.
  thread_local std::random_device device;
  std::string out;
  for (int i = 0; i < 4; ++i) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(device()));
    out += buf;
  }
  return out;
}

constexpr int attempts_per_call = 5;

}  // namespace

std::shared_ptr<IsolatedWorld> IsolatedWorld::of(Page& page) {
  if (page.isolated_world_) return page.isolated_world_;
  if (page.no_cdp_) return nullptr;
  auto context = page.context();
  if (!context) throw Error("Playwright driver gave the page no browser context");
  std::shared_ptr<CDPSession> session;
  try {
    session = context->new_cdp_session(page);
  } catch (const ConnectionError&) {
    throw;
  } catch (const Error& e) {
    if (std::string_view(e.what()).find("only available in Chromium") == std::string_view::npos) throw;
    page.no_cdp_ = true;
    return nullptr;
  }
  page.isolated_world_ = std::make_shared<IsolatedWorld>(std::move(session));
  return page.isolated_world_;
}

IsolatedWorld::IsolatedWorld(std::shared_ptr<CDPSession> session)
    : session_(std::move(session)), marker_("__plainstep_world_" + _random_hex()) {}

void IsolatedWorld::_create() {
  context_.reset();
  json tree = session_->send("Page.getFrameTree");
  const json* frame = tree.contains("frameTree") ? &tree["frameTree"] : nullptr;
  if (!frame || !frame->contains("frame") || !(*frame)["frame"].contains("id"))
    throw Error("the browser described the page's frames without a main frame");
  json made = session_->send("Page.createIsolatedWorld", {{"frameId", (*frame)["frame"]["id"]},
                                                          {"worldName", "plainstep"},
                                                          {"grantUniveralAccess", false}});
  if (!made.contains("executionContextId") || !made["executionContextId"].is_number_integer())
    throw Error("the browser made an isolated world without an execution context");
  long long id = made["executionContextId"].get<long long>();
  // Context ids are reused across the page's processes: a global only our
  // world holds tells it from whatever else carries the same id later.
  std::string token = _random_hex();
  json set = session_->send("Runtime.evaluate",
                            {{"expression", "globalThis['" + marker_ + "'] = {token: '" + token + "', fns: []}, true"},
                             {"contextId", id},
                             {"returnByValue", true}});
  if (set.contains("exceptionDetails")) throw Error("could not mark the page's isolated world");
  token_ = token;
  context_ = id;
  defined_.clear();
}

json IsolatedWorld::_call_once(const std::string& function_source, const json& arg) {
  // A function is sent once per world and kept there: later calls send
  // its number, not its text.
  auto known = defined_.find(function_source);
  std::string id = std::to_string(known != defined_.end() ? known->second : defined_.size());
  std::string wrapped = "function (token, arg) { const w = globalThis['" + marker_ +
                        "']; if (!w || w.token !== token) return [false]; return [true, " +
                        (known != defined_.end() ? "w.fns[" + id + "]"
                                                 : "(w.fns[" + id + "] = (" + function_source + "\n))") +
                        "(arg)]; }";
  json answer = session_->send("Runtime.callFunctionOn",
                               {{"functionDeclaration", wrapped},
                                {"executionContextId", *context_},
                                {"arguments", json::array({{{"value", token_}}, {{"value", arg}}})},
                                {"returnByValue", true},
                                {"awaitPromise", false}});
  if (answer.contains("exceptionDetails")) {
    const json& d = answer["exceptionDetails"];
    std::string text = d.value("text", std::string("an exception"));
    if (d.contains("exception") && d["exception"].is_object() && d["exception"].contains("description") &&
        d["exception"]["description"].is_string())
      text = d["exception"]["description"].get<std::string>();
    throw Error(text);
  }
  const json& result = answer.contains("result") ? answer["result"] : json();
  json value = result.is_object() && result.contains("value") ? result["value"] : json();
  if (!value.is_array() || value.empty() || !value[0].is_boolean())
    throw Error("the page's isolated world answered in a form of its own");
  if (!value[0].get<bool>()) return json::array({false});
  if (known == defined_.end()) defined_.emplace(function_source, defined_.size());
  return json::array({true, value.size() > 1 ? value[1] : json()});
}

json IsolatedWorld::call(const std::string& function_source, const json& arg) {
  for (int attempt = 1;; ++attempt) {
    try {
      if (!context_) _create();
      json answer = _call_once(function_source, arg);
      if (answer[0].get<bool>()) return answer[1];
      context_.reset();  // another world wears our old id: the document changed
    } catch (const ConnectionError&) {
      throw;
    } catch (const Error& e) {
      if (!_world_gone(e)) throw;
      context_.reset();
    }
    if (attempt == attempts_per_call)
      throw Error("Execution context was destroyed: the page kept replacing its document while it was read");
  }
}

}  // namespace pw
