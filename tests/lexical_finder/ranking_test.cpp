// Which match wins: quoted phrases as written, the whole phrase before the
// phrase without its type words, what a person reads before markup, and the
// fields a label names.
#include <gtest/gtest.h>

#include "lexical_finder/records_for_tests.hpp"
#include "lexical_finder/finder_for_tests.hpp"
#include "strategies/lexical_finder/lexical_finder.hpp"

using namespace plainstep;
using namespace plainstep::lexical_finder;
using plainstep::testing::finder;
using plainstep::testing::Make;
using plainstep::testing::step;

namespace {

ParsedInstruction written(std::string action, std::string target, bool quoted,
                          std::optional<std::string> value = std::nullopt) {
  const std::optional<int> ordinal = action == "click" ? std::optional<int>(1) : std::nullopt;
  ParsedInstruction p = step(std::move(action), std::move(target), std::move(value), ordinal);
  p.literal_target = quoted;
  return p;
}

struct PickCase {
  const char* name;
  ParsedInstruction step;
  Elements page;
  int want;  // index into page; -1: not resolved
  friend void PrintTo(const PickCase& c, std::ostream* os) { *os << c.name; }
};

class Picks : public ::testing::TestWithParam<PickCase> {};

TEST_P(Picks, TheElementAPersonMeans) {
  const auto& c = GetParam();
  ResolutionResult r = finder.resolve(c.step, c.page);
  if (c.want < 0) {
    EXPECT_FALSE(r.resolved) << c.name << ": chose " << (r.element ? r.element->text : "");
    return;
  }
  ASSERT_TRUE(r.resolved) << c.name;
  EXPECT_EQ(r.element, c.page[static_cast<size_t>(c.want)])
      << c.name << ": chose " << r.element->tag << " '" << r.element->text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Quoting, Picks,
    ::testing::Values(
        // Quoted: type words are part of the words to find.
        PickCase{"quoted_phrase_keeps_its_type_word",
                 written("click", "Dropdown menu", true),
                 {Make("button", "Open menu").at(0, 0), Make("button", "Dropdown menu ▾").at(0, 90)},
                 1},
        PickCase{"unquoted_phrase_drops_it_when_nothing_reads_it_whole",
                 written("click", "Dropdown menu", false),
                 {Make("button", "Open menu").at(0, 0), Make("button", "Dropdown menu ▾").at(0, 90)},
                 0},
        PickCase{"quoted_field_name_is_not_cut_to_a_placeholder_word",
                 written("type", "Example textarea", true, "x"),
                 {Make("input").attr("_label", "Email").attr("placeholder", "name@example.com").at(0, 0),
                  Make("textarea").attr("_label", "Example textarea").at(0, 90)},
                 1},
        PickCase{"quoted_phrase_still_matches_in_part",
                 written("click", "Log in", true),
                 {Make("a", "Help").at(0, 0), Make("button", "Log in now").at(0, 90)}, 1},
        PickCase{"whole_phrase_read_exactly_wins_over_the_stripped_one",
                 written("click", "Login button", false),
                 {Make("button", "Login").at(0, 0), Make("a", "Login button").at(0, 90)}, 1},
        PickCase{"then_the_phrase_without_type_words",
                 written("click", "Login button", false),
                 {Make("a", "Help").at(0, 0), Make("button", "Login").at(0, 90)}, 1},
        PickCase{"stripped_exact_beats_whole_in_part",
                 written("click", "Login button", false),
                 {Make("a", "Login button help").at(0, 0), Make("button", "Login").at(0, 90)}, 1},
        PickCase{"quoted_with_no_match_as_written_is_not_found",
                 written("click", "Save button", true), {Make("button", "Save").at(0, 0)}, -1},
        PickCase{"quoted_element_check", written("verify_visible", "Dropdown menu", true),
                 {Make("button", "Open menu").at(0, 0), Make("button", "Dropdown menu ▾").at(0, 90)},
                 1}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    ReadableFirst, Picks,
    ::testing::Values(
        PickCase{"type_attribute_does_not_tie_with_a_label",
                 written("type", "Text", false, "x"),
                 {Make("input").attr("type", "text").attr("_label", "Email").at(0, 0),
                  Make("input").attr("type", "text").attr("_label", "Text").at(0, 90)},
                 1},
        PickCase{"class_word_does_not_tie_with_a_label",
                 written("select", "Select", false, "Red"),
                 {Make("select").attr("class", "custom-select").attr("_label", "Country").at(0, 0),
                  Make("select").attr("_label", "Select").at(0, 90)},
                 1},
        PickCase{"readable_in_part_beats_markup_exactly",
                 written("click", "Save", false),
                 {Make("button").attr("id", "save").at(0, 0), Make("a", "Save as draft").at(0, 90)}, 1},
        PickCase{"markup_when_nothing_readable_matches",
                 written("click", "Save", false),
                 {Make("a", "Help").at(0, 0), Make("button").attr("data-testid", "save").at(0, 90)},
                 1},
        PickCase{"title_is_read",
                 written("click", "Close", false),
                 {Make("button").attr("data-testid", "close").at(0, 0),
                  Make("button").attr("title", "Close").at(0, 90)},
                 1},
        PickCase{"alt_is_read",
                 written("click", "Logo", false),
                 {Make("a").attr("class", "logo").at(0, 0), Make("img").attr("alt", "Logo").at(0, 90)},
                 1},
        PickCase{"check_takes_the_readable_match_first",
                 written("verify_disabled", "Register", false),
                 {Make("div").attr("class", "register").at(0, 0),
                  Make("button", "Register").disabled().at(0, 90)},
                 1},
        PickCase{"visible_still_before_hidden",
                 written("click", "Pay", false),
                 {Make("button", "Pay").hidden().at(0, 0),
                  Make("button").attr("data-testid", "pay").at(0, 90)},
                 1}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Labels, Picks,
    ::testing::Values(
        PickCase{"select_finds_the_dropdown_by_its_label",
                 written("select", "Colour", false, "Red"),
                 {Make("select").attr("_label", "Size").at(0, 0),
                  Make("select").attr("_label", "Colour").at(0, 90)},
                 1},
        PickCase{"trailing_colon_of_a_label_does_not_count",
                 written("type", "Search", false, "tea"),
                 {Make("input").attr("placeholder", "Search products").at(0, 0),
                  Make("input").attr("_label", "Search:").at(0, 90)},
                 1},
        PickCase{"colon_with_space_before_it", written("type", "Name", false, "x"),
                 {Make("input").attr("placeholder", "Name of the pet").at(0, 0),
                  Make("input").attr("_label", "Name :").at(0, 90)},
                 1},
        // a hint's ellipsis is no word either: the table's "Search..." box,
        // not the navigation bar's "Search for..."
        PickCase{"trailing_ellipsis_of_a_hint_does_not_count",
                 written("type", "Search", false, "Tokyo"),
                 {Make("input").attr("aria-label", "Search for...").attr("placeholder", "Search for...").at(0, 0),
                  Make("input").attr("placeholder", "Search...").at(0, 90)},
                 1},
        PickCase{"trailing_ellipsis_character", written("type", "Filter", false, "x"),
                 {Make("input").attr("placeholder", "Filter rows").at(0, 0),
                  Make("input").attr("_label", "Filter\u2026").at(0, 90)},
                 1},
        PickCase{"click_never_matches_a_label_alone", written("click", "Email", false),
                 {Make("input").attr("_label", "Email").at(0, 0)}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// A control that shows only an icon is named by the icon: by its name with
// or without the word "icon". It is markup: what a person reads still wins.
INSTANTIATE_TEST_SUITE_P(
    Icons, Picks,
    ::testing::Values(
        PickCase{"the_user_icon_is_the_icon_only_control",
                 written("click", "user icon", false),
                 {Make("a", "Dashboard").at(0, 0), Make("a").attr("_icon", "bell").at(0, 90),
                  Make("a").attr("id", "navbarDropdown").attr("_icon", "user").at(0, 180)},
                 2},
        PickCase{"the_icon_name_alone", written("click", "user", false),
                 {Make("a").attr("_icon", "bell").at(0, 0), Make("a").attr("_icon", "user").at(0, 90)}, 1},
        PickCase{"icon_names_of_several_words", written("click", "arrow right icon", false),
                 {Make("button").attr("_icon", "arrow left").at(0, 0),
                  Make("button").attr("_icon", "arrow right").at(0, 90)},
                 1},
        PickCase{"one_icon_of_several_in_part", written("click", "caret down icon", false),
                 {Make("button").attr("_icon", "user caret down").at(0, 0)}, 0},
        PickCase{"readable_text_wins_over_an_icon", written("click", "user icon", false),
                 {Make("a").attr("_icon", "user").at(0, 0), Make("a", "User").at(0, 90)}, 1},
        PickCase{"readable_text_in_part_wins_over_an_icon", written("click", "user", false),
                 {Make("a").attr("_icon", "user").at(0, 0), Make("a", "User settings").at(0, 90)}, 1},
        PickCase{"an_aria_label_wins_over_an_icon", written("click", "user icon", false),
                 {Make("button").attr("_icon", "user").at(0, 0),
                  Make("button").attr("aria-label", "User").attr("_icon", "circle").at(0, 90)},
                 1},
        // "user icon" is the icon's whole name; the id only holds "user"
        PickCase{"the_icon_before_an_id_of_the_same_word", written("click", "user icon", false),
                 {Make("div").attr("id", "user").at(0, 0), Make("a").attr("_icon", "user").at(0, 90)}, 1},
        PickCase{"the_icon_before_a_class_word", written("click", "user", false),
                 {Make("div").attr("class", "user-panel").at(0, 0), Make("a").attr("_icon", "user").at(0, 90)},
                 1},
        PickCase{"quoted_icon_name", written("click", "gear", true),
                 {Make("a", "Help").at(0, 0), Make("button").attr("_icon", "gear").at(0, 90)}, 1},
        PickCase{"no_such_icon", written("click", "bell icon", false),
                 {Make("a").attr("_icon", "user").at(0, 0)}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TargetPhrases, WholeThenStrippedUnlessQuoted) {
  TargetPhrases unquoted = _target_phrases("Login Button", false);
  EXPECT_EQ(unquoted.whole, "login button");
  EXPECT_EQ(unquoted.stripped, "login");
  EXPECT_EQ(_target_phrases("Login Button", true).stripped, std::nullopt);
  EXPECT_EQ(_target_phrases("Login", false).stripped, std::nullopt);   // nothing to drop
  EXPECT_EQ(_target_phrases("button", false).stripped, std::nullopt);  // all type words
}

TEST(MatchRank, ReadableTiersBeforeMarkupTiers) {
  const TargetPhrases p = _target_phrases("Save button", false);
  struct Case {
    Element e;
    MatchRank want;
  };
  const std::vector<Case> cases = {
      {Make("a", " save button ").e, MatchRank::readable_whole},
      {Make("a", "Save").e, MatchRank::readable_exact},
      {Make("a").attr("aria-label", "Save all").e, MatchRank::readable_partial},
      {Make("a").attr("data-testid", "save button").e, MatchRank::markup_whole},
      {Make("a").attr("id", "save").e, MatchRank::markup_exact},
      {Make("a").attr("class", "saved-items").e, MatchRank::markup_partial},
      {Make("a").attr("_icon", "save").e, MatchRank::markup_exact},
      {Make("a").attr("_icon", "floppy save").e, MatchRank::markup_partial},
      {Make("a").attr("_label", "Save").e, MatchRank::none},  // labels only when asked
      {Make("a").attr("data-save", "no").attr("title", "Saves all").e, MatchRank::readable_partial},
      {Make("a", "Cancel").attr("value", "save").e, MatchRank::none}};
  for (const auto& c : cases)
    EXPECT_EQ(_match_rank(p, c.e), c.want) << to_json(c.e).dump();
  EXPECT_EQ(_match_rank(p, Make("a").attr("_label", "Save:").e, true), MatchRank::readable_exact);
  EXPECT_EQ(_match_rank(_target_phrases("save icon", false), Make("a").attr("_icon", "save").e),
            MatchRank::markup_whole);
  // Only a label's colon is set aside.
  EXPECT_EQ(_match_rank(p, Make("a", "Save:").e), MatchRank::readable_partial);
}

// ---- fields named by their label for clicks, hovers and checks -----------

// A type word at either end of an unquoted phrase prefers elements of its
// kind (by tag, input type and role), named by their labels when they are
// form controls; the others are tried when none of that kind answers.
INSTANTIATE_TEST_SUITE_P(
    TypeWords, Picks,
    ::testing::Values(
        PickCase{"radio_over_a_dropdown_whose_options_hold_the_words",
                 written("click", "Option 02 radio", false),
                 {Make("select", "Option 01 Option 02").at(0, 0),
                  Make("input").attr("type", "radio").attr("_label", "Option 02").at(0, 90)},
                 1},
        PickCase{"checkbox_over_a_radio_labelled_alike",
                 written("click", "Option 01 checkbox", false),
                 {Make("input").attr("type", "radio").attr("_label", "Option 01").at(0, 0),
                  Make("input").attr("type", "checkbox").attr("_label", "Option 01").at(0, 90)},
                 1},
        PickCase{"one_letter_checkbox_among_words_holding_the_letter",
                 written("click", "D checkbox", false),
                 {Make("a", "Download").at(0, 0),
                  Make("input").attr("type", "checkbox").attr("_label", "C").at(0, 50),
                  Make("input").attr("type", "checkbox").attr("_label", "D").at(0, 90)},
                 2},
        PickCase{"button_over_a_link_reading_the_same",
                 written("click", "Login button", false),
                 {Make("a", "Login").at(0, 0), Make("button", "Login").at(0, 90)}, 1},
        PickCase{"a_submit_input_is_a_button",
                 written("click", "Send button", false),
                 {Make("a", "Send").at(0, 0), Make("input", "Send").attr("type", "submit").at(0, 90)},
                 1},
        PickCase{"link_over_a_button", written("click", "Login link", false),
                 {Make("button", "Login").at(0, 0), Make("a", "Login").at(0, 90)}, 1},
        PickCase{"leading_type_word", written("click", "link Login", false),
                 {Make("button", "Login").at(0, 0), Make("span", "Login").attr("role", "link").at(0, 90)},
                 1},
        PickCase{"role_switch_is_a_checkbox", written("click", "Wi-Fi checkbox", false),
                 {Make("button", "Wi-Fi").at(0, 0),
                  Make("div").attr("role", "switch").attr("aria-label", "Wi-Fi").at(0, 90)},
                 1},
        PickCase{"dropdown_by_its_label", written("click", "Size dropdown", false),
                 {Make("button", "Size guide").at(0, 0),
                  Make("select", "S M L").attr("_label", "Size").at(0, 90)},
                 1},
        PickCase{"field_by_its_label_for_a_hover", written("hover", "Email field", false),
                 {Make("a", "Email us").at(0, 0), Make("input").attr("_label", "Email").at(0, 90)}, 1},
        PickCase{"none_of_the_kind_answers_so_any_element", written("click", "Save button", false),
                 {Make("a", "Save").at(0, 0), Make("button", "Cancel").at(0, 90)}, 0},
        PickCase{"quoted_phrase_names_no_kind", written("click", "Login button", true),
                 {Make("a", "Login button").at(0, 0), Make("button", "Login").at(0, 90)}, 0},
        PickCase{"a_lone_type_word_is_a_name", written("click", "button", false),
                 {Make("a", "button").at(0, 0), Make("button", "Go").at(0, 90)}, 0},
        PickCase{"element_check_on_a_labelled_dropdown",
                 written("verify_disabled", "Select disabled dropdown", false),
                 {Make("button", "Select disabled rows").at(0, 0),
                  Make("select").attr("_label", "Select disabled").disabled().at(0, 90)},
                 1}),
    [](const auto& info) { return std::string(info.param.name); });

struct LabelCase {
  const char* name;
  ParsedInstruction step;
  Elements page;
  int want;  // index into page; -1: left to text matching
  friend void PrintTo(const LabelCase& c, std::ostream* os) { *os << c.name; }
};

class LabelledField : public ::testing::TestWithParam<LabelCase> {};

TEST_P(LabelledField, FoundWhenTheLabelAnswersBetter) {
  const auto& c = GetParam();
  ResolutionResult r = finder.resolve_labelled_field(c.step, c.page);
  if (c.want < 0) {
    EXPECT_FALSE(r.resolved) << c.name << ": chose " << (r.element ? to_json(*r.element).dump() : "");
    EXPECT_EQ(r.element, nullptr);
    return;
  }
  ASSERT_TRUE(r.resolved) << c.name;
  EXPECT_EQ(r.element, c.page[static_cast<size_t>(c.want)]) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, LabelledField,
    ::testing::Values(
        LabelCase{"checkbox_when_no_element_shows_the_words",
                  written("click", "Remember me", false),
                  {Make("button", "Sign in").at(0, 0),
                   Make("input").attr("type", "checkbox").attr("_label", "Remember me").at(0, 90)},
                  1},
        LabelCase{"radio_by_its_label", written("click", "Express", false),
                  {Make("input").attr("type", "radio").attr("_label", "Standard").at(0, 0),
                   Make("input").attr("type", "radio").attr("_label", "Express").at(0, 30)},
                  1},
        LabelCase{"select_for_a_check", written("verify_enabled", "Country", false),
                  {Make("select").attr("_label", "Country").at(0, 0)}, 0},
        LabelCase{"custom_checkbox_by_role", written("hover", "Dark mode", false),
                  {Make("div").attr("role", "switch").attr("_label", "Dark mode").at(0, 0)}, 0},
        LabelCase{"exact_label_beats_words_in_part",
                  written("click", "Active", false),
                  {Make("a", "Inactive users").at(0, 0),
                   Make("input").attr("type", "checkbox").attr("_label", "Active").at(0, 90)},
                  1},
        LabelCase{"label_with_its_colon", written("verify_visible", "Search", false),
                  {Make("a", "Search tips").at(0, 0), Make("input").attr("_label", "Search:").at(0, 90)},
                  1},
        LabelCase{"type_word_dropped_from_an_unquoted_phrase",
                  written("click", "Terms checkbox", false),
                  {Make("input").attr("type", "checkbox").attr("_label", "Terms").at(0, 0)}, 0},
        LabelCase{"quoted_phrase_kept_whole", written("click", "Terms checkbox", true),
                  {Make("input").attr("type", "checkbox").attr("_label", "Terms").at(0, 0)}, -1},
        LabelCase{"words_read_as_well_keep_the_step",
                  written("click", "Subscribe", false),
                  {Make("button", "Subscribe").at(0, 0),
                   Make("input").attr("type", "checkbox").attr("_label", "Subscribe").at(0, 90)},
                  -1},
        LabelCase{"a_visible_element_beats_a_hidden_field_for_actions",
                  written("click", "Notify", false),
                  {Make("a", "Notify me later").at(0, 0),
                   Make("input").attr("type", "checkbox").attr("_label", "Notify").hidden().at(0, 90)},
                  -1},
        LabelCase{"checks_weigh_hidden_fields_too",
                  written("verify_present", "Notify", false),
                  {Make("a", "Notify me later").at(0, 0),
                   Make("input").attr("type", "checkbox").attr("_label", "Notify").hidden().at(0, 90)},
                  1},
        LabelCase{"buttons_are_no_fields", written("click", "Go", false),
                  {Make("input").attr("type", "submit").attr("_label", "Go").at(0, 0)}, -1},
        LabelCase{"the_kind_a_type_word_names_before_reading_order",
                  written("click", "Option 01 checkbox", false),
                  {Make("input").attr("type", "radio").attr("_label", "Option 01").at(0, 0),
                   Make("input").attr("type", "checkbox").attr("_label", "Option 01").at(0, 90)},
                  1},
        LabelCase{"nothing_labelled_so", written("click", "Remember me", false),
                  {Make("input").attr("_label", "Email").at(0, 0)}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LabelledField, OrdinalCountsTheLabelledFieldsInReadingOrder) {
  Elements page{Make("input").attr("type", "checkbox").attr("_label", "Agree").at(0, 90),
                Make("input").attr("type", "checkbox").attr("_label", "Agree").at(0, 10)};
  ParsedInstruction second = written("click", "Agree", false);
  second.ordinal = 2;
  EXPECT_EQ(finder.resolve_labelled_field(second, page).element, page[0]);
  second.ordinal = 3;
  EXPECT_FALSE(finder.resolve_labelled_field(second, page).resolved);
  EXPECT_THROW(finder.resolve_labelled_field(step("accept_dialog", std::nullopt), page), TypeError);
}

}  // namespace
