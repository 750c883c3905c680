// The forms the step language grew: checks that say "not", that read a
// control's state or value, that count, or that read the page's address
// and title; the everyday actions; tabs; variables and shared steps. They
// are tried only after the first forms, so a step those read is read as
// before. Their wording check lives here too.
#include <algorithm>

#include "agent/step_reader/step_reader.hpp"
#include "agent/step_reader/step_tables.hpp"
#include "text/text.hpp"

namespace plainstep {

namespace {

using _Grown = std::optional<ParsedInstruction> (*)(const _Step&, const StepReader&);

struct _Ending {
  std::string_view suffix;
  Action action;
};

// Endings of "verify text TEXT ...", tried in this order.
constexpr _Ending _TEXT_ENDINGS[] = {{"is not present", Action::verify_text_not_present},
                                     {"is not visible", Action::verify_text_not_visible},
                                     {"is hidden", Action::verify_text_not_visible}};

// Endings of "verify PHRASE ...", tried in this order.
constexpr _Ending _ELEMENT_ENDINGS[] = {{"is not present", Action::verify_not_present},
                                        {"is not visible", Action::verify_not_visible},
                                        {"is hidden", Action::verify_not_visible},
                                        {"is not enabled", Action::verify_not_enabled},
                                        {"is not disabled", Action::verify_enabled},
                                        {"is checked", Action::verify_checked},
                                        {"is not checked", Action::verify_not_checked},
                                        {"is unchecked", Action::verify_not_checked}};

struct _PageCheck {
  std::string_view opening;  // after "verify ", with its trailing space
  Action action;
};

constexpr _PageCheck _PAGE_CHECKS[] = {
    {"url contains ", Action::verify_url_contains},
    {"url is ", Action::verify_url},
    {"title contains ", Action::verify_title_contains},
    {"title is ", Action::verify_title},
    {"the url contains ", Action::verify_url_contains},
    {"the url is ", Action::verify_url},
    {"the title contains ", Action::verify_title_contains},
    {"the title is ", Action::verify_title}};

// A quoted part reading `word` in any case: `verify "URL" contains x` is
// about a field named URL, not the page's address.
bool _quoted_word(const _Step& s, std::string_view word) {
  return std::any_of(s.literals.begin(), s.literals.end(),
                     [&](const std::string& l) { return text::lower(text::trim(l)) == word; });
}

std::optional<ParsedInstruction> _verify_text_not(const _Step& s, const StepReader&) {
  if (!s.f.starts_with("verify text ")) return std::nullopt;
  for (const auto& [suffix, action] : _TEXT_ENDINGS) {
    if (!s.f.ends_with(suffix) || s.f.lower.size() < 12 + suffix.size()) continue;
    std::string raw_target = text::trim(s.f.cut(12, s.f.lower.size() - suffix.size()));
    bool literal = s.literal(raw_target);
    return _record(action, std::move(raw_target), std::nullopt, literal);
  }
  return std::nullopt;
}

// A check of an element, not of text: "verify text ..." is read by the
// text forms alone.
bool _element_check(const _Step& s) {
  return s.f.starts_with("verify ") && !s.f.starts_with("verify text ");
}

std::optional<ParsedInstruction> _verify_state(const _Step& s, const StepReader& r) {
  if (!_element_check(s)) return std::nullopt;
  for (const auto& [suffix, action] : _ELEMENT_ENDINGS) {
    if (!s.f.ends_with(suffix) || s.f.lower.size() < 7 + suffix.size()) continue;
    return _chosen(s, r, action, text::trim(s.f.cut(7, s.f.lower.size() - suffix.size())));
  }
  return std::nullopt;
}

std::optional<ParsedInstruction> _verify_page(const _Step& s, const StepReader&) {
  for (const auto& [opening, action] : _PAGE_CHECKS) {
    const std::string prefix = "verify " + std::string(opening);
    if (!s.f.starts_with(prefix)) continue;
    const bool url = action == Action::verify_url || action == Action::verify_url_contains;
    if (_quoted_word(s, url ? "url" : "title")) return std::nullopt;
    std::string value = text::trim(s.f.after(prefix.size()));
    if (value.empty()) return std::nullopt;
    return _record(action, std::nullopt, std::move(value), false);
  }
  return std::nullopt;
}

// verify count of PHRASE is N; the last " is " splits it.
std::optional<ParsedInstruction> _verify_count(const _Step& s, const StepReader& r) {
  size_t at = 0;
  for (std::string_view prefix : {"verify count of ", "verify the count of "})
    if (s.f.starts_with(prefix)) at = prefix.size();
  if (at == 0) return std::nullopt;
  size_t is_pos = s.f.rfind(" is ");
  if (is_pos == text::npos || is_pos + 1 < at) return std::nullopt;
  std::string phrase = is_pos < at ? std::string() : text::trim(s.f.cut(at, is_pos));
  std::string count = text::trim(s.f.after(is_pos + 4));
  if (count.empty()) return std::nullopt;
  ParsedInstruction p = _chosen(s, r, Action::verify_count, phrase);
  p.value = std::move(count);
  return p;
}

// verify PHRASE has value TEXT, verify PHRASE contains TEXT: the first
// keyword splits, so the text may hold it again.
std::optional<ParsedInstruction> _verify_value(const _Step& s, const StepReader& r) {
  if (!_element_check(s)) return std::nullopt;
  for (auto [keyword, action] : {std::pair<std::string_view, Action>{" has value ", Action::verify_value},
                                 {" contains ", Action::verify_contains}}) {
    size_t at = s.f.find(keyword, 6);
    if (at == text::npos) continue;
    std::string value = text::trim(s.f.after(at + keyword.size()));
    if (value.empty()) continue;
    ParsedInstruction p = _chosen(s, r, action, at < 7 ? std::string() : text::trim(s.f.cut(7, at)));
    p.value = std::move(value);
    return p;
  }
  return std::nullopt;
}

// "double click second Save", "right click Row 3": a click's phrase.
std::optional<ParsedInstruction> _clicks(const _Step& s, const StepReader& r) {
  for (auto [prefix, action] : {std::pair<std::string_view, Action>{"double click ", Action::double_click},
                                {"right click ", Action::right_click}}) {
    if (!s.f.starts_with(prefix)) continue;
    auto [ordinal, raw_target] = _extract_ordinal(s.f.after(prefix.size()));
    return _chosen(s, r, action, raw_target, ordinal);
  }
  return std::nullopt;
}

std::optional<ParsedInstruction> _element_actions(const _Step& s, const StepReader& r) {
  for (auto [prefix, action] : {std::pair<std::string_view, Action>{"check ", Action::check},
                                {"uncheck ", Action::uncheck},
                                {"clear ", Action::clear},
                                {"scroll to ", Action::scroll_to}})
    if (s.f.starts_with(prefix)) return _chosen(s, r, action, s.f.after(prefix.size()));
  return std::nullopt;
}

// The first " to " at or after `from` that is not the "to" of "next to".
size_t _find_to(const _Folded& f, size_t from) {
  for (size_t at = f.find(" to ", from); at != text::npos; at = f.find(" to ", at + 1))
    if (!(at >= 5 && _same(f.lower, at - 5, " next"))) return at;
  return text::npos;
}

// upload FILE to PHRASE: the file as written, the field by its phrase.
std::optional<ParsedInstruction> _upload(const _Step& s, const StepReader& r) {
  if (!s.f.starts_with("upload ")) return std::nullopt;
  size_t at = _find_to(s.f, 6);
  if (at == text::npos) return std::nullopt;
  std::string file = at < 7 ? std::string() : text::trim(s.f.cut(7, at));
  std::string phrase = s.f.after(at + 4);
  if (file.empty() || text::trim(phrase).empty()) return std::nullopt;
  ParsedInstruction p = _chosen(s, r, Action::upload, phrase);
  p.value = std::move(file);
  return p;
}

// drag PHRASE to PHRASE: where it goes is kept as the user quoted it, so
// that it is read again as a target of its own.
std::optional<ParsedInstruction> _drag(const _Step& s, const StepReader& r) {
  if (!s.f.starts_with("drag ")) return std::nullopt;
  size_t at = _find_to(s.f, 4);
  if (at == text::npos) return std::nullopt;
  std::string source = at < 5 ? std::string() : s.f.cut(5, at);
  std::string destination = text::trim(s.f.after(at + 4));
  if (text::trim(source).empty() || destination.empty()) return std::nullopt;
  auto [ordinal, raw_source] = _extract_ordinal(source);
  ParsedInstruction p = _chosen(s, r, Action::drag, text::trim(raw_source), ordinal);
  p.value = s.literal(destination) ? "\"" + destination + "\"" : destination;
  return p;
}

std::optional<ParsedInstruction> _go_to(const _Step& s, const StepReader&) {
  if (!s.f.starts_with("go to ")) return std::nullopt;
  std::string address = text::trim(s.f.after(6));
  if (address.empty()) return std::nullopt;
  return _record(Action::go_to, std::move(address), std::nullopt, false);
}

std::optional<ParsedInstruction> _tabs(const _Step& s, const StepReader&) {
  if (s.f.equals("switch to new tab") || s.f.equals("switch to the new tab"))
    return _record(Action::switch_to_new_tab, std::nullopt, std::nullopt, false);
  if (s.f.equals("close tab") || s.f.equals("close the tab"))
    return _record(Action::close_tab, std::nullopt, std::nullopt, false);
  if (s.f.starts_with("switch to tab ")) {
    std::string number = text::trim(s.f.after(14));
    if (!number.empty()) return _record(Action::switch_to_tab, std::move(number), std::nullopt, false);
  }
  return std::nullopt;
}

// remember text RELATION ANCHOR as NAME, remember text [from] [ORDINAL]
// PHRASE as NAME: what extract text would give, under a name. The last
// " as " splits, so the phrase may hold one.
std::optional<ParsedInstruction> _remember(const _Step& s, const StepReader& r) {
  if (!s.f.starts_with("remember text ")) return std::nullopt;
  size_t as_pos = s.f.rfind(" as ");
  if (as_pos == text::npos || as_pos < 13) return std::nullopt;
  std::string name = text::trim(s.f.after(as_pos + 4));
  std::string phrase = as_pos < 14 ? std::string() : s.f.cut(14, as_pos);
  if (name.empty() || text::trim(phrase).empty()) return std::nullopt;
  if (_opens_with_relation(s.f.lower, 14))
    return _record(Action::remember_text_spatial, text::trim(phrase), std::move(name), false);
  size_t at = 14;
  if (_same(s.f.lower, at, "from ")) at += 5;
  auto [ordinal, raw_target] = _extract_ordinal(at < as_pos ? s.f.cut(at, as_pos) : std::string());
  ParsedInstruction p = _chosen(s, r, Action::remember_text, raw_target, ordinal);
  p.value = std::move(name);
  return p;
}

std::optional<ParsedInstruction> _run(const _Step& s, const StepReader&) {
  if (!s.f.starts_with("run ")) return std::nullopt;
  std::string file = text::trim(s.f.after(4));
  if (file.empty()) return std::nullopt;
  return _record(Action::run_file, std::move(file), std::nullopt, false);
}

// Tried in this order; the first that matches builds the record. The
// endings come before the page checks, as "verify title is visible" has
// always been a check of an element named title.
constexpr _Grown _GROWN[] = {_verify_text_not, _verify_state,     _verify_page, _verify_count,
                             _verify_value,    _clicks,           _element_actions,
                             _upload,          _drag,             _go_to,       _tabs,
                             _remember,        _run};

// ---- the wording check -----------------------------------------------------

struct _Opening {
  std::string_view words;  // the step's first words, lower case
  std::string_view name;   // how the messages name the instruction
  std::string_view shape;  // what it should look like
};

constexpr _Opening _OPENINGS[] = {
    {"double click", "double click", "double click <target>"},
    {"right click", "right click", "right click <target>"},
    {"check", "check", "check <target>"},
    {"uncheck", "uncheck", "uncheck <target>"},
    {"clear", "clear", "clear <target>"},
    {"scroll to", "scroll to", "scroll to <target>"},
    {"upload", "upload", "upload <file> to <target>"},
    {"drag", "drag", "drag <target> to <target>"},
    {"go to", "go to", "go to <address>"},
    {"switch", "switch", "switch to new tab | switch to tab <number>"},
    {"close", "close", "close tab"},
    {"remember", "remember text", "remember text <target> as <name>"},
    {"run", "run", "run <file>"}};

const _Opening* _opening_of(const _Folded& f) {
  for (const _Opening& o : _OPENINGS)
    if (f.equals(o.words) || f.starts_with(std::string(o.words) + " ")) return &o;
  return nullptr;
}

std::string _expected(const _Opening& o) { return " Expected: " + std::string(o.shape); }

std::string _missing(const _Opening& o, std::string_view what) {
  return "`" + std::string(o.name) + "` instruction missing " + std::string(what) + "." +
         _expected(o);
}

// A whole number from 0 (1 when `from_one`), or a variable the run sets.
bool _number_or_variable(const std::string& s, bool from_one) {
  if (_holds_variable(s)) return true;
  if (s.empty() || s.size() > 9) return false;
  if (!std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  return !from_one || std::stol(s) >= 1;
}

// How a grown check reads after "verify ".
std::string _shape_of(Action a) {
  for (const auto& [suffix, action] : _TEXT_ENDINGS)
    if (action == a) return "text <text> " + std::string(suffix);
  for (const auto& [suffix, action] : _ELEMENT_ENDINGS)
    if (action == a) return "<target> " + std::string(suffix);
  return a == Action::verify_value ? "<target> has value <text>" : "<target> contains <text>";
}

// The issues of a step a grown form reads.
std::vector<std::string> _issues_of(const ParsedInstruction& p, const _Opening* o) {
  std::vector<std::string> issues;
  const Action a = *action_of(p);
  const std::string target = p.target.value_or("");
  switch (a) {
    case Action::verify_not_present:
    case Action::verify_not_visible:
    case Action::verify_not_enabled:
    case Action::verify_enabled:
    case Action::verify_checked:
    case Action::verify_not_checked:
    case Action::verify_value:
    case Action::verify_contains:
    case Action::verify_text_not_present:
    case Action::verify_text_not_visible:
      if (text::trim(target).empty())
        issues.push_back("`verify` instruction missing its target. Expected: verify " +
                         _shape_of(a));
      break;
    case Action::verify_count:
      if (text::trim(target).empty())
        issues.push_back(
            "`verify count` instruction missing its target. Expected: verify count of <target> is "
            "<number>");
      if (!_number_or_variable(p.value.value_or(""), false))
        issues.push_back("`verify count` value must be a whole number. Got: " +
                         text::quoted_literal(p.value.value_or("")));
      break;
    case Action::switch_to_tab:
      if (!_number_or_variable(target, true))
        issues.push_back("`switch to tab` value must be a tab number from 1. Got: " +
                         text::quoted_literal(target));
      break;
    case Action::remember_text:
    case Action::remember_text_spatial:
      if (text::trim(target).empty() && o) issues.push_back(_missing(*o, "its target"));
      if (!_is_variable_name(p.value.value_or("")))
        issues.push_back(
            "`remember text` name must be letters, digits and _, not starting with a digit. Got: " +
            text::quoted_literal(p.value.value_or("")));
      break;
    case Action::drag:
      if (text::trim(target).empty() && o) issues.push_back(_missing(*o, "what to drag"));
      break;
    case Action::double_click:
    case Action::right_click:
    case Action::check:
    case Action::uncheck:
    case Action::clear:
    case Action::scroll_to:
    case Action::upload:
      if (text::trim(target).empty() && o) issues.push_back(_missing(*o, "its target"));
      break;
    default:
      break;
  }
  return issues;
}

// Why a step that opens like a grown form is none: the keyword or the part
// it lacks.
std::vector<std::string> _unread(const _Step& s, const _Opening& o) {
  const _Folded& f = s.f;
  const std::string_view w = o.words;
  if (w == "upload" || w == "drag") {
    const size_t start = w.size() + 1;
    const size_t at = f.lower.size() > start ? _find_to(f, start - 1) : text::npos;
    if (at == text::npos && f.ends_with(" to") && f.lower.size() > start + 2)
      return {_missing(o, w == "upload" ? "its target" : "where to drop it")};
    if (at == text::npos) return {"`" + std::string(w) + "` instruction missing `to` keyword." + _expected(o)};
    std::vector<std::string> issues;
    if (at < start || text::trim(f.cut(start, at)).empty())
      issues.push_back(_missing(o, w == "upload" ? "the file to upload" : "what to drag"));
    if (text::trim(f.after(at + 4)).empty())
      issues.push_back(_missing(o, w == "upload" ? "its target" : "where to drop it"));
    return issues;
  }
  if (w == "remember") {
    if (!f.equals("remember text") && !f.starts_with("remember text "))
      return {"`remember` instruction missing `text` keyword." + _expected(o)};
    size_t as_pos = f.rfind(" as ");
    if (as_pos == text::npos || as_pos < 13)
      return {"`remember text` instruction missing `as` keyword." + _expected(o)};
    std::vector<std::string> issues;
    if (as_pos < 14 || text::trim(f.cut(14, as_pos)).empty()) issues.push_back(_missing(o, "its target"));
    if (text::trim(f.after(as_pos + 4)).empty()) issues.push_back(_missing(o, "the name to remember it as"));
    return issues;
  }
  if (w == "switch" || w == "close")
    return {"`" + std::string(w) + "` instruction names no tab." + _expected(o)};
  if (w == "go to") return {_missing(o, "its address")};
  if (w == "run") return {_missing(o, "its file")};
  return {_missing(o, "its target")};
}

}  // namespace

bool _is_variable_name(std::string_view name) {
  if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
}

bool _holds_variable(std::string_view s) {
  for (size_t at = s.find("${"); at != std::string_view::npos; at = s.find("${", at + 1)) {
    size_t close = s.find('}', at + 2);
    if (close != std::string_view::npos && _is_variable_name(s.substr(at + 2, close - at - 2)))
      return true;
  }
  return false;
}

std::optional<ParsedInstruction> _grown_form(const _Step& s, const StepReader& r) {
  for (_Grown form : _GROWN)
    if (auto record = form(s, r)) return record;
  return std::nullopt;
}

std::optional<std::vector<std::string>> _grown_issues(const _Step& s, const StepReader& r) {
  if (_first_form(s, r)) return std::nullopt;
  const _Opening* opening = _opening_of(s.f);
  const bool verify = s.f.starts_with("verify ");
  if (!opening && !verify) return std::nullopt;
  if (auto p = _grown_form(s, r)) return _issues_of(*p, opening);
  if (!opening) return std::nullopt;
  return _unread(s, *opening);
}

}  // namespace plainstep
