#pragma once
// A browser server reached through a local driver: the driver holds the
// websocket (a JsonPipe object) and relays the server's protocol messages
// both ways, and a second Connection speaks that protocol over the relay.
// Internal to the driver library.
#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "driver/remote_object.hpp"
#include "driver/transport.hpp"

namespace pw {

class JsonPipe : public RemoteObject {
 public:
  using RemoteObject::RemoteObject;

  // What the server sent and not yet read, and whether the pipe closed.
  struct Inbox {
    std::deque<std::string> messages;
    bool closed = false;
    std::string reason;
  };
  const std::shared_ptr<Inbox>& inbox() const { return inbox_; }

 protected:
  void _on_event(const std::string& method, const json& params) override;
  void _on_dispose() override { inbox_->closed = true; }

 private:
  std::shared_ptr<Inbox> inbox_ = std::make_shared<Inbox>();
};

class _PipeWire final : public _Wire {
 public:
  // Owns `driver` from now on: it is stopped with the wire. The server's
  // first message (the answer to initialize, sent once its browser is up)
  // must come by `first_answer_by`.
  _PipeWire(std::shared_ptr<Connection> driver, const std::shared_ptr<JsonPipe>& pipe, std::string endpoint,
            std::chrono::steady_clock::time_point first_answer_by);
  ~_PipeWire() override;

  void queue(const std::string& message) override;
  bool has_output() const override { return false; }  // sent as queued
  bool pump(std::chrono::milliseconds timeout) override;
  std::optional<std::string> next_message() override;
  std::string closed_reason() override;
  // Closes the pipe (the server then ends what it started for us), then
  // the driver; a short grace skips the first and kills the driver.
  void terminate(std::chrono::milliseconds grace) override;
  pid_t pid() const override;
  void remember_processes() override;

 private:
  std::shared_ptr<Connection> driver_;
  std::string pipe_guid_;
  std::shared_ptr<JsonPipe::Inbox> inbox_;
  std::string endpoint_;
  std::optional<std::chrono::steady_clock::time_point> first_answer_by_;
  std::string reason_;
};

}  // namespace pw
