#pragma once
// The one error type shared by every module: an argument or record field of
// the wrong kind. Derived from std::invalid_argument, so callers that treat
// every bad input alike may catch that instead.
#include <stdexcept>
#include <string>

namespace plainstep {

class TypeError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

}  // namespace plainstep
