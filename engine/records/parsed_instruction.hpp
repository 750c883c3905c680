#pragma once
// What StepReader makes of one step. `ordinal` exists only for click and
// extract_text; null target and value are still written as keys.
#include <optional>
#include <string>

#include "records/json_read.hpp"
#include "records/vocabulary.hpp"

namespace plainstep {

struct ParsedInstruction {
  std::string action;
  std::optional<std::string> target;
  std::optional<std::string> value;
  std::optional<int> ordinal;
  bool literal_target = false;  // JSON key "_literal_target"

  bool operator==(const ParsedInstruction&) const = default;
};

// The action the record names, or nullopt for a name the language lacks.
inline std::optional<Action> action_of(const ParsedInstruction& p) { return action_named(p.action); }

inline json to_json(const ParsedInstruction& p) {
  json j = json::object();
  j["action"] = p.action;
  j["target"] = p.target ? json(*p.target) : json(nullptr);
  j["value"] = p.value ? json(*p.value) : json(nullptr);
  if (p.ordinal) j["ordinal"] = *p.ordinal;
  j["_literal_target"] = p.literal_target;
  return j;
}

inline ParsedInstruction parsed_instruction_from_json(const json& j) {
  using namespace json_read;
  expect_object(j, "parsed instruction");
  ParsedInstruction p;
  if (auto v = opt_string(j, "action", "parsed instruction")) p.action = *v;
  p.target = opt_string(j, "target", "parsed instruction");
  p.value = opt_string(j, "value", "parsed instruction");
  if (auto v = opt_integer(j, "ordinal", "parsed instruction")) p.ordinal = static_cast<int>(*v);
  p.literal_target = opt_bool(j, "_literal_target", "parsed instruction").value_or(false);
  return p;
}

}  // namespace plainstep
