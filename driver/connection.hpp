#pragma once
// The thin core every remote object stands on: one running Playwright
// driver (node <playwright-core>/cli.js run-driver), the framed JSON pipe to
// it, the table of remote objects by guid, and the calls in flight.
//
// Single-threaded: calls block the caller's thread and events (dialogs,
// navigations, object creation) are dispatched on it while it waits.
#include <sys/types.h>

#include <chrono>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/types.hpp"

namespace pw {

class RemoteObject;
class _PipeWire;
class _Wire;

// Where the driver and the browser come from. Empty members are found on
// the machine (see locate_driver()).
struct DriverLocation {
  std::string node;            // node executable
  std::string playwright_dir;  // the playwright-core package folder
};

// node from PLAINSTEP_NODE or PATH; playwright-core from
// PLAINSTEP_PLAYWRIGHT_DIR, else node_modules/playwright-core next to the
// running binary or one of its parent folders, else the source tree.
// Throws ConnectionError naming what was looked for where.
DriverLocation locate_driver();

// The bound of PLAINSTEP_DRIVER_TIMEOUT (seconds), 60 s when unset. Throws
// std::invalid_argument naming the variable and its value when it is not a
// plain number of seconds from 0.001 to 86400.
std::chrono::milliseconds driver_timeout_from_environment();
// The same for any variable of seconds, `fallback` when it is unset.
std::chrono::milliseconds seconds_from_environment(const char* name, std::chrono::milliseconds fallback);

// One call on the wire and, once it arrives, its answer.
struct _CallState {
  int id = 0;
  std::string what;  // "Frame.goto", for messages
  bool done = false;
  json result;                // the call's result object when it succeeded
  std::exception_ptr error;   // the call's pw::Error otherwise
  std::chrono::steady_clock::time_point deadline;
};

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  // Starts the driver and completes the protocol's initialize; the result
  // holds the Playwright object's initializer. Throws ConnectionError when
  // node or the package cannot be found or the driver does not come up.
  static std::shared_ptr<Connection> start(const DriverLocation& where);
  // The same over another wire (a browser server reached through a driver).
  static std::shared_ptr<Connection> _over(std::unique_ptr<_Wire> wire);
  ~Connection();  // same as close()

  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Sends one call and blocks until its answer; returns its result object
  // or throws its pw::Error (TimeoutError for driver timeouts).
  // `timeout_ms` overrides default_timeout_ms for this call.
  json call(const std::string& guid, const std::string& method, json params = json::object(),
            std::optional<double> timeout_ms = std::nullopt);

  // Queues a call without sending it yet; flush() or wait() sends.
  std::shared_ptr<_CallState> queue(const std::string& guid, const std::string& method,
                                    json params = json::object(),
                                    std::optional<double> timeout_ms = std::nullopt);
  // Sends a call whose answer nobody waits for (a dialog dismissed on the
  // page's behalf).
  void send_and_forget(const std::string& guid, const std::string& method,
                       json params = json::object());
  // Sends everything queued and blocks until every given call is answered
  // or has failed; never throws for a call's own error (see _CallState).
  void wait(const std::vector<std::shared_ptr<_CallState>>& calls);

  // The remote object with this guid, or nullptr when unknown or disposed.
  std::shared_ptr<RemoteObject> object(const std::string& guid) const;
  // The object a protocol reference {"guid": ...} names, as type T;
  // nullptr for a missing reference. Throws Error when it is of another type.
  template <class T>
  std::shared_ptr<T> object_as(const json& ref) const;
  // The object that created this one on the driver's side (a page's
  // browser context, a frame's page...), or nullptr.
  std::shared_ptr<RemoteObject> parent(const std::string& guid) const;
  // Every live object of a protocol type ("Browser", "Page", ...).
  std::vector<std::shared_ptr<RemoteObject>> objects_of(const std::string& type) const;

  const json& playwright_initializer() const { return playwright_initializer_; }

  // Ends the driver: closes the pipe, waits for node (and the browsers it
  // started) to exit, kills what is left after a grace period. Every call
  // pending or made later fails with ConnectionError. Idempotent.
  void close();
  bool is_closed() const { return closed_; }
  // Stops a driver taken for stuck: like close(), with no grace for the
  // processes, and `reason` as what every call fails with.
  void abandon(const std::string& reason);
  pid_t pid() const;  // the node process; 0 once it has been waited for
  // Remembers the processes the driver has started so far (browsers), so
  // close() ends them even when the driver has died and left them behind.
  void note_processes();

  // Asked while a call is waited for, between reads of the driver's
  // messages (so after every event): a reason stops the wait, the calls
  // waited for are forgotten (their answers dropped when they come) and
  // fail with Interrupted carrying the reason. A runner uses it to stop
  // reading a page the moment the page opens a dialog.
  std::function<std::optional<std::string>()> interrupt;

  // When set: a call still unanswered at this moment means the driver or
  // the browser stopped answering. The connection is then stopped at once
  // (node and the browsers killed), and every call fails with
  // ConnectionError saying so. A runner sets it to its step's deadline plus
  // a margin, so a stuck browser costs a step, not the call bound.
  std::optional<std::chrono::steady_clock::time_point> answer_by;

  // Playwright-side timeout of each call in milliseconds (0 = none);
  // the driver answers with TimeoutError when it passes.
  double default_timeout_ms = 30000;
  // How long a call may go without any answer before the driver is taken
  // for stuck and the call fails with ConnectionError. PLAINSTEP_DRIVER_TIMEOUT
  // (seconds) sets the default.
  std::chrono::milliseconds call_bound{60000};

 private:
  friend class _PipeWire;  // pumps the driver it reaches a browser server through
  struct _Entry;
  Connection();
  void _initialize();
  void _pump(std::chrono::steady_clock::time_point until);
  void _dispatch(json message);
  void _dispatch_event(const std::string& guid, const std::string& method, const json& params);
  void _create(const std::string& parent, const json& params);
  void _dispose(const std::string& guid);
  void _fail_all(const std::string& why);
  void _close(std::chrono::milliseconds grace);
  std::exception_ptr _closed_error() const;
  std::shared_ptr<RemoteObject> _object_or_throw(const std::string& guid) const;

  std::unique_ptr<_Wire> transport_;
  std::map<std::string, std::unique_ptr<_Entry>> objects_;
  std::map<int, std::shared_ptr<_CallState>> in_flight_;
  std::vector<std::string> queued_;  // framed messages not yet written
  json playwright_initializer_;
  int last_id_ = 0;
  bool closed_ = false;
  std::string closed_reason_;
};

}  // namespace pw

#include "driver/remote_object.hpp"

namespace pw {
template <class T>
std::shared_ptr<T> Connection::object_as(const json& ref) const {
  if (!ref.is_object() || !ref.contains("guid")) return nullptr;
  auto obj = _object_or_throw(ref["guid"].get<std::string>());
  auto typed = std::dynamic_pointer_cast<T>(obj);
  if (!typed)
    throw Error("Playwright driver sent a " + obj->type() + " where another kind of object was expected (guid " +
                obj->guid() + ")");
  return typed;
}
}  // namespace pw
