#include "driver/json_pipe.hpp"

#include "driver/connection.hpp"

namespace pw {

using Clock = std::chrono::steady_clock;

namespace {
// Below this a stop is an abandon: the driver is killed, not asked.
constexpr std::chrono::seconds _POLITE_GRACE{1};
}  // namespace

void JsonPipe::_on_event(const std::string& method, const json& params) {
  if (method == "message") {
    if (params.contains("message")) inbox_->messages.push_back(params["message"].dump());
  } else if (method == "closed") {
    inbox_->closed = true;
    if (params.contains("reason") && params["reason"].is_string()) inbox_->reason = params["reason"];
  }
}

_PipeWire::_PipeWire(std::shared_ptr<Connection> driver, const std::shared_ptr<JsonPipe>& pipe, std::string endpoint,
                     Clock::time_point first_answer_by)
    : driver_(std::move(driver)),
      pipe_guid_(pipe->guid()),
      inbox_(pipe->inbox()),
      endpoint_(std::move(endpoint)),
      first_answer_by_(first_answer_by) {}

_PipeWire::~_PipeWire() {
  try {
    terminate(std::chrono::seconds(5));
  } catch (...) {
  }
}

void _PipeWire::queue(const std::string& message) {
  if (!driver_ || inbox_->closed) return;  // the next pump reports the close
  driver_->send_and_forget(pipe_guid_, "send", {{"message", json::parse(message)}});
}

bool _PipeWire::pump(std::chrono::milliseconds timeout) {
  if (!inbox_->messages.empty()) return true;
  if (!driver_ || driver_->is_closed() || inbox_->closed) return false;
  auto until = Clock::now() + timeout;
  if (first_answer_by_) until = std::min(until, *first_answer_by_);
  driver_->_pump(until);
  if (!inbox_->messages.empty()) {
    first_answer_by_.reset();
    return true;
  }
  if (driver_->is_closed() || inbox_->closed) return false;
  if (first_answer_by_ && Clock::now() >= *first_answer_by_) {
    reason_ = "the browser server at " + endpoint_ + " did not answer in time (its browser may still be starting, "
              "or it serves no more clients at once); nothing was started";
    return false;
  }
  return true;
}

std::optional<std::string> _PipeWire::next_message() {
  if (inbox_->messages.empty()) return std::nullopt;
  std::string message = std::move(inbox_->messages.front());
  inbox_->messages.pop_front();
  return message;
}

std::string _PipeWire::closed_reason() {
  if (!reason_.empty()) return reason_;
  if (inbox_->closed)
    return "the browser server at " + endpoint_ + " closed the connection" +
           (inbox_->reason.empty() ? std::string() : " (" + inbox_->reason + ")");
  if (driver_ && driver_->is_closed())
    return "the Playwright driver that reached the browser server at " + endpoint_ + " stopped: " +
           driver_->closed_reason_;
  return "the connection to the browser server at " + endpoint_ + " was closed";
}

void _PipeWire::terminate(std::chrono::milliseconds grace) {
  if (!driver_) return;
  auto driver = std::move(driver_);
  driver_.reset();
  if (grace < _POLITE_GRACE) {
    driver->abandon("the connection to the browser server at " + endpoint_ + " was given up");
    return;
  }
  if (!driver->is_closed() && !inbox_->closed) {
    driver->answer_by = Clock::now() + grace;
    try {
      driver->call(pipe_guid_, "close", json::object(), 0);
    } catch (const std::exception&) {
      // The driver is stopped below either way.
    }
    driver->answer_by.reset();
  }
  driver->close();
}

pid_t _PipeWire::pid() const { return driver_ ? driver_->pid() : 0; }

void _PipeWire::remember_processes() {
  if (driver_) driver_->note_processes();
}

}  // namespace pw
