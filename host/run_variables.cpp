#include "run_variables.hpp"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "text/text.hpp"

namespace plainstep::host {

namespace {

bool _name_char(char c, bool first) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (!first && c >= '0' && c <= '9');
}

bool _is_name(std::string_view n) {
  if (n.empty()) return false;
  for (size_t i = 0; i < n.size(); ++i)
    if (!_name_char(n[i], i == 0)) return false;
  return true;
}

// One ${NAME} of a text: where it starts, where it ends, the name; an
// escaped $${NAME} has `escaped` set and stands for itself less one "$".
struct _Use {
  size_t begin, end;
  std::string name;
  bool escaped;
};

std::vector<_Use> _uses(std::string_view text) {
  std::vector<_Use> out;
  for (size_t at = text.find("${"); at != std::string_view::npos; at = text.find("${", at + 1)) {
    size_t close = text.find('}', at + 2);
    if (close == std::string_view::npos) break;
    std::string_view name = text.substr(at + 2, close - at - 2);
    if (!_is_name(name)) continue;
    const bool escaped = at > 0 && text[at - 1] == '$';
    out.push_back({escaped ? at - 1 : at, close + 1, std::string(name), escaped});
    at = close;
  }
  return out;
}

}  // namespace

std::vector<std::string> variables_in(std::string_view text) {
  std::vector<std::string> names;
  for (const _Use& u : _uses(text))
    if (!u.escaped && std::find(names.begin(), names.end(), u.name) == names.end())
      names.push_back(u.name);
  return names;
}

bool secret_name(std::string_view name) {
  std::string upper(name);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  for (std::string_view word : {"PASSWORD", "SECRET", "TOKEN", "KEY"})
    if (upper.find(word) != std::string::npos) return true;
  return false;
}

std::pair<std::string, std::string> parse_var_argument(std::string_view argument) {
  size_t eq = argument.find('=');
  if (eq == std::string_view::npos)
    throw std::invalid_argument("--var " + text::quoted_literal(argument) +
                                " needs the form NAME=VALUE");
  std::string name(argument.substr(0, eq));
  if (!_is_name(name))
    throw std::invalid_argument("--var " + text::quoted_literal(argument) + ": the name " +
                                text::quoted_literal(name) +
                                " must be letters, digits and _, not starting with a digit");
  return {name, std::string(argument.substr(eq + 1))};
}

Variables::Variables(std::map<std::string, std::string> given, std::set<std::string> masked)
    : given_(std::move(given)), masked_(std::move(masked)) {
  for (const auto& [name, value] : given_) _note(name, value);
}

bool Variables::is_secret(const std::string& name) const {
  return secret_name(name) || masked_.count(name) > 0;
}

void Variables::_note(const std::string& name, const std::string& value) {
  if (is_secret(name) && !value.empty()) secret_values_.insert(value);
}

void Variables::remember(const std::string& name, const std::string& value) {
  remembered_[name] = value;
  _note(name, value);
}

std::optional<std::string> Variables::value_of(const std::string& name) const {
  if (auto it = remembered_.find(name); it != remembered_.end()) return it->second;
  if (auto it = given_.find(name); it != given_.end()) return it->second;
  if (const char* env = std::getenv(name.c_str())) return std::string(env);
  return std::nullopt;
}

std::string Variables::expand(std::string_view text) {
  std::string out;
  size_t from = 0;
  for (const _Use& u : _uses(text)) {
    out.append(text.substr(from, u.begin - from));
    from = u.end;
    if (u.escaped) {
      out.append(text.substr(u.begin + 1, u.end - u.begin - 1));
      continue;
    }
    std::optional<std::string> value = value_of(u.name);
    if (!value)
      throw std::invalid_argument(
          "unknown variable ${" + u.name + "}: no step before it remembers it (remember text ... as " +
          u.name + "), and no --var " + u.name + "=... or environment variable " + u.name +
          " sets it");
    _note(u.name, *value);
    out.append(*value);
  }
  out.append(text.substr(from));
  return out;
}

ParsedInstruction Variables::expand(const ParsedInstruction& parsed) {
  ParsedInstruction p = parsed;
  if (p.target) p.target = expand(*p.target);
  if (p.value) p.value = expand(*p.value);
  return p;
}

std::string Variables::mask(std::string text) const {
  // Longer values first, so a value that holds a shorter one is hidden whole.
  std::vector<std::string> values(secret_values_.begin(), secret_values_.end());
  std::sort(values.begin(), values.end(),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  for (const std::string& v : values) text = text::replace_all(text, v, MASK);
  return text;
}

}  // namespace plainstep::host
