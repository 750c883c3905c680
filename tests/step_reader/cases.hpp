// What the step reader's tests share: one reader (it keeps nothing between
// steps), a step with the record it reads as, and the tail of the issue an
// unknown verb gets.
#pragma once

#include <ostream>
#include <string>

#include "agent/step_reader/step_reader.hpp"

inline const plainstep::StepReader reader;

struct ParseCase {
  const char* step;
  const char* record;  // the record as compact JSON, keys in record order
};

inline std::ostream& operator<<(std::ostream& os, const ParseCase& c) { return os << c.step; }

inline const std::string UNKNOWN_TAIL =
    ". Expected one of: click, type, verify, hover, select, press, wait, find, extract, sendkeys.";
