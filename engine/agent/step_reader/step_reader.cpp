#include "agent/step_reader/step_reader.hpp"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <stdexcept>

#include "agent/step_reader/step_tables.hpp"
#include "text/text.hpp"

namespace plainstep {

const std::vector<std::string> StepReader::SUPPORTED_ACTIONS = [] {
  std::vector<std::string> names;
  for (const ActionInfo& a : ACTIONS)
    if (a.listed) names.emplace_back(a.name);
  return names;
}();

const std::unordered_set<std::string> StepReader::_STOP_WORDS{"on", "the", "a",   "an",
                                                              "in", "at",  "into"};

namespace {
std::pair<std::string, std::string> _state(std::string_view suffix, Action a) {
  return {std::string(suffix), std::string(action_name(a))};
}
}  // namespace

const std::vector<std::pair<std::string, std::string>> StepReader::_VERIFY_STATES{
    _state("is present", Action::verify_present), _state("is visible", Action::verify_visible),
    _state("is enabled", Action::verify_enabled), _state("is disabled", Action::verify_disabled)};

const std::vector<std::pair<std::string, std::string>> StepReader::_VERIFY_TEXT_STATES{
    _state("is present", Action::verify_text_present),
    _state("is visible", Action::verify_text_visible)};

const std::unordered_set<std::string> StepReader::_KNOWN_ACTIONS{
    "click", "type", "hover", "select", "press", "sendkeys", "wait",
    "verify", "find", "extract", "accept", "dismiss", "back", "refresh"};

// ---- the folded view of a step ---------------------------------------------

_Folded::_Folded(std::string_view trimmed) {
  text::Lowered l = text::lower_mapped(trimmed);
  text = text::to_u32(trimmed);
  lower = text::to_u32(l.text);
  source = std::move(l.source_index);
}

bool _same(std::u32string_view s, size_t at, std::string_view ascii) {
  if (at + ascii.size() > s.size()) return false;
  for (size_t i = 0; i < ascii.size(); ++i)
    if (s[at + i] != static_cast<unsigned char>(ascii[i])) return false;
  return true;
}

// A relation's words and a space stand at `at`: "below Total".
bool _opens_with_relation(std::u32string_view lower, size_t at) {
  for (const RelationWord& r : RELATION_WORDS)
    if (_same(lower, at, r.words) && _same(lower, at + r.words.size(), " ")) return true;
  return false;
}

bool _Folded::starts_with(std::string_view ascii) const { return _same(lower, 0, ascii); }

bool _Folded::ends_with(std::string_view ascii) const {
  return lower.size() >= ascii.size() && _same(lower, lower.size() - ascii.size(), ascii);
}

bool _Folded::equals(std::string_view ascii) const {
  return lower.size() == ascii.size() && _same(lower, 0, ascii);
}

size_t _Folded::find(std::string_view ascii, size_t from) const {
  for (size_t i = from; i + ascii.size() <= lower.size(); ++i)
    if (_same(lower, i, ascii)) return i;
  return text::npos;
}

size_t _Folded::rfind(std::string_view ascii) const {
  if (ascii.size() > lower.size()) return text::npos;
  for (size_t i = lower.size() - ascii.size() + 1; i-- > 0;)
    if (_same(lower, i, ascii)) return i;
  return text::npos;
}

std::string _Folded::cut(size_t lower_begin, size_t lower_end) const {
  size_t b = source[std::min(lower_begin, lower.size())];
  size_t e = source[std::min(lower_end, lower.size())];
  if (e <= b) return {};
  return text::from_u32(std::u32string_view(text).substr(b, e - b));
}

std::string _strip_char(std::string_view s, char c) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == c) ++b;
  while (e > b && s[e - 1] == c) --e;
  return std::string(s.substr(b, e - b));
}

std::string _strip_quotes(std::string_view s) {
  return _strip_char(_strip_char(text::trim(s), '"'), '\'');
}

