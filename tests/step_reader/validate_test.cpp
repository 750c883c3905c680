#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent/step_reader/step_reader.hpp"
#include "step_reader/cases.hpp"

using plainstep::StepReader;

namespace {

using Issues = std::vector<std::string>;

const std::string TYPE_SHAPE = " Expected: type <text> into <target>";
const std::string NO_INTO = "`type` instruction missing `into` keyword." + TYPE_SHAPE;
const std::string NO_TEXT = "`type` instruction missing text to type." + TYPE_SHAPE;
const std::string NO_FROM =
    "`select` instruction missing `from` keyword. Expected: select <value> from <target>";
const std::string NO_STATE =
    "`verify` instruction missing state. Expected ending: "
    "is present | is visible | is enabled | is disabled";
const std::string NO_TEXT_STATE =
    "`verify text` instruction missing state. Expected ending: is present | is visible";

struct ValidateCase {
  std::string step;
  Issues issues;
};

std::ostream& operator<<(std::ostream& os, const ValidateCase& c) { return os << c.step; }

class Validates : public ::testing::TestWithParam<ValidateCase> {};

TEST_P(Validates, ToTheIssues) { EXPECT_EQ(reader.validate(GetParam().step), GetParam().issues); }

INSTANTIATE_TEST_SUITE_P(WellFormed, Validates, ::testing::Values(
    ValidateCase{"click Save", {}},
    ValidateCase{"CLICK Save", {}},
    ValidateCase{R"(type "Ada" into the "Email" field)", {}},
    ValidateCase{"select Red from Colour", {}},
    ValidateCase{"verify the Submit button is disabled", {}},
    ValidateCase{"verify text Welcome is visible", {}},
    ValidateCase{"verify text right of Price is 9.99", {}},
    ValidateCase{"verify dialog says Sure?", {}},
    ValidateCase{"wait 500", {}},
    ValidateCase{R"(wait "500")", {}},
    ValidateCase{"wait '250'", {}},
    ValidateCase{"wait \u0663\u0660\u0660", {}},
    ValidateCase{"accept dialog", {}},
    // known first words with no parse rule, and steps too short to check
    ValidateCase{"back", {}},
    ValidateCase{"refresh", {}},
    ValidateCase{"wait", {}},
    ValidateCase{"verify dialog", {}},
    ValidateCase{"select from Colour", {}}));

INSTANTIATE_TEST_SUITE_P(Faulty, Validates, ::testing::Values(
    ValidateCase{"", {"Instruction is empty."}},
    ValidateCase{" \t\u3000 ", {"Instruction is empty."}},
    // an open quote hides every other issue
    ValidateCase{R"(click "Save)", {"Unbalanced quote \u2014 missing closing `\"` in: 'click \"Save'"}},
    ValidateCase{R"(jump "it's)", {"Unbalanced quote \u2014 missing closing `\"` in: 'jump \"it\\'s'"}},
    ValidateCase{"jump now", {"Unknown action 'jump'" + UNKNOWN_TAIL}},
    ValidateCase{"extract_text Price", {"Unknown action 'extract_text'" + UNKNOWN_TAIL}},
    ValidateCase{R"("click" Save)", {"Unknown action '\"click\"'" + UNKNOWN_TAIL}},
    ValidateCase{"don't", {"Unknown action \"don't\"" + UNKNOWN_TAIL}},
    ValidateCase{"type into", {NO_INTO}},
    ValidateCase{"type abc into", {NO_INTO}},
    ValidateCase{"type abc in Email", {NO_INTO}},
    ValidateCase{"type  into Email", {NO_TEXT}},
    // the only " into " overlaps the prefix: reported, not raised
    ValidateCase{"type into X", {NO_TEXT}},
    ValidateCase{"select Red Colour", {NO_FROM}},
    ValidateCase{"verify Save button", {NO_STATE}},
    ValidateCase{R"(verify "Welcome is visible")", {NO_STATE}},
    ValidateCase{"verify text Welcome", {NO_TEXT_STATE}},
    ValidateCase{"verify text Welcome is enabled", {NO_TEXT_STATE}},
    // only next to, below, above, left and right are excused
    ValidateCase{"verify text under Price is Total", {NO_TEXT_STATE}},
    ValidateCase{"wait 1.5", {"`wait` value must be a number in milliseconds. Got: '1.5'"}},
    ValidateCase{"wait x", {"`wait` value must be a number in milliseconds. Got: 'x'"}},
    ValidateCase{R"(wait "")", {"`wait` value must be a number in milliseconds. Got: ''"}},
    ValidateCase{"wait 5 s", {"`wait` value must be a number in milliseconds. Got: '5 s'"}},
    ValidateCase{"wait 99999999999999999999",
                 {"`wait` value must be at most 3600000 milliseconds (one hour). Got: "
                  "'99999999999999999999'"}},
    ValidateCase{"wait 3600001",
                 {"`wait` value must be at most 3600000 milliseconds (one hour). Got: '3600001'"}},
    ValidateCase{"click \xff Save", {"Instruction is not valid UTF-8."}},
    ValidateCase{"type \xC3 into Email", {"Instruction is not valid UTF-8."}}));

