#pragma once
// Reading record fields from JSON: a missing key is absent, a value of the
// wrong JSON type is a TypeError that names the key and the record.
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "records/errors.hpp"

namespace plainstep {

using json = nlohmann::ordered_json;

namespace json_read {

inline const char* kind_of(const json& v) {
  switch (v.type()) {
    case json::value_t::null: return "null";
    case json::value_t::boolean: return "a boolean";
    case json::value_t::string: return "a string";
    case json::value_t::array: return "an array";
    case json::value_t::object: return "an object";
    case json::value_t::binary: return "binary data";
    case json::value_t::discarded: return "nothing";
    default: return "a number";
  }
}

[[noreturn]] inline void wrong_kind(const char* record, const char* key, const char* expected,
                                    const json& v) {
  throw TypeError(std::string(record) + " field '" + key + "' must be " + expected + ", got " +
                  kind_of(v));
}

inline void expect_object(const json& j, const char* record) {
  if (!j.is_object())
    throw TypeError(std::string(record) + " must be a JSON object, got " + kind_of(j));
}

// Present and not null: the value. Missing or null: nullopt.
inline const json* find(const json& j, const char* key) {
  auto it = j.find(key);
  if (it == j.end()) return nullptr;
  return &*it;
}

inline std::optional<std::string> opt_string(const json& j, const char* key, const char* record,
                                             bool null_is_absent = true) {
  const json* v = find(j, key);
  if (!v || (null_is_absent && v->is_null())) return std::nullopt;
  if (!v->is_string()) wrong_kind(record, key, "a string", *v);
  return v->get<std::string>();
}

inline std::optional<bool> opt_bool(const json& j, const char* key, const char* record) {
  const json* v = find(j, key);
  if (!v || v->is_null()) return std::nullopt;
  if (!v->is_boolean()) wrong_kind(record, key, "a boolean", *v);
  return v->get<bool>();
}

inline std::optional<double> opt_number(const json& j, const char* key, const char* record) {
  const json* v = find(j, key);
  if (!v || v->is_null()) return std::nullopt;
  if (!v->is_number()) wrong_kind(record, key, "a number", *v);
  return v->get<double>();
}

inline std::optional<long long> opt_integer(const json& j, const char* key, const char* record) {
  const json* v = find(j, key);
  if (!v || v->is_null()) return std::nullopt;
  if (!v->is_number_integer() && !v->is_number_unsigned()) wrong_kind(record, key, "an integer", *v);
  return v->get<long long>();
}

}  // namespace json_read
}  // namespace plainstep