std::string _utf8_fault(std::string_view s) {
  // Walk whole code points; the first place none can be read is the fault.
  size_t i = 0;
  while (i < s.size()) {
    size_t k = 1;
    while (k <= 4 && i + k <= s.size() && !text::is_valid_utf8(s.substr(i, k))) ++k;
    if (k > 4 || i + k > s.size()) break;
    i += k;
  }
  if (i >= s.size()) return "no fault";
  char buf[64];
  std::snprintf(buf, sizeof buf, "byte 0x%02X at byte offset %zu",
                static_cast<unsigned>(static_cast<unsigned char>(s[i])), i);
  return buf;
}

// ---- pieces shared by the rules --------------------------------------------

std::pair<std::string, std::vector<std::string>> StepReader::_unquote(
    std::string_view instruction) const {
  // The scan of "([^"]+)": a quote, one or more non-quotes, a quote. When
  // two quotes touch, the second may still open a literal.
  std::string unquoted;
  std::vector<std::string> literals;
  size_t i = 0;
  while (true) {
    size_t open = instruction.find('"', i);
    size_t close = open == std::string_view::npos ? open : instruction.find('"', open + 1);
    while (close == open + 1) {
      open = close;
      close = instruction.find('"', open + 1);
    }
    if (close == std::string_view::npos) break;
    std::string_view content = instruction.substr(open + 1, close - open - 1);
    unquoted.append(instruction.substr(i, open - i));
    unquoted.append(content);
    literals.emplace_back(content);
    i = close + 1;
  }
  unquoted.append(instruction.substr(i));
  return {std::move(unquoted), std::move(literals)};
}

std::string StepReader::_clean_target(std::string_view target) const {
  std::vector<std::string> words = text::split_ws(target);
  size_t first = 0;
  while (first < words.size() && _STOP_WORDS.count(text::lower(words[first]))) ++first;
  words.erase(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(first));
  return text::join(words, " ");
}

std::pair<int, std::string> _extract_ordinal(std::string_view text_in) {
  std::u32string u = text::to_u32(text_in);
  size_t b = 0;
  while (b < u.size() && text::is_space(u[b])) ++b;
  size_t e = b;
  while (e < u.size() && !text::is_space(u[e])) ++e;
  if (b == e) return {1, std::string(text_in)};
  std::string word = text::lower(text::from_u32(std::u32string_view(u).substr(b, e - b)));
  for (const auto& [name, number, spelled] : ORDINAL_WORDS) {
    if (!spelled || word != name) continue;
    size_t r = e;
    while (r < u.size() && text::is_space(u[r])) ++r;
    return {number, text::from_u32(std::u32string_view(u).substr(r))};
  }
  return {1, std::string(text_in)};
}

ParsedInstruction _record(Action action, std::optional<std::string> target,
                          std::optional<std::string> value, bool literal,
                          std::optional<int> ordinal) {
  return ParsedInstruction{std::string(action_name(action)), std::move(target), std::move(value),
                           ordinal, literal};
}

ParsedInstruction _chosen(const _Step& s, const StepReader& r, Action action,
                          const std::string& phrase, std::optional<int> ordinal) {
  std::string target = s.literal(phrase) ? phrase : r._clean_target(phrase);
  bool literal = s.literal(target);
  return _record(action, std::move(target), std::nullopt, literal, ordinal);
}