// The runner reads a wait's milliseconds where the wording check does, so
// a step check lets through never fails the run for its number.
TEST(WaitMilliseconds, DigitsOfAnyScriptUpToAnHour) {
  struct Case {
    const char* target;
    std::optional<long> ms;
  };
  for (const Case& c : {Case{"500", 500}, Case{"0", 0}, Case{"000250", 250},
                        Case{"\u0663\u0660\u0660", 300}, Case{"3600000", 3600000},
                        Case{"3600001", std::nullopt}, Case{"99999999999999999999", std::nullopt},
                        Case{"", std::nullopt}, Case{"-5", std::nullopt}, Case{"1.5", std::nullopt},
                        Case{" 5", std::nullopt}, Case{"\xff", std::nullopt}}) {
    EXPECT_EQ(StepReader::wait_milliseconds(c.target), c.ms) << c.target;
    // what the runner accepts, the wording check accepts, and back
    bool clean = reader.validate(std::string("wait ") + c.target).empty();
    if (std::string(c.target) != " 5" && std::string(c.target) != "") {  // trimmed away by the reader
      EXPECT_EQ(clean, c.ms.has_value()) << c.target;
    }
  }
}

TEST(ValidateAll, KeysFaultyStepsByNumber) {
  using Found = std::map<int, Issues>;
  EXPECT_EQ(reader.validate_all({"click Save", "", "wait x"}),
            (Found{{2, {"Instruction is empty."}},
                   {3, {"`wait` value must be a number in milliseconds. Got: 'x'"}}}));
  EXPECT_EQ(reader.validate_all({}), Found{});
  EXPECT_EQ(reader.validate_all({"click Save", "press Enter"}), Found{});
  // no step stops the walk: every faulty step is reported
  EXPECT_EQ(reader.validate_all({"type into X", "click \xff", "select Red Colour"}),
            (Found{{1, {NO_TEXT}}, {2, {"Instruction is not valid UTF-8."}}, {3, {NO_FROM}}}));
}

// What validation passes, parsing mostly takes; the exceptions are the
// first words with no form of their own and the bare "wait".
TEST(ValidateAndParse, AgreeOnTheWellFormedSteps) {
  for (const char* step : {"click Save", "type a into b", "select a from b", "hover Help",
                           "press Tab", "sendkeys x", "wait 5", "find text x",
                           "find exact text x", "extract text x", "verify x is present",
                           "verify text x is visible", "verify text below x is y",
                           "accept dialog", "dismiss dialog", "verify dialog says x"}) {
    EXPECT_TRUE(reader.validate(step).empty()) << step;
    EXPECT_NO_THROW(reader.parse(step)) << step;
  }
}

}  // namespace
