#include "driver/serializer.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>

#include "driver/errors.hpp"

namespace pw {

namespace {

json _number(double n) {
  if (std::isnan(n) || std::isinf(n)) return nullptr;
  if (n == 0) return 0;  // -0 too
  if (std::floor(n) == n && std::fabs(n) < 9007199254740992.0) return static_cast<int64_t>(n);
  return n;
}

json _big_integer(const std::string& text) {
  try {
    size_t used = 0;
    long long v = std::stoll(text, &used);
    if (used == text.size()) return static_cast<int64_t>(v);
  } catch (const std::exception&) {
  }
  return text;
}

template <class T>
json _typed_numbers(const std::string& bytes) {
  json out = json::array();
  for (size_t i = 0; i + sizeof(T) <= bytes.size(); i += sizeof(T)) {
    T v;
    std::memcpy(&v, bytes.data() + i, sizeof(T));
    if constexpr (std::is_floating_point_v<T>)
      out.push_back(_number(static_cast<double>(v)));
    else
      out.push_back(v);
  }
  return out;
}

json _typed_array(const json& ta) {
  std::string bytes = base64_decode(ta.value("b", ""));
  std::string kind = ta.value("k", "");
  if (kind == "i8") return _typed_numbers<int8_t>(bytes);
  if (kind == "ui8" || kind == "ui8c") return _typed_numbers<uint8_t>(bytes);
  if (kind == "i16") return _typed_numbers<int16_t>(bytes);
  if (kind == "ui16") return _typed_numbers<uint16_t>(bytes);
  if (kind == "i32") return _typed_numbers<int32_t>(bytes);
  if (kind == "ui32") return _typed_numbers<uint32_t>(bytes);
  if (kind == "f32") return _typed_numbers<float>(bytes);
  if (kind == "f64") return _typed_numbers<double>(bytes);
  if (kind == "bi64") return _typed_numbers<int64_t>(bytes);
  if (kind == "bui64") return _typed_numbers<uint64_t>(bytes);
  throw Error("Playwright driver sent a typed array of unknown kind '" + kind + "'");
}

struct _Parser {
  // Objects and arrays already complete; a reference to one still open
  // (an enclosing one) is a cycle.
  std::map<int64_t, json> done;

  json parse(const json& v) {
    if (!v.is_object()) throw Error("Playwright driver sent a value of no known form: " + v.dump());
    if (v.contains("ref")) {
      auto it = done.find(v["ref"].get<int64_t>());
      return it == done.end() ? json(nullptr) : it->second;
    }
    if (v.contains("n")) return _number(v["n"].get<double>());
    if (v.contains("s")) return v["s"];
    if (v.contains("b")) return v["b"];
    if (v.contains("v")) {
      std::string s = v["v"].get<std::string>();
      if (s == "-0") return 0;
      return nullptr;  // null, undefined, NaN, Infinity, -Infinity
    }
    if (v.contains("d")) return v["d"];
    if (v.contains("u")) return v["u"];
    if (v.contains("bi")) return _big_integer(v["bi"].get<std::string>());
    if (v.contains("e")) {
      const json& e = v["e"];
      return json{{"name", e.value("n", "")}, {"message", e.value("m", "")}, {"stack", e.value("s", "")}};
    }
    if (v.contains("r")) return "/" + v["r"].value("p", "") + "/" + v["r"].value("f", "");
    if (v.contains("ta")) return _typed_array(v["ta"]);
    if (v.contains("a") || v.contains("o")) return _container(v);
    if (v.contains("h") || v.contains("fn")) return nullptr;
    throw Error("Playwright driver sent a value of no known form: " + v.dump());
  }

  json _container(const json& v) {
    int64_t id = v.contains("id") ? v["id"].get<int64_t>() : -1;
    json out;
    if (v.contains("a")) {
      out = json::array();
      for (const auto& item : v["a"]) out.push_back(parse(item));
    } else {
      out = json::object();
      for (const auto& item : v["o"]) out[item.at("k").get<std::string>()] = parse(item.at("v"));
    }
    if (id >= 0) done[id] = out;
    return out;
  }
};

json _serialize(const json& value, int& last_id) {
  switch (value.type()) {
    case json::value_t::null:
    case json::value_t::discarded:
      return {{"v", "null"}};
    case json::value_t::boolean:
      return {{"b", value.get<bool>()}};
    case json::value_t::number_integer:
    case json::value_t::number_unsigned:
    case json::value_t::number_float:
      return {{"n", value}};
    case json::value_t::string:
      return {{"s", value}};
    case json::value_t::array: {
      json a = json::array();
      int id = ++last_id;
      for (const auto& item : value) a.push_back(_serialize(item, last_id));
      return {{"a", a}, {"id", id}};
    }
    case json::value_t::object: {
      json o = json::array();
      int id = ++last_id;
      for (const auto& [k, v] : value.items()) o.push_back({{"k", k}, {"v", _serialize(v, last_id)}});
      return {{"o", o}, {"id", id}};
    }
    case json::value_t::binary:
      break;
  }
  throw Error("cannot pass a binary JSON value to the page");
}

}  // namespace

json serialize_value(const json& value) {
  int last_id = 0;
  return _serialize(value, last_id);
}

json parse_value(const json& serialized) { return _Parser{}.parse(serialized); }

json serialize_argument(const json& value) {
  return {{"value", serialize_value(value)}, {"handles", json::array()}};
}

std::string base64_decode(const std::string& text) {
  static const auto table = [] {
    std::array<int, 256> t{};
    t.fill(-1);
    const char* chars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(chars[i])] = i;
    return t;
  }();
  std::string out;
  out.reserve(text.size() / 4 * 3);
  uint32_t acc = 0;
  int bits = 0;
  for (unsigned char c : text) {
    if (c == '=') break;
    int v = table[c];
    if (v < 0) {
      if (c == '\n' || c == '\r' || c == ' ') continue;
      throw Error("Playwright driver sent malformed base64 data");
    }
    acc = (acc << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((acc >> bits) & 0xff));
    }
  }
  return out;
}

}  // namespace pw