namespace {

using _Rule = std::optional<ParsedInstruction> (*)(const _Step&, const StepReader&);

// type TEXT into FIELD, select OPTION from FIELD. The keyword is looked for
// after the prefix, so "type into X" has no text and matches no form.
std::optional<ParsedInstruction> _text_into(const _Step& s, const StepReader& r,
                                            std::string_view prefix, std::string_view keyword,
                                            Action action) {
  if (!s.f.starts_with(prefix) || s.f.find(keyword) == text::npos) return std::nullopt;
  size_t at = s.f.find(keyword, prefix.size());
  if (at == text::npos) return std::nullopt;
  std::string value = s.f.cut(prefix.size(), at);
  std::string raw_target = s.f.after(at + keyword.size());
  std::string trimmed = text::trim(raw_target);
  std::string target = s.literal(trimmed) ? trimmed : r._clean_target(raw_target);
  bool literal = s.literal(target);
  return _record(action, std::move(target), std::move(value), literal);
}

std::optional<ParsedInstruction> _type(const _Step& s, const StepReader& r) {
  return _text_into(s, r, "type ", " into ", Action::type);
}

std::optional<ParsedInstruction> _select(const _Step& s, const StepReader& r) {
  return _text_into(s, r, "select ", " from ", Action::select);
}

std::optional<ParsedInstruction> _find_exact(const _Step& s, const StepReader&) {
  if (!s.f.starts_with("find exact text ")) return std::nullopt;
  std::string target = s.f.after(16);
  bool literal = s.literal(target);
  return _record(Action::find_exact_text, std::move(target), std::nullopt, literal);
}

std::optional<ParsedInstruction> _find_text(const _Step& s, const StepReader& r) {
  if (!s.f.starts_with("find text ")) return std::nullopt;
  return _chosen(s, r, Action::find_text, s.f.after(10));
}

std::optional<ParsedInstruction> _extract(const _Step& s, const StepReader& r) {
  size_t at = 0;
  for (std::string_view prefix : _EXTRACT_PREFIXES)
    if (s.f.starts_with(prefix)) { at = prefix.size(); break; }
  if (at == 0) return std::nullopt;
  if (_opens_with_relation(s.f.lower, at))
    return _record(Action::extract_text_spatial, s.f.after(at), std::nullopt, false);
  if (_same(s.f.lower, at, "from ")) at += 5;
  auto [ordinal, raw_target] = _extract_ordinal(s.f.after(at));
  return _chosen(s, r, Action::extract_text, raw_target, ordinal);
}

std::optional<ParsedInstruction> _click(const _Step& s, const StepReader& r) {
  if (!s.f.starts_with("click ")) return std::nullopt;
  auto [ordinal, raw_target] = _extract_ordinal(s.f.after(6));
  return _chosen(s, r, Action::click, raw_target, ordinal);
}

std::optional<ParsedInstruction> _hover(const _Step& s, const StepReader& r) {
  if (!s.f.starts_with("hover ")) return std::nullopt;
  return _chosen(s, r, Action::hover, s.f.after(6));
}

std::optional<ParsedInstruction> _press(const _Step& s, const StepReader&) {
  if (!s.f.starts_with("press ")) return std::nullopt;
  return _record(Action::press_key, text::trim(s.f.after(6)), std::nullopt, false);
}

std::optional<ParsedInstruction> _dialog(const _Step& s, const StepReader&) {
  if (s.f.equals("accept dialog")) return _record(Action::accept_dialog, std::nullopt, std::nullopt, false);
  if (s.f.equals("dismiss dialog"))
    return _record(Action::dismiss_dialog, std::nullopt, std::nullopt, false);
  if (s.f.starts_with("verify dialog says "))
    return _record(Action::verify_dialog, std::nullopt, s.f.after(19), false);
  return std::nullopt;
}

std::optional<ParsedInstruction> _sendkeys(const _Step& s, const StepReader&) {
  if (!s.f.starts_with("sendkeys ")) return std::nullopt;
  std::string keys = _strip_quotes(s.f.after(9));
  return _record(Action::sendkeys, keys, keys, false);
}

std::optional<ParsedInstruction> _wait(const _Step& s, const StepReader&) {
  if (!s.f.starts_with("wait ")) return std::nullopt;
  return _record(Action::wait, _strip_quotes(s.f.after(5)), std::nullopt, false);
}

constexpr std::pair<std::string_view, Action> _SPATIAL_MODES[] = {
    {"not exactly ", Action::verify_spatial_text_not_exact},
    {"exactly ", Action::verify_spatial_text_exact},
    {"not ", Action::verify_spatial_text_not}};

// verify text RELATION ANCHOR is EXPECTED; the last " is " splits it, so
// the anchor may itself hold an "is".
std::optional<ParsedInstruction> _verify_spatial(const _Step& s, const StepReader&) {
  if (!s.f.starts_with("verify text ")) return std::nullopt;
  bool spatial = _opens_with_relation(s.f.lower, 12);
  size_t is_pos = spatial ? s.f.rfind(" is ") : text::npos;
  if (is_pos == text::npos || is_pos < 12) return std::nullopt;
  std::string spatial_target = text::trim(s.f.cut(12, is_pos));
  std::string expected = text::trim(s.f.after(is_pos + 4));
  if (spatial_target.empty() || expected.empty()) return std::nullopt;
  // "is not 5", "is exactly 5", "is not exactly 5" say how the text is
  // compared; quoted, the words are the expected text: is "not available".
  Action action = Action::verify_spatial_text;
  if (!s.literal(expected))
    for (const auto& [words, mode] : _SPATIAL_MODES) {
      if (text::lower(text::substr(expected, 0, words.size())) != words) continue;
      std::string rest = text::trim(text::substr(expected, words.size()));
      if (rest.empty()) break;
      action = mode;
      expected = std::move(rest);
      break;
    }
  return _record(action, std::move(spatial_target), std::move(expected), false);
}

std::optional<ParsedInstruction> _verify_text(const _Step& s, const StepReader& r) {
  if (!s.f.starts_with("verify text ")) return std::nullopt;
  for (const auto& [suffix, action] : r._VERIFY_TEXT_STATES) {
    if (!s.f.ends_with(suffix)) continue;
    std::string raw_target = text::trim(s.f.cut(12, s.f.lower.size() - suffix.size()));
    bool literal = s.literal(raw_target);
    return _record(*action_named(action), std::move(raw_target), std::nullopt, literal);
  }
  return std::nullopt;
}

std::optional<ParsedInstruction> _verify(const _Step& s, const StepReader& r) {
  if (!s.f.starts_with("verify ")) return std::nullopt;
  for (const auto& [suffix, action] : r._VERIFY_STATES) {
    if (!s.f.ends_with(suffix)) continue;
    return _chosen(s, r, *action_named(action),
                   text::trim(s.f.cut(7, s.f.lower.size() - suffix.size())));
  }
  return std::nullopt;
}

// Tried in this order; the first that matches builds the record.
constexpr _Rule _RULES[] = {_type,     _select, _find_exact,     _find_text,   _extract,
                            _click,    _hover,  _press,          _dialog,      _sendkeys,
                            _wait,     _verify_spatial, _verify_text, _verify};

std::string _supported_list() {
  std::string out = "[";
  for (size_t i = 0; i < StepReader::SUPPORTED_ACTIONS.size(); ++i) {
    if (i) out += ", ";
    out += "'" + StepReader::SUPPORTED_ACTIONS[i] + "'";
  }
  return out + "]";
}

}  // namespace

std::optional<ParsedInstruction> _first_form(const _Step& s, const StepReader& r) {
  for (_Rule rule : _RULES)
    if (auto record = rule(s, r)) return record;
  return std::nullopt;
}

ParsedInstruction StepReader::parse(std::string_view instruction) const {
  if (!text::is_valid_utf8(instruction))
    throw std::invalid_argument("Instruction is not valid UTF-8 (" + _utf8_fault(instruction) +
                                ").");
  auto [stripped, literals] = _unquote(text::trim(instruction));
  _Step step{_Folded(stripped), std::move(literals)};
  if (auto record = _first_form(step, *this)) return std::move(*record);
  if (auto record = _grown_form(step, *this)) return std::move(*record);
  throw std::invalid_argument("Unrecognised instruction: " + text::quoted_literal(instruction) +
                              ". Supported actions: " + _supported_list());
}

}  // namespace plainstep
