// The forms the language grew: what each reads as, which form wins where
// two could read a step, and the wording issues of each.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent/step_reader/step_reader.hpp"
#include "step_reader/cases.hpp"

using plainstep::StepReader;

namespace {

class GrownParses : public ::testing::TestWithParam<ParseCase> {};

TEST_P(GrownParses, ToTheRecord) {
  EXPECT_EQ(to_json(reader.parse(GetParam().step)).dump(), GetParam().record);
  EXPECT_TRUE(reader.validate(GetParam().step).empty()) << GetParam().step;
}

INSTANTIATE_TEST_SUITE_P(Checks, GrownParses, ::testing::Values(
    ParseCase{"verify the Save button is not visible", R"({"action":"verify_not_visible","target":"Save button","value":null,"_literal_target":false})"},
    ParseCase{"verify Delete is hidden", R"({"action":"verify_not_visible","target":"Delete","value":null,"_literal_target":false})"},
    ParseCase{R"(verify "Spinner" is not present)", R"({"action":"verify_not_present","target":"Spinner","value":null,"_literal_target":true})"},
    ParseCase{"verify Register is not enabled", R"({"action":"verify_not_enabled","target":"Register","value":null,"_literal_target":false})"},
    ParseCase{"verify Register is not disabled", R"({"action":"verify_enabled","target":"Register","value":null,"_literal_target":false})"},
    ParseCase{"verify Remember me is checked", R"({"action":"verify_checked","target":"Remember me","value":null,"_literal_target":false})"},
    ParseCase{"verify Remember me is not checked", R"({"action":"verify_not_checked","target":"Remember me","value":null,"_literal_target":false})"},
    ParseCase{"VERIFY Remember me IS UNCHECKED", R"({"action":"verify_not_checked","target":"Remember me","value":null,"_literal_target":false})"},
    ParseCase{"verify text Buy milk is not present", R"({"action":"verify_text_not_present","target":"Buy milk","value":null,"_literal_target":false})"},
    ParseCase{R"(verify text "Loading..." is not visible)", R"({"action":"verify_text_not_visible","target":"Loading...","value":null,"_literal_target":true})"},
    ParseCase{"verify text the Loading bar is hidden", R"({"action":"verify_text_not_visible","target":"the Loading bar","value":null,"_literal_target":false})"},
    ParseCase{"verify text right of Total is not 5", R"({"action":"verify_spatial_text_not","target":"right of Total","value":"5","_literal_target":false})"},
    ParseCase{"verify text right of Total is exactly 0", R"({"action":"verify_spatial_text_exact","target":"right of Total","value":"0","_literal_target":false})"},
    ParseCase{"verify text right of Total is Not Exactly 0", R"({"action":"verify_spatial_text_not_exact","target":"right of Total","value":"0","_literal_target":false})"},
    ParseCase{R"(verify text right of Total is not "0")", R"({"action":"verify_spatial_text_not","target":"right of Total","value":"0","_literal_target":false})"},
    ParseCase{"verify the Email field has value ada@example.com", R"({"action":"verify_value","target":"Email field","value":"ada@example.com","_literal_target":false})"},
    ParseCase{R"(verify Note has value "it has value x")", R"({"action":"verify_value","target":"Note","value":"it has value x","_literal_target":false})"},
    ParseCase{"verify the cart contains Olive oil", R"({"action":"verify_contains","target":"cart","value":"Olive oil","_literal_target":false})"},
    ParseCase{R"(verify count of "Add to cart" is 4)", R"({"action":"verify_count","target":"Add to cart","value":"4","_literal_target":true})"},
    ParseCase{"verify the count of the todo items is 0", R"({"action":"verify_count","target":"todo items","value":"0","_literal_target":false})"},
    ParseCase{"verify url contains /shop.html", R"({"action":"verify_url_contains","target":null,"value":"/shop.html","_literal_target":false})"},
    ParseCase{"verify the url is site/shop.html", R"({"action":"verify_url","target":null,"value":"site/shop.html","_literal_target":false})"},
    ParseCase{"verify title is Demo shop", R"({"action":"verify_title","target":null,"value":"Demo shop","_literal_target":false})"},
    ParseCase{"verify title contains shop", R"({"action":"verify_title_contains","target":null,"value":"shop","_literal_target":false})"}));

INSTANTIATE_TEST_SUITE_P(Actions, GrownParses, ::testing::Values(
    ParseCase{"double click Buy milk", R"({"action":"double_click","target":"Buy milk","value":null,"ordinal":1,"_literal_target":false})"},
    ParseCase{R"(double click second "Row")", R"({"action":"double_click","target":"Row","value":null,"ordinal":2,"_literal_target":true})"},
    ParseCase{"right click the Row 3", R"({"action":"right_click","target":"Row 3","value":null,"ordinal":1,"_literal_target":false})"},
    ParseCase{"check the Remember me checkbox", R"({"action":"check","target":"Remember me checkbox","value":null,"_literal_target":false})"},
    ParseCase{"uncheck Remember me", R"({"action":"uncheck","target":"Remember me","value":null,"_literal_target":false})"},
    ParseCase{"clear the Email field", R"({"action":"clear","target":"Email field","value":null,"_literal_target":false})"},
    ParseCase{"scroll to the Footer", R"({"action":"scroll_to","target":"Footer","value":null,"_literal_target":false})"},
    ParseCase{"upload files/cv.pdf to the Resume field", R"({"action":"upload","target":"Resume field","value":"files/cv.pdf","_literal_target":false})"},
    // "next to" is a place, not the keyword
    ParseCase{"upload cv.pdf to the field next to Resume", R"({"action":"upload","target":"field next to Resume","value":"cv.pdf","_literal_target":false})"},
    ParseCase{"drag the card next to Todo to the Done column", R"({"action":"drag","target":"card next to Todo","value":"the Done column","ordinal":1,"_literal_target":false})"},
    ParseCase{R"(drag second "Card" to "Done")", R"({"action":"drag","target":"Card","value":"\"Done\"","ordinal":2,"_literal_target":true})"},
    ParseCase{"go to site/shop.html", R"({"action":"go_to","target":"site/shop.html","value":null,"_literal_target":false})"},
    ParseCase{"Go To https://example.com/A", R"({"action":"go_to","target":"https://example.com/A","value":null,"_literal_target":false})"},
    ParseCase{"switch to new tab", R"({"action":"switch_to_new_tab","target":null,"value":null,"_literal_target":false})"},
    ParseCase{"switch to the new tab", R"({"action":"switch_to_new_tab","target":null,"value":null,"_literal_target":false})"},
    ParseCase{"switch to tab 2", R"({"action":"switch_to_tab","target":"2","value":null,"_literal_target":false})"},
    ParseCase{"close tab", R"({"action":"close_tab","target":null,"value":null,"_literal_target":false})"},
    ParseCase{"remember text right of Total as TOTAL", R"({"action":"remember_text_spatial","target":"right of Total","value":"TOTAL","_literal_target":false})"},
    ParseCase{"remember text from second Price as PRICE_2", R"({"action":"remember_text","target":"Price","value":"PRICE_2","ordinal":2,"_literal_target":false})"},
    // the last " as " splits
    ParseCase{"remember text Save as draft as LABEL", R"({"action":"remember_text","target":"Save as draft","value":"LABEL","ordinal":1,"_literal_target":false})"},
    ParseCase{"run shared/login.steps", R"({"action":"run_file","target":"shared/login.steps","value":null,"_literal_target":false})"},
    // a variable is one word of the step, read when the step runs
    ParseCase{"type ${PASSWORD} into Password", R"({"action":"type","target":"Password","value":"${PASSWORD}","_literal_target":false})"}));

// Where a first form and a grown one could both read a step, the first
// form reads it as it always has.
INSTANTIATE_TEST_SUITE_P(FirstFormsWin, GrownParses, ::testing::Values(
    ParseCase{"verify title is visible", R"({"action":"verify_visible","target":"title","value":null,"_literal_target":false})"},
    ParseCase{"verify url is present", R"({"action":"verify_present","target":"url","value":null,"_literal_target":false})"},
    ParseCase{"verify Name has value this is visible", R"({"action":"verify_visible","target":"Name has value this","value":null,"_literal_target":false})"},
    // quoted words after "is" are the expected text
    ParseCase{R"(verify text right of Status is "not available")", R"({"action":"verify_spatial_text","target":"right of Status","value":"not available","_literal_target":false})"},
    ParseCase{"verify text right of Total is not", R"({"action":"verify_spatial_text","target":"right of Total","value":"not","_literal_target":false})"},
    ParseCase{"verify text below Total is not visible", R"({"action":"verify_spatial_text_not","target":"below Total","value":"visible","_literal_target":false})"},
    // a quoted url or title names an element
    ParseCase{R"(verify "URL" contains example)", R"({"action":"verify_contains","target":"URL","value":"example","_literal_target":true})"},
    ParseCase{"click check Remember me", R"({"action":"click","target":"check Remember me","value":null,"ordinal":1,"_literal_target":false})"}));

struct IssueCase {
  std::string step;
  std::vector<std::string> issues;
};

std::ostream& operator<<(std::ostream& os, const IssueCase& c) { return os << c.step; }

class GrownIssues : public ::testing::TestWithParam<IssueCase> {};

TEST_P(GrownIssues, ReportedInWords) { EXPECT_EQ(reader.validate(GetParam().step), GetParam().issues); }

INSTANTIATE_TEST_SUITE_P(Faulty, GrownIssues, ::testing::Values(
    IssueCase{"check", {"`check` instruction missing its target. Expected: check <target>"}},
    IssueCase{"check the", {"`check` instruction missing its target. Expected: check <target>"}},
    IssueCase{"double click", {"`double click` instruction missing its target. Expected: double click <target>"}},
    IssueCase{"scroll to", {"`scroll to` instruction missing its target. Expected: scroll to <target>"}},
    IssueCase{"upload cv.pdf", {"`upload` instruction missing `to` keyword. Expected: upload <file> to <target>"}},
    IssueCase{"upload to Resume", {"`upload` instruction missing the file to upload. Expected: upload <file> to <target>"}},
    IssueCase{"upload cv.pdf to", {"`upload` instruction missing its target. Expected: upload <file> to <target>"}},
    IssueCase{"drag Card", {"`drag` instruction missing `to` keyword. Expected: drag <target> to <target>"}},
    IssueCase{"drag Card to", {"`drag` instruction missing where to drop it. Expected: drag <target> to <target>"}},
    IssueCase{"drag to Done", {"`drag` instruction missing what to drag. Expected: drag <target> to <target>"}},
    IssueCase{"go to", {"`go to` instruction missing its address. Expected: go to <address>"}},
    IssueCase{"switch to tab two", {"`switch to tab` value must be a tab number from 1. Got: 'two'"}},
    IssueCase{"switch to tab 0", {"`switch to tab` value must be a tab number from 1. Got: '0'"}},
    IssueCase{"switch tabs", {"`switch` instruction names no tab. Expected: switch to new tab | switch to tab <number>"}},
    IssueCase{"close window", {"`close` instruction names no tab. Expected: close tab"}},
    IssueCase{"remember Total", {"`remember` instruction missing `text` keyword. Expected: remember text <target> as <name>"}},
    IssueCase{"remember text Total", {"`remember text` instruction missing `as` keyword. Expected: remember text <target> as <name>"}},
    IssueCase{"remember text as X", {"`remember text` instruction missing its target. Expected: remember text <target> as <name>"}},
    IssueCase{"remember text right of Total as 2x", {"`remember text` name must be letters, digits and _, not starting with a digit. Got: '2x'"}},
    IssueCase{"remember text Total as my total", {"`remember text` name must be letters, digits and _, not starting with a digit. Got: 'my total'"}},
    IssueCase{"run", {"`run` instruction missing its file. Expected: run <file>"}},
    IssueCase{"verify is hidden", {"`verify` instruction missing its target. Expected: verify <target> is not visible"}},
    IssueCase{"verify  is checked", {"`verify` instruction missing its target. Expected: verify <target> is checked"}},
    IssueCase{"verify text is not present", {"`verify` instruction missing its target. Expected: verify text <text> is not present"}},
    IssueCase{"verify count of Add to cart is four", {"`verify count` value must be a whole number. Got: 'four'"}},
    IssueCase{"verify count of is 3", {"`verify count` instruction missing its target. Expected: verify count of <target> is <number>"}},
    // the first words alone do not make a grown form
    IssueCase{"double tap Save", {"Unknown action 'double'" + UNKNOWN_TAIL}},
    IssueCase{"\"check\" Save", {"Unknown action '\"check\"'" + UNKNOWN_TAIL}},
    // a variable in a number is read when the step runs
    IssueCase{"wait ${DELAY}", {}},
    IssueCase{"switch to tab ${TAB}", {}},
    IssueCase{"verify count of Row is ${ROWS}", {}},
    IssueCase{"wait ${1X}", {"`wait` value must be a number in milliseconds. Got: '${1X}'"}}));

// A step the wording check passes, the reader reads.
TEST(GrownForms, WhatTheCheckPassesParses) {
  for (const char* step : {"check x", "uncheck x", "clear x", "double click x", "right click x",
                           "scroll to x", "upload f to x", "drag x to y", "go to u", "close tab",
                           "switch to new tab", "switch to tab 3", "remember text x as Y",
                           "run a.steps", "verify x is hidden", "verify x has value y",
                           "verify x contains y", "verify count of x is 2", "verify url is y",
                           "verify title contains y", "verify text x is not visible"}) {
    EXPECT_TRUE(reader.validate(step).empty()) << step;
    EXPECT_NO_THROW(reader.parse(step)) << step;
  }
}

}  // namespace
