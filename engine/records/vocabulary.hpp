#pragma once
// The words of the step language, named once: the actions a parsed
// instruction may carry and what each does, and the relation words,
// ordinals and type words target phrases are read with. Strings meet these
// names only where step text or JSON is read or written; everywhere else
// the code switches over Action, so the compiler (-Wswitch) points at every
// place a new action must be handled.
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace plainstep {

enum class Action {
  // The forms the language began with, in the order the parse failure
  // lists them; wait is produced but never listed.
  click,
  type,
  hover,
  select,
  press_key,
  sendkeys,
  extract_text,
  extract_text_spatial,
  find_text,
  find_exact_text,
  verify_present,
  verify_visible,
  verify_enabled,
  verify_disabled,
  verify_text_present,
  verify_text_visible,
  verify_spatial_text,
  accept_dialog,
  dismiss_dialog,
  verify_dialog,
  wait,
  // Checks that say "not", read a control's state or value, or count.
  verify_not_present,
  verify_not_visible,
  verify_not_enabled,
  verify_checked,
  verify_not_checked,
  verify_value,
  verify_contains,
  verify_count,
  verify_text_not_present,
  verify_text_not_visible,
  verify_spatial_text_not,
  verify_spatial_text_exact,
  verify_spatial_text_not_exact,
  // Checks of the page itself.
  verify_url,
  verify_url_contains,
  verify_title,
  verify_title_contains,
  // The everyday actions.
  double_click,
  right_click,
  check,
  uncheck,
  clear,
  upload,
  drag,
  scroll_to,
  go_to,
  switch_to_new_tab,
  switch_to_tab,
  close_tab,
  // Variables and shared steps.
  remember_text,
  remember_text_spatial,
  run_file,
};

// What a step's target names, which decides how it is found.
enum class TargetKind {
  element,  // a page element, by its words or its place
  text,     // text on the page, by its words or beside an anchor text
  page,     // the page itself or its tabs: its address, its title
  dialog,   // the dialog the page opened
  keys,     // keys pressed into the page
  none,     // nothing on the page: a pause, a step file
};

// What a step does to the page.
enum class Effect {
  acts,    // changes the page or the session
  checks,  // passes or fails, changes nothing
  reads,   // finds or takes text, changes nothing
};

struct ActionInfo {
  Action action;
  std::string_view name;  // as a parsed instruction writes it
  TargetKind target;
  Effect effect;
  bool ordinal;  // the step may name which match ("click second Save")
  bool listed;   // named in the parse failure's list of supported actions
};

inline constexpr std::array<ActionInfo, 53> ACTIONS{{
    {Action::click, "click", TargetKind::element, Effect::acts, true, true},
    {Action::type, "type", TargetKind::element, Effect::acts, false, true},
    {Action::hover, "hover", TargetKind::element, Effect::acts, false, true},
    {Action::select, "select", TargetKind::element, Effect::acts, false, true},
    {Action::press_key, "press_key", TargetKind::keys, Effect::acts, false, true},
    {Action::sendkeys, "sendkeys", TargetKind::keys, Effect::acts, false, true},
    {Action::extract_text, "extract_text", TargetKind::element, Effect::reads, true, true},
    {Action::extract_text_spatial, "extract_text_spatial", TargetKind::text, Effect::reads, false,
     true},
    {Action::find_text, "find_text", TargetKind::text, Effect::reads, false, true},
    {Action::find_exact_text, "find_exact_text", TargetKind::text, Effect::reads, false, true},
    {Action::verify_present, "verify_present", TargetKind::element, Effect::checks, false, true},
    {Action::verify_visible, "verify_visible", TargetKind::element, Effect::checks, false, true},
    {Action::verify_enabled, "verify_enabled", TargetKind::element, Effect::checks, false, true},
    {Action::verify_disabled, "verify_disabled", TargetKind::element, Effect::checks, false, true},
    {Action::verify_text_present, "verify_text_present", TargetKind::text, Effect::checks, false,
     true},
    {Action::verify_text_visible, "verify_text_visible", TargetKind::text, Effect::checks, false,
     true},
    {Action::verify_spatial_text, "verify_spatial_text", TargetKind::text, Effect::checks, false,
     true},
    {Action::accept_dialog, "accept_dialog", TargetKind::dialog, Effect::acts, false, true},
    {Action::dismiss_dialog, "dismiss_dialog", TargetKind::dialog, Effect::acts, false, true},
    {Action::verify_dialog, "verify_dialog", TargetKind::dialog, Effect::checks, false, true},
    {Action::wait, "wait", TargetKind::none, Effect::acts, false, false},
    {Action::verify_not_present, "verify_not_present", TargetKind::element, Effect::checks, false,
     false},
    {Action::verify_not_visible, "verify_not_visible", TargetKind::element, Effect::checks, false,
     false},
    {Action::verify_not_enabled, "verify_not_enabled", TargetKind::element, Effect::checks, false,
     false},
    {Action::verify_checked, "verify_checked", TargetKind::element, Effect::checks, false, false},
    {Action::verify_not_checked, "verify_not_checked", TargetKind::element, Effect::checks, false,
     false},
    {Action::verify_value, "verify_value", TargetKind::element, Effect::checks, false, false},
    {Action::verify_contains, "verify_contains", TargetKind::element, Effect::checks, false,
     false},
    {Action::verify_count, "verify_count", TargetKind::element, Effect::checks, false, false},
    {Action::verify_text_not_present, "verify_text_not_present", TargetKind::text,
     Effect::checks, false, false},
    {Action::verify_text_not_visible, "verify_text_not_visible", TargetKind::text,
     Effect::checks, false, false},
    {Action::verify_spatial_text_not, "verify_spatial_text_not", TargetKind::text,
     Effect::checks, false, false},
    {Action::verify_spatial_text_exact, "verify_spatial_text_exact", TargetKind::text,
     Effect::checks, false, false},
    {Action::verify_spatial_text_not_exact, "verify_spatial_text_not_exact", TargetKind::text,
     Effect::checks, false, false},
    {Action::verify_url, "verify_url", TargetKind::page, Effect::checks, false, false},
    {Action::verify_url_contains, "verify_url_contains", TargetKind::page, Effect::checks, false,
     false},
    {Action::verify_title, "verify_title", TargetKind::page, Effect::checks, false, false},
    {Action::verify_title_contains, "verify_title_contains", TargetKind::page, Effect::checks,
     false, false},
    {Action::double_click, "double_click", TargetKind::element, Effect::acts, true, false},
    {Action::right_click, "right_click", TargetKind::element, Effect::acts, true, false},
    {Action::check, "check", TargetKind::element, Effect::acts, false, false},
    {Action::uncheck, "uncheck", TargetKind::element, Effect::acts, false, false},
    {Action::clear, "clear", TargetKind::element, Effect::acts, false, false},
    {Action::upload, "upload", TargetKind::element, Effect::acts, false, false},
    {Action::drag, "drag", TargetKind::element, Effect::acts, true, false},
    {Action::scroll_to, "scroll_to", TargetKind::element, Effect::acts, false, false},
    {Action::go_to, "go_to", TargetKind::page, Effect::acts, false, false},
    {Action::switch_to_new_tab, "switch_to_new_tab", TargetKind::page, Effect::acts, false, false},
    {Action::switch_to_tab, "switch_to_tab", TargetKind::page, Effect::acts, false, false},
    {Action::close_tab, "close_tab", TargetKind::page, Effect::acts, false, false},
    {Action::remember_text, "remember_text", TargetKind::element, Effect::reads, true, false},
    {Action::remember_text_spatial, "remember_text_spatial", TargetKind::text, Effect::reads,
     false, false},
    {Action::run_file, "run_file", TargetKind::none, Effect::acts, false, false},
}};

constexpr bool _actions_in_enum_order() {
  for (size_t i = 0; i < ACTIONS.size(); ++i)
    if (static_cast<size_t>(ACTIONS[i].action) != i) return false;
  return true;
}
static_assert(_actions_in_enum_order(), "ACTIONS lists every Action once, in enum order");

constexpr const ActionInfo& info(Action a) { return ACTIONS[static_cast<size_t>(a)]; }
constexpr std::string_view action_name(Action a) { return info(a).name; }
constexpr bool is_check(Action a) { return info(a).effect == Effect::checks; }

// The action a parsed instruction names; nullopt for a name the language
// does not have (a host may still pass one: it is resolved as a target).
constexpr std::optional<Action> action_named(std::string_view name) {
  for (const ActionInfo& a : ACTIONS)
    if (a.name == name) return a.action;
  return std::nullopt;
}

// ---- target phrases ---------------------------------------------------------

// Where an element stands relative to an anchor.
enum class Relation { next_to, below, above, left_of, right_of, near };

struct RelationWord {
  std::string_view words;  // lower case, as a phrase holds them
  Relation relation;
};

// In the order a phrase is searched for them when lengths tie.
inline constexpr std::array<RelationWord, 7> RELATION_WORDS{{{"next to", Relation::next_to},
                                                             {"below", Relation::below},
                                                             {"under", Relation::below},
                                                             {"above", Relation::above},
                                                             {"left of", Relation::left_of},
                                                             {"right of", Relation::right_of},
                                                             {"near", Relation::near}}};

struct OrdinalWord {
  std::string_view word;
  int number;
  bool spelled;  // "second", as a step's leading word; "2nd" only inside phrases
};

inline constexpr std::array<OrdinalWord, 10> ORDINAL_WORDS{{{"first", 1, true},
                                                            {"second", 2, true},
                                                            {"third", 3, true},
                                                            {"fourth", 4, true},
                                                            {"fifth", 5, true},
                                                            {"1st", 1, false},
                                                            {"2nd", 2, false},
                                                            {"3rd", 3, false},
                                                            {"4th", 4, false},
                                                            {"5th", 5, false}}};

// The kinds of element a type word names: "the Login button", "the B radio".
enum class ElementKind { button, link, field, dropdown, checkbox, radio };

struct TypeWord {
  std::string_view word;
  std::optional<ElementKind> kind;  // what it narrows a match to
  std::string_view grid_type;       // the matrix's element type it places, or ""
  bool descriptor;                  // dropped from a phrase matched by its words
};

// The grid's words first, in the order the grid takes the first it finds.
inline constexpr std::array<TypeWord, 19> TYPE_WORDS{{
    {"button", ElementKind::button, "button", true},
    {"btn", ElementKind::button, "button", true},
    {"link", ElementKind::link, "link", true},
    {"anchor", std::nullopt, "link", false},
    {"input", ElementKind::field, "input", true},
    {"field", ElementKind::field, "input", true},
    {"textbox", ElementKind::field, "input", true},
    {"select", ElementKind::dropdown, "select", true},
    {"dropdown", ElementKind::dropdown, "select", true},
    {"checkbox", ElementKind::checkbox, "", true},
    {"radio", ElementKind::radio, "", true},
    {"textarea", ElementKind::field, "", true},
    {"box", std::nullopt, "", true},
    {"area", std::nullopt, "", true},
    {"icon", std::nullopt, "", true},
    {"control", std::nullopt, "", true},
    {"widget", std::nullopt, "", true},
    {"form", std::nullopt, "", true},
    {"element", std::nullopt, "", true},
}};

// The row of a lower-case word, or nullptr.
constexpr const TypeWord* type_word(std::string_view lower) {
  for (const TypeWord& t : TYPE_WORDS)
    if (t.word == lower) return &t;
  return nullptr;
}

}  // namespace plainstep
