#pragma once
// What every resolution and verification returns. An operation sets only
// the fields it has; JSON writes exactly those, in this order:
// resolved, verified, confidence, element, extracted, state,
// anchor_text, ordinal, type_relaxed, actual_type, candidates.
#include <optional>
#include <string>

#include "records/element.hpp"

namespace plainstep {

// Observed state of a verification; an empty State is the empty map.
struct State {
  std::optional<bool> present;
  std::optional<bool> visible;
  std::optional<bool> enabled;
  std::optional<std::string> expected;
  std::optional<std::string> actual;

  bool operator==(const State&) const = default;
};

// Extra fields of a success on the spatial path.
struct SpatialDetails {
  std::string anchor_text;
  int ordinal = 1;
  bool type_relaxed = false;
  std::optional<std::string> actual_type;  // written as null when absent

  bool operator==(const SpatialDetails&) const = default;
};

struct ResolutionResult {
  bool resolved = false;
  std::optional<bool> verified;
  double confidence = 0.0;
  ElementRef element;                     // null when nothing was found
  std::optional<std::string> extracted;
  std::optional<State> state;
  std::optional<SpatialDetails> spatial;
  Elements candidates;
};

inline json to_json(const State& s) {
  json j = json::object();
  if (s.present) j["present"] = *s.present;
  if (s.visible) j["visible"] = *s.visible;
  if (s.enabled) j["enabled"] = *s.enabled;
  if (s.expected) j["expected"] = *s.expected;
  if (s.actual) j["actual"] = *s.actual;
  return j;
}

inline json to_json(const ResolutionResult& r) {
  json j = json::object();
  j["resolved"] = r.resolved;
  if (r.verified) j["verified"] = *r.verified;
  j["confidence"] = r.confidence;
  j["element"] = to_json(r.element);
  if (r.extracted) j["extracted"] = *r.extracted;
  if (r.state) j["state"] = to_json(*r.state);
  if (r.spatial) {
    j["anchor_text"] = r.spatial->anchor_text;
    j["ordinal"] = r.spatial->ordinal;
    j["type_relaxed"] = r.spatial->type_relaxed;
    j["actual_type"] = r.spatial->actual_type ? json(*r.spatial->actual_type) : json(nullptr);
  }
  j["candidates"] = to_json(r.candidates);
  return j;
}

inline State state_from_json(const json& j) {
  using namespace json_read;
  expect_object(j, "state");
  State s;
  s.present = opt_bool(j, "present", "state");
  s.visible = opt_bool(j, "visible", "state");
  s.enabled = opt_bool(j, "enabled", "state");
  s.expected = opt_string(j, "expected", "state");
  s.actual = opt_string(j, "actual", "state");
  return s;
}

// Elements are read back as new records (identity is not kept through JSON).
inline ResolutionResult resolution_result_from_json(const json& j) {
  using namespace json_read;
  expect_object(j, "resolution result");
  const char* R = "resolution result";
  ResolutionResult r;
  r.resolved = opt_bool(j, "resolved", R).value_or(false);
  r.verified = opt_bool(j, "verified", R);
  r.confidence = opt_number(j, "confidence", R).value_or(0.0);
  if (const json* e = find(j, "element")) r.element = element_ref_from_json(*e);
  r.extracted = opt_string(j, "extracted", R);
  if (const json* s = find(j, "state"); s && !s->is_null()) r.state = state_from_json(*s);
  if (find(j, "anchor_text") || find(j, "type_relaxed")) {
    SpatialDetails d;
    d.anchor_text = opt_string(j, "anchor_text", R).value_or("");
    d.ordinal = static_cast<int>(opt_integer(j, "ordinal", R).value_or(1));
    d.type_relaxed = opt_bool(j, "type_relaxed", R).value_or(false);
    d.actual_type = opt_string(j, "actual_type", R);
    r.spatial = d;
  }
  if (const json* c = find(j, "candidates"); c && !c->is_null()) r.candidates = elements_from_json(*c);
  return r;
}

}  // namespace plainstep
