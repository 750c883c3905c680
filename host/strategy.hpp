#pragma once
// Resolution strategies the host can route a step to, by name ("lexical",
// "spatial", ...). Each strategy lives in its own host/strategy_*.cpp and
// registers itself.
#include <functional>
#include <map>
#include <string>

#include "records/records.hpp"

namespace plainstep::host {

using Strategy = std::function<ResolutionResult(const ParsedInstruction& parsed,
                                                const Elements& elements,
                                                const Elements& text_elements)>;

inline std::map<std::string, Strategy>& strategies() {
  static std::map<std::string, Strategy> table;
  return table;
}

struct RegisterStrategy {
  RegisterStrategy(const std::string& name, Strategy s) { strategies()[name] = std::move(s); }
};

inline const Strategy* find_strategy(const std::string& name) {
  auto it = strategies().find(name);
  return it == strategies().end() ? nullptr : &it->second;
}

}  // namespace plainstep::host
