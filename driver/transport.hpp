#pragma once
// The node process running the driver, and the framed pipe to it.
// Internal to the driver library.
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "driver/processes.hpp"

namespace pw {

struct DriverLocation;

// What a connection speaks the protocol through: the pipe to a driver it
// started, or a browser server that driver reached (see json_pipe.hpp).
class _Wire {
 public:
  virtual ~_Wire() = default;
  virtual void queue(const std::string& message) = 0;
  virtual bool has_output() const = 0;
  virtual bool pump(std::chrono::milliseconds timeout) = 0;
  virtual std::optional<std::string> next_message() = 0;
  virtual std::string closed_reason() = 0;
  virtual void terminate(std::chrono::milliseconds grace) = 0;
  virtual pid_t pid() const = 0;
  virtual void remember_processes() = 0;
};

class _Transport final : public _Wire {
 public:
  // Starts node <playwright_dir>/cli.js run-driver with its stdin and stdout
  // on one end of a socket pair. Throws ConnectionError when it cannot.
  explicit _Transport(const DriverLocation& where);
  ~_Transport() override;  // terminate()

  _Transport(const _Transport&) = delete;
  _Transport& operator=(const _Transport&) = delete;

  // Appends one framed message to the outgoing buffer.
  void queue(const std::string& message) override;
  bool has_output() const override { return out_pos_ < out_.size(); }

  // Waits up to `timeout` for the pipe, writes what it can, reads what has
  // arrived. Returns false once the driver's end is closed (EOF, reset, or
  // the process gone); the reason is then in closed_reason().
  bool pump(std::chrono::milliseconds timeout) override;

  // The next complete message received, or nullopt.
  std::optional<std::string> next_message() override;

  // Why the pipe closed: the process's exit status or signal, and the tail
  // of what it wrote to standard error.
  std::string closed_reason() override;

  // Ends the driver: shuts the pipe (the driver then closes its browsers and
  // exits), waits up to `grace`, then kills node and any browser process it
  // left behind, and reaps node. Idempotent.
  void terminate(std::chrono::milliseconds grace) override;

  pid_t pid() const override { return pid_; }

  // Remembers the processes below node now (a browser just launched), so
  // they are ended with the driver even when node dies first and they are
  // no longer below it.
  void remember_processes() override;

 private:
  void _read_stderr();
  bool _reap(bool block);
  std::vector<ProcessId> _descendants() const;

  pid_t pid_ = 0;
  int sock_ = -1;
  int err_ = -1;
  std::string out_;
  size_t out_pos_ = 0;
  std::string in_;
  size_t in_pos_ = 0;
  std::string stderr_tail_;
  bool eof_ = false;
  std::optional<int> exit_status_;  // raw waitpid status once reaped
  std::vector<ProcessId> known_;
};

}  // namespace pw
