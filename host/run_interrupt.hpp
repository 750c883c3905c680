#pragma once
// Ctrl-C and SIGTERM during a run. The first asks the run to stop once the
// step running has ended: the files not finished are reported as not run
// and every report is still written. A second ends the program at once.
namespace plainstep::host {

class StopRequests {
 public:
  StopRequests();   // starts listening
  ~StopRequests();  // the signals do what they did before

  StopRequests(const StopRequests&) = delete;
  StopRequests& operator=(const StopRequests&) = delete;

  // The signal that asked the run to stop (SIGINT, SIGTERM), or 0.
  static int signal();
};

}  // namespace plainstep::host
