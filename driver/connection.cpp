#include "driver/connection.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <stdexcept>

#include "driver/browser.hpp"
#include "driver/browser_type.hpp"
#include "driver/cdp_session.hpp"
#include "driver/dialog.hpp"
#include "driver/element_handle.hpp"
#include "driver/frame.hpp"
#include "driver/json_pipe.hpp"
#include "driver/json_text.hpp"
#include "driver/page.hpp"
#include "driver/tracing.hpp"
#include "driver/transport.hpp"

namespace pw {

using Clock = std::chrono::steady_clock;

namespace {

// The bound a call gets on top of its own driver-side timeout before the
// driver is taken for stuck.
constexpr std::chrono::seconds _ANSWER_GRACE{30};
constexpr std::chrono::seconds _STOP_GRACE{5};
constexpr double _MAX_DRIVER_TIMEOUT_S = 86400;

}  // namespace

std::chrono::milliseconds driver_timeout_from_environment() {
  return seconds_from_environment("PLAINSTEP_DRIVER_TIMEOUT", std::chrono::milliseconds(60000));
}

std::chrono::milliseconds seconds_from_environment(const char* name, std::chrono::milliseconds fallback) {
  const char* v = std::getenv(name);
  if (!v || !*v) return fallback;
  std::string_view text(v);
  double seconds = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  // Plain decimal seconds only: no "inf", no hexadecimal, no trailing unit.
  bool plain = ec == std::errc() && end == text.data() + text.size() &&
               text.find_first_not_of("0123456789.") == std::string_view::npos;
  if (!plain || !std::isfinite(seconds) || seconds < 0.001 || seconds > _MAX_DRIVER_TIMEOUT_S)
    throw std::invalid_argument(std::string(name) + " must be a number of seconds from 0.001 to " +
                                std::to_string(static_cast<int>(_MAX_DRIVER_TIMEOUT_S)) + ", got '" +
                                std::string(text) + "'");
  return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

namespace {

std::shared_ptr<RemoteObject> _make(std::weak_ptr<Connection> c, const std::string& type,
                                    const std::string& guid, json init) {
  if (type == "BrowserType") return std::make_shared<BrowserType>(c, type, guid, std::move(init));
  if (type == "Browser") return std::make_shared<Browser>(c, type, guid, std::move(init));
  if (type == "BrowserContext") return std::make_shared<BrowserContext>(c, type, guid, std::move(init));
  if (type == "Page") return std::make_shared<Page>(c, type, guid, std::move(init));
  if (type == "Frame") return std::make_shared<Frame>(c, type, guid, std::move(init));
  if (type == "ElementHandle") return std::make_shared<ElementHandle>(c, type, guid, std::move(init));
  if (type == "Dialog") return std::make_shared<Dialog>(c, type, guid, std::move(init));
  if (type == "CDPSession") return std::make_shared<CDPSession>(c, type, guid, std::move(init));
  if (type == "JsonPipe") return std::make_shared<JsonPipe>(c, type, guid, std::move(init));
  if (type == "Tracing") return std::make_shared<Tracing>(c, type, guid, std::move(init));
  if (type == "Artifact") return std::make_shared<Artifact>(c, type, guid, std::move(init));
  return std::make_shared<RemoteObject>(c, type, guid, std::move(init));
}

std::string _call_log(const json& message) {
  if (!message.contains("log") || !message["log"].is_array()) return "";
  std::string lines;
  for (const auto& l : message["log"])
    if (l.is_string() && !l.get<std::string>().empty()) lines += "\n" + l.get<std::string>();
  return lines.empty() ? "" : "\nCall log:" + lines + "\n";
}

std::exception_ptr _error_of(const json& message) {
  const json& e = message["error"];
  if (e.contains("error") && e["error"].is_object()) {
    const json& err = e["error"];
    std::string text = err.value("message", "") + _call_log(message);
    if (err.value("name", "") == "TimeoutError") return std::make_exception_ptr(TimeoutError(text));
    return std::make_exception_ptr(Error(text));
  }
  // A value thrown by page code that is not an Error.
  std::string text = e.contains("value") ? e["value"].dump() : e.dump();
  return std::make_exception_ptr(Error(text + _call_log(message)));
}

}  // namespace

struct Connection::_Entry {
  std::shared_ptr<RemoteObject> object;
  std::string parent;
  std::vector<std::string> children;
};

Connection::Connection() : call_bound(driver_timeout_from_environment()) {}

Connection::~Connection() {
  try {
    close();
  } catch (...) {
  }
}

std::shared_ptr<Connection> Connection::start(const DriverLocation& where) {
  return _over(std::make_unique<_Transport>(where));
}

std::shared_ptr<Connection> Connection::_over(std::unique_ptr<_Wire> wire) {
  auto c = std::shared_ptr<Connection>(new Connection());
  c->transport_ = std::move(wire);
  auto root = std::make_unique<_Entry>();
  root->object = std::make_shared<RemoteObject>(c, "Root", "", json::object());
  c->objects_[""] = std::move(root);
  c->_initialize();
  return c;
}

void Connection::_initialize() {
  // "python": the driver then words its messages for a snake_case API.
  // No driver-side timeout: a driver that never comes up fails after the
  // call bound.
  json result = call("", "initialize", {{"sdkLanguage", "python"}}, 0);
  auto playwright = _object_or_throw(result.at("playwright").at("guid").get<std::string>());
  playwright_initializer_ = playwright->initializer();
}

pid_t Connection::pid() const { return transport_ ? transport_->pid() : 0; }

void Connection::note_processes() {
  if (transport_) transport_->remember_processes();
}

std::shared_ptr<_CallState> Connection::queue(const std::string& guid, const std::string& method,
                                              json params, std::optional<double> timeout_ms) {
  auto state = std::make_shared<_CallState>();
  state->id = ++last_id_;
  auto target = objects_.find(guid);
  state->what = (target != objects_.end() ? target->second->object->type() : std::string("?")) + "." + method;
  double timeout = timeout_ms.value_or(default_timeout_ms);
  auto bound = std::max<std::chrono::milliseconds>(
      call_bound, std::chrono::milliseconds(static_cast<long long>(timeout)) + _ANSWER_GRACE);
  if (timeout <= 0) bound = call_bound;
  state->deadline = Clock::now() + bound;
  if (closed_) {
    state->done = true;
    state->error = _closed_error();
    return state;
  }
  json metadata = json::object();
  if (timeout > 0) metadata["timeout"] = timeout;
  json message = {{"id", state->id}, {"guid", guid}, {"method", method}, {"params", std::move(params)},
                  {"metadata", std::move(metadata)}};
  std::string text;
  try {
    text = message.dump();
  } catch (const json::exception&) {
    throw std::invalid_argument("cannot send " + state->what + ": its text is not valid UTF-8");
  }
  transport_->queue(text);
  in_flight_[state->id] = state;
  return state;
}

void Connection::send_and_forget(const std::string& guid, const std::string& method, json params) {
  auto state = queue(guid, method, std::move(params), 0);
  _pump(Clock::now());
}

json Connection::call(const std::string& guid, const std::string& method, json params,
                      std::optional<double> timeout_ms) {
  auto state = queue(guid, method, std::move(params), timeout_ms);
  wait({state});
  if (state->error) std::rethrow_exception(state->error);
  return state->result;
}

void Connection::wait(const std::vector<std::shared_ptr<_CallState>>& calls) {
  for (;;) {
    auto earliest = Clock::time_point::max();
    for (const auto& c : calls)
      if (!c->done) earliest = std::min(earliest, c->deadline);
    if (earliest == Clock::time_point::max()) return;
    if (closed_) {
      _fail_all(closed_reason_);
      for (const auto& c : calls)
        if (!c->done) {
          c->done = true;
          c->error = _closed_error();
        }
      return;
    }
    if (interrupt) {
      if (std::optional<std::string> why = interrupt()) {
        for (const auto& c : calls)
          if (!c->done) {
            in_flight_.erase(c->id);  // its answer, when it comes, is dropped
            c->done = true;
            c->error = std::make_exception_ptr(Interrupted(*why));
          }
        return;
      }
    }
    auto now = Clock::now();
    if (answer_by && now >= *answer_by) {
      std::string stuck;
      for (const auto& c : calls)
        if (!c->done) stuck = c->what;
      abandon("the browser stopped answering: no answer to " + stuck +
              " in time; the driver and the browser were stopped");
      continue;
    }
    if (now >= earliest) {
      std::string stuck;
      for (const auto& c : calls)
        if (!c->done && c->deadline <= now) stuck = c->what;
      auto waited = std::chrono::duration_cast<std::chrono::seconds>(call_bound).count();
      closed_reason_ = "the Playwright driver gave no answer to " + stuck + " within its bound (" +
                       std::to_string(waited) + " s or the call's timeout plus 30 s) and was stopped";
      close();
      continue;
    }
    // Watched waits look up often; others sleep until something arrives.
    auto step = interrupt || answer_by ? std::chrono::milliseconds(50) : std::chrono::milliseconds(1000);
    auto until = std::min(earliest, now + step);
    if (answer_by) until = std::min(until, std::max(now, *answer_by));
    _pump(until);
  }
}

void Connection::_pump(Clock::time_point until) {
  if (closed_ || !transport_) return;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
  bool open = transport_->pump(std::max(left, std::chrono::milliseconds(0)));
  try {
    while (!closed_ && transport_) {
      auto message = transport_->next_message();
      if (!message) break;
      repair_lone_surrogates(*message);
      _dispatch(json::parse(*message));
    }
  } catch (const json::exception& e) {
    closed_reason_ = std::string("the Playwright driver sent a message that is not valid JSON (") + e.what() + ")";
    close();
    return;
  } catch (const ConnectionError& e) {
    closed_reason_ = e.what();
    close();
    return;
  }
  if (!open && !closed_) {
    closed_reason_ = transport_->closed_reason();
    close();
    return;
  }
  // Answers queued while dispatching (a dialog dismissed on the page's
  // behalf) go out now, not with the next call.
  if (!closed_ && transport_ && transport_->has_output()) transport_->pump(std::chrono::milliseconds(0));
}

void Connection::_dispatch(json message) {
  if (message.contains("id") && !message.contains("method")) {
    auto it = in_flight_.find(message["id"].get<int>());
    if (it == in_flight_.end()) return;  // forgotten, or already failed
    auto state = it->second;
    in_flight_.erase(it);
    state->done = true;
    if (message.contains("error") && !message.contains("result"))
      state->error = _error_of(message);
    else
      state->result = message.contains("result") ? message["result"] : json::object();
    return;
  }
  std::string guid = message.value("guid", "");
  std::string method = message.value("method", "");
  const json params = message.contains("params") ? message["params"] : json::object();
  if (method == "__create__") return _create(guid, params);
  if (method == "__dispose__") return _dispose(guid);
  if (method == "__adopt__") {
    auto child = objects_.find(params.value("guid", ""));
    auto parent = objects_.find(guid);
    if (child == objects_.end() || parent == objects_.end()) return;
    auto old = objects_.find(child->second->parent);
    if (old != objects_.end()) std::erase(old->second->children, child->first);
    child->second->parent = guid;
    parent->second->children.push_back(child->first);
    return;
  }
  _dispatch_event(guid, method, params);
}

void Connection::_dispatch_event(const std::string& guid, const std::string& method, const json& params) {
  auto it = objects_.find(guid);
  if (it == objects_.end()) return;  // an event for an object already gone
  auto object = it->second->object;
  try {
    object->_on_event(method, params);
  } catch (const ConnectionError&) {
    throw;
  } catch (const std::exception& e) {
    std::cerr << "plainstep: handling the driver's " << object->type() << " '" << method
              << "' event failed: " << e.what() << "\n";
  }
}

void Connection::_create(const std::string& parent, const json& params) {
  std::string guid = params.at("guid").get<std::string>();
  auto entry = std::make_unique<_Entry>();
  entry->object = _make(weak_from_this(), params.at("type").get<std::string>(), guid,
                        params.contains("initializer") ? params["initializer"] : json::object());
  entry->parent = parent;
  auto p = objects_.find(parent);
  if (p != objects_.end()) p->second->children.push_back(guid);
  objects_[guid] = std::move(entry);
}

void Connection::_dispose(const std::string& guid) {
  auto it = objects_.find(guid);
  if (it == objects_.end()) return;
  auto children = it->second->children;
  for (const auto& child : children) _dispose(child);
  it = objects_.find(guid);
  if (it == objects_.end()) return;
  auto object = it->second->object;
  auto parent = objects_.find(it->second->parent);
  if (parent != objects_.end()) std::erase(parent->second->children, guid);
  objects_.erase(it);
  object->disposed_ = true;
  object->_on_dispose();
}

void Connection::_fail_all(const std::string& why) {
  auto pending = std::move(in_flight_);
  in_flight_.clear();
  for (auto& [id, state] : pending) {
    state->done = true;
    state->error = std::make_exception_ptr(ConnectionError(state->what + " failed: " + why));
  }
}

std::exception_ptr Connection::_closed_error() const {
  return std::make_exception_ptr(ConnectionError(
      closed_reason_.empty() ? std::string("the Playwright driver has been stopped") : closed_reason_));
}

std::shared_ptr<RemoteObject> Connection::object(const std::string& guid) const {
  auto it = objects_.find(guid);
  return it == objects_.end() ? nullptr : it->second->object;
}

std::shared_ptr<RemoteObject> Connection::_object_or_throw(const std::string& guid) const {
  auto obj = object(guid);
  if (!obj) throw Error("Playwright driver referred to an object it never created or already disposed (" + guid + ")");
  return obj;
}

std::shared_ptr<RemoteObject> Connection::parent(const std::string& guid) const {
  auto it = objects_.find(guid);
  return it == objects_.end() ? nullptr : object(it->second->parent);
}

std::vector<std::shared_ptr<RemoteObject>> Connection::objects_of(const std::string& type) const {
  std::vector<std::shared_ptr<RemoteObject>> found;
  for (const auto& [guid, entry] : objects_)
    if (entry->object->type() == type) found.push_back(entry->object);
  return found;
}

void Connection::close() { _close(_STOP_GRACE); }

void Connection::abandon(const std::string& reason) {
  if (closed_) return;
  closed_reason_ = reason;
  // A stuck process is not waited for: it would not answer a polite stop.
  _close(std::chrono::milliseconds(200));
}

void Connection::_close(std::chrono::milliseconds grace) {
  if (!transport_) {
    closed_ = true;
    return;
  }
  closed_ = true;
  answer_by.reset();
  interrupt = nullptr;
  if (closed_reason_.empty()) closed_reason_ = "the Playwright driver has been stopped";
  _fail_all(closed_reason_);
  transport_->terminate(grace);
  transport_.reset();
  auto objects = std::move(objects_);
  objects_.clear();
  for (auto& [guid, entry] : objects) {
    entry->object->disposed_ = true;
    entry->object->_on_dispose();
  }
}

}  // namespace pw
