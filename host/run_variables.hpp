#pragma once
// Variables of a run: ${NAME} in a step stands for a value remembered by an
// earlier step (remember text ... as NAME), given with --var NAME=VALUE, or
// taken from the environment, in that order. Values of secret variables
// (a name holding PASSWORD, SECRET, TOKEN or KEY, or given with --mask)
// are shown as **** wherever a run shows or writes text.
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "records/records.hpp"

namespace plainstep::host {

// How a secret value is shown.
inline constexpr std::string_view MASK = "****";

// The names ${...} refers to in `text`, in order, each once. `$${NAME}` is
// the text ${NAME}, no variable.
std::vector<std::string> variables_in(std::string_view text);

// Whether the name marks its value secret by itself (PASSWORD, SECRET,
// TOKEN or KEY in it, in any case).
bool secret_name(std::string_view name);

// "NAME=VALUE" of --var; throws std::invalid_argument naming the argument
// when it has no "=" or the name is not a variable name.
std::pair<std::string, std::string> parse_var_argument(std::string_view argument);

class Variables {
 public:
  Variables() = default;
  Variables(std::map<std::string, std::string> given, std::set<std::string> masked);

  // A value a step remembered; it replaces an earlier one of that name.
  void remember(const std::string& name, const std::string& value);

  // The value of ${name}: remembered, given, then the environment.
  std::optional<std::string> value_of(const std::string& name) const;

  // `text` with every ${NAME} replaced by its value. Throws
  // std::invalid_argument naming the first variable with no value.
  std::string expand(std::string_view text);

  // The record with ${NAME} replaced in its target and value. A value takes
  // the place of its ${NAME} whole: keywords or quotes in it never change
  // how the step reads.
  ParsedInstruction expand(const ParsedInstruction& parsed);

  bool is_secret(const std::string& name) const;

  // `text` with every secret value used so far shown as ****.
  std::string mask(std::string text) const;
  // True when some secret value is known, so that what is written must be
  // masked.
  bool has_secrets() const { return !secret_values_.empty(); }

  const std::map<std::string, std::string>& given() const { return given_; }

 private:
  void _note(const std::string& name, const std::string& value);

  std::map<std::string, std::string> given_;
  std::map<std::string, std::string> remembered_;
  std::set<std::string> masked_;
  std::set<std::string> secret_values_;
};

}  // namespace plainstep::host
