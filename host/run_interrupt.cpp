#include "run_interrupt.hpp"

#include <csignal>

namespace plainstep::host {

namespace {

volatile std::sig_atomic_t _caught = 0;
struct sigaction _old_int, _old_term;

void _on_signal(int sig) {
  if (_caught) {  // asked twice: stop now
    std::signal(sig, SIG_DFL);
    std::raise(sig);
    return;
  }
  _caught = sig;
}

}  // namespace

StopRequests::StopRequests() {
  _caught = 0;
  struct sigaction on {};
  on.sa_handler = _on_signal;
  sigemptyset(&on.sa_mask);
  // Calls into the driver go on where they were: the run stops between steps.
  on.sa_flags = SA_RESTART;
  sigaction(SIGINT, &on, &_old_int);
  sigaction(SIGTERM, &on, &_old_term);
}

StopRequests::~StopRequests() {
  sigaction(SIGINT, &_old_int, nullptr);
  sigaction(SIGTERM, &_old_term, nullptr);
}

int StopRequests::signal() { return _caught; }

}  // namespace plainstep::host
