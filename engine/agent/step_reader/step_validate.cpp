// The wording check: what is wrong with a step, in words, before it runs.
#include <algorithm>

#include "agent/step_reader/step_reader.hpp"
#include "agent/step_reader/step_tables.hpp"
#include "text/text.hpp"

namespace plainstep {

namespace {

constexpr std::string_view _TYPE_SHAPE = " Expected: type <text> into <target>";

std::string _endings(const std::vector<std::pair<std::string, std::string>>& states) {
  std::string out;
  for (const auto& [suffix, action] : states) {
    if (!out.empty()) out += " | ";
    out += suffix;
  }
  return out;
}

// type TEXT into FIELD: the text and the field around the first " into "
// after the prefix. An " into " that overlaps the prefix ("type into X")
// leaves no text to type.
void _check_type(const _Folded& f, std::vector<std::string>& issues) {
  if (!f.starts_with("type ")) return;
  if (f.find(" into ") == text::npos) {
    issues.push_back("`type` instruction missing `into` keyword." + std::string(_TYPE_SHAPE));
    return;
  }
  size_t at = f.find(" into ", 5);
  bool no_text = at == text::npos || text::trim(f.cut(5, at)).empty();
  bool no_target = at != text::npos && text::trim(f.after(at + 6)).empty();
  if (no_text) issues.push_back("`type` instruction missing text to type." + std::string(_TYPE_SHAPE));
  if (no_target)
    issues.push_back("`type` instruction missing target field." + std::string(_TYPE_SHAPE));
}

void _check_verify(const _Folded& f, std::vector<std::string>& issues) {
  auto ends_in_any = [&](const auto& states) {
    return std::any_of(states.begin(), states.end(),
                       [&](const auto& st) { return f.ends_with(st.first); });
  };
  if (f.starts_with("verify ") && !f.starts_with("verify text ") &&
      !f.starts_with("verify dialog") && !ends_in_any(StepReader::_VERIFY_STATES))
    issues.push_back("`verify` instruction missing state. Expected ending: " +
                     _endings(StepReader::_VERIFY_STATES));
  bool spatial = std::any_of(_VERIFY_TEXT_SPATIAL.begin(), _VERIFY_TEXT_SPATIAL.end(),
                             [&](std::string_view p) { return f.starts_with(p); });
  if (f.starts_with("verify text ") && !spatial && !ends_in_any(StepReader::_VERIFY_TEXT_STATES))
    issues.push_back("`verify text` instruction missing state. Expected ending: " +
                     _endings(StepReader::_VERIFY_TEXT_STATES));
}

void _check_wait(const _Folded& f, std::vector<std::string>& issues) {
  if (!f.starts_with("wait ")) return;
  std::string ms = _strip_quotes(f.after(5));
  // A wait of ${DELAY} is read when the step runs.
  if (StepReader::wait_milliseconds(ms) || _holds_variable(ms)) return;
  if (!text::all_digits(ms))
    issues.push_back("`wait` value must be a number in milliseconds. Got: " +
                     text::quoted_literal(ms));
  else
    issues.push_back("`wait` value must be at most " + std::to_string(StepReader::WAIT_MAX_MS) +
                     " milliseconds (one hour). Got: " + text::quoted_literal(ms));
}

}  // namespace

std::optional<long> StepReader::wait_milliseconds(std::string_view target) {
  // Any script's digits count ("٣٠٠" is 300), as the wording check has
  // always accepted them; the runner reads the same number.
  if (!text::is_valid_utf8(target) || !text::all_digits(target)) return std::nullopt;
  long ms = 0;
  for (char32_t c : text::to_u32(target)) {
    int d = text::digit_value(c);
    if (d < 0) return std::nullopt;
    ms = ms * 10 + d;
    if (ms > WAIT_MAX_MS) return std::nullopt;
  }
  return ms;
}

std::vector<std::string> StepReader::validate(std::string_view instruction) const {
  if (!text::is_valid_utf8(instruction)) return {"Instruction is not valid UTF-8."};
  std::string raw = text::trim(instruction);
  if (raw.empty()) return {"Instruction is empty."};
  if (std::count(raw.begin(), raw.end(), '"') % 2 != 0)
    return {"Unbalanced quote \u2014 missing closing `\"` in: " + text::quoted_literal(raw)};
  _Folded f(raw);
  std::string first = text::split_ws(text::from_u32(f.lower)).front();
  // The forms the language grew, when the step opens with their words as
  // written (a quoted first word is no action word).
  auto [unquoted, literals] = _unquote(raw);
  _Step step{_Folded(unquoted), std::move(literals)};
  const std::vector<std::string> words = text::split_ws(text::from_u32(step.f.lower));
  if (!words.empty() && words.front() == first)
    if (auto issues = _grown_issues(step, *this)) return *issues;
  if (!_KNOWN_ACTIONS.count(first))
    return {"Unknown action " + text::quoted_literal(first) +
            ". Expected one of: click, type, verify, hover, select, press, wait, find, extract, "
            "sendkeys."};
  std::vector<std::string> issues;
  _check_type(f, issues);
  if (f.starts_with("select ") && f.find(" from ") == text::npos)
    issues.push_back(
        "`select` instruction missing `from` keyword. Expected: select <value> from <target>");
  _check_verify(f, issues);
  _check_wait(f, issues);
  return issues;
}

std::map<int, std::vector<std::string>> StepReader::validate_all(
    const std::vector<std::string>& instructions) const {
  std::map<int, std::vector<std::string>> found;
  int number = 0;
  for (const std::string& step : instructions) {
    ++number;
    std::vector<std::string> issues = validate(step);
    if (!issues.empty()) found.emplace(number, std::move(issues));
  }
  return found;
}

}  // namespace plainstep
