#pragma once
// Errors of the Playwright driver client.
#include <stdexcept>
#include <string>

namespace pw {

// An error the driver reported for one call; the message is the driver's
// own, unchanged.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The driver gave up waiting (for an element, a navigation, a load state).
class TimeoutError : public Error {
 public:
  using Error::Error;
};

// The driver itself is gone or stuck: the node process exited or crashed,
// closed its pipe, sent something unreadable, or did not answer a call
// within the call bound. Every later call on the same connection fails too.
class ConnectionError : public Error {
 public:
  using Error::Error;
};

// A wait given up on the caller's behalf (see Connection::interrupt): the
// calls it waited for were forgotten, the driver is fine. Not a pw::Error,
// so per-element guards of page reading never swallow it.
class Interrupted : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace pw
