// The checks and actions the language grew, on records: negatives that hold
// when nothing matches, exact and negative spatial text, counting, and the
// elements each new action may take.
#include <gtest/gtest.h>

#include "lexical_finder/records_for_tests.hpp"
#include "lexical_finder/finder_for_tests.hpp"
#include "strategies/lexical_finder/lexical_finder.hpp"
#include "text/text.hpp"

using namespace plainstep;
using plainstep::testing::finder;
using plainstep::testing::Make;
using plainstep::testing::step;
using plainstep::testing::text_at;

namespace {

struct CheckCase {
  const char* name;
  const char* action;
  Elements page;  // element descriptors, or text elements for text checks
  bool resolved;
  bool verified;
  friend void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }
};

class Negatives : public ::testing::TestWithParam<CheckCase> {};

TEST_P(Negatives, HoldWhenTheCheckTheyDenyFails) {
  const auto& c = GetParam();
  const bool text = std::string(c.action).find("text") != std::string::npos;
  ResolutionResult r = text ? finder.resolve(step(c.action, "Saved"), {}, &c.page)
                            : finder.resolve(step(c.action, "Saved"), c.page);
  EXPECT_EQ(r.resolved, c.resolved) << c.name;
  ASSERT_TRUE(r.verified) << c.name;
  EXPECT_EQ(*r.verified, c.verified) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Negatives,
    ::testing::Values(
        CheckCase{"gone_is_not_visible", "verify_not_visible", {Make("button", "Cancel")}, false, true},
        CheckCase{"hidden_is_not_visible", "verify_not_visible", {Make("button", "Saved").hidden()}, true, true},
        CheckCase{"shown_is_visible", "verify_not_visible", {Make("button", "Saved")}, true, false},
        CheckCase{"gone_is_not_present", "verify_not_present", {}, false, true},
        CheckCase{"hidden_is_still_present", "verify_not_present", {Make("button", "Saved").hidden()}, true, false},
        CheckCase{"disabled_is_not_enabled", "verify_not_enabled", {Make("button", "Saved").disabled()}, true, true},
        CheckCase{"enabled_is_enabled", "verify_not_enabled", {Make("button", "Saved")}, true, false},
        // the state of an element that is not there cannot be read
        CheckCase{"gone_has_no_state", "verify_not_enabled", {}, false, false},
        CheckCase{"text_gone", "verify_text_not_present", {text_at("Draft", 50, 50)}, false, true},
        CheckCase{"text_there", "verify_text_not_present", {text_at("Saved!", 50, 50)}, true, false},
        CheckCase{"text_gone_is_not_visible", "verify_text_not_visible", {}, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct SpatialCase {
  const char* action;
  const char* expected;
  const char* actual;
  bool verified;
};

class SpatialModes : public ::testing::TestWithParam<SpatialCase> {};

TEST_P(SpatialModes, CompareTheTextRightOfTheAnchor) {
  const auto& c = GetParam();
  Elements texts{text_at("Total", 100, 210), text_at(c.actual, 300, 210)};
  ResolutionResult r = finder.resolve(step(c.action, "right of Total", c.expected), {}, &texts);
  ASSERT_TRUE(r.resolved);
  EXPECT_EQ(r.verified, c.verified) << c.action << " " << c.expected << " on " << c.actual;
  EXPECT_EQ(r.state->actual, plainstep::text::trim(c.actual));  // as read, trimmed
}

INSTANTIATE_TEST_SUITE_P(
    Table, SpatialModes,
    ::testing::Values(SpatialCase{"verify_spatial_text", "0", "0.00", true},
                      SpatialCase{"verify_spatial_text_exact", "0", "0.00", false},
                      SpatialCase{"verify_spatial_text_exact", "$1,234.50", "1234.50", true},
                      SpatialCase{"verify_spatial_text_exact", "12.50 usd", "12.50\n USD", true},
                      SpatialCase{"verify_spatial_text_not", "5", "4.00", true},
                      // "is" finds 0 in 10, so "is not" does not pass
                      SpatialCase{"verify_spatial_text_not", "0", "10", false},
                      SpatialCase{"verify_spatial_text_not_exact", "0", "10", true},
                      SpatialCase{"verify_spatial_text_not_exact", "10", " 10 ", false}));

TEST(SpatialModes, ANegativeCheckNeedsTheAnchorAndAText) {
  Elements texts{text_at("Subtotal", 100, 210), text_at("4.00", 300, 210)};
  for (const char* action : {"verify_spatial_text_not", "verify_spatial_text_not_exact"}) {
    auto missing = finder.resolve(step(action, "right of Total", "5"), {}, &texts);
    EXPECT_FALSE(missing.resolved);
    EXPECT_EQ(missing.verified, false) << action;
    auto nothing = finder.resolve(step(action, "left of Subtotal", "5"), {}, &texts);
    EXPECT_EQ(nothing.verified, false) << action;
    EXPECT_EQ(nothing.state->actual, "no element left of 'Subtotal'");
  }
}

TEST(Count, TheVisibleElementsAClickWouldChooseAmong) {
  Elements page{Make("button", "Add to cart").at(300, 10), Make("button", "Add to cart").at(10, 10),
                Make("button", "Add to cart").hidden().at(10, 50),
                Make("button", "Add to cart for all").at(10, 90),
                Make("button", "Add to cart").at(10, 130)};
  ParsedInstruction p = step("verify_count", "Add to cart", "3");
  ResolutionResult r = finder.resolve(p, page);
  EXPECT_TRUE(r.resolved);
  EXPECT_EQ(r.verified, true);
  EXPECT_EQ(r.state->actual, "3");
  EXPECT_EQ(r.candidates, (Elements{page[1], page[0], page[4]}));  // reading order
  p.value = "4";
  EXPECT_EQ(finder.resolve(p, page).verified, false);
}

TEST(Count, ATextAndTheElementAroundItReadingTheSameCountOnce) {
  Elements texts{text_at("Buy milk", 50, 10, "div", "/html[1]/body[1]/ul[1]/li[1]/div[1]"),
                 text_at("Buy milk", 50, 10, "label", "/html[1]/body[1]/ul[1]/li[1]/div[1]/label[1]"),
                 text_at("Buy milk", 50, 40, "label", "/html[1]/body[1]/ul[1]/li[2]/div[1]/label[1]")};
  auto r = finder.resolve(step("verify_count", "Buy milk", "2"), {}, &texts);
  EXPECT_EQ(r.state->actual, "2");
  EXPECT_EQ(r.candidates, (Elements{texts[1], texts[2]}));
}

TEST(Count, TextWhenNoElementAnswersAndZeroWhenNothingDoes) {
  Elements texts{text_at("Buy milk", 50, 10), text_at("Buy bread", 50, 40),
                 text_at("Walk the dog", 50, 70)};
  auto two = finder.resolve(step("verify_count", "Buy", "2"), {}, &texts);
  EXPECT_EQ(two.verified, true);
  auto none = finder.resolve(step("verify_count", "Feed the cat", "0"), {}, &texts);
  EXPECT_FALSE(none.resolved);
  EXPECT_EQ(none.verified, true);
  EXPECT_EQ(none.state->actual, "0");
  auto words = finder.resolve(step("verify_count", "Buy", "two"), {}, &texts);
  EXPECT_EQ(words.verified, false);
}

struct TakeCase {
  const char* name;
  const char* action;
  const char* target;
  Elements page;
  int want;  // index into page
  friend void PrintTo(const TakeCase& c, std::ostream* os) { *os << c.name; }
};

class Takes : public ::testing::TestWithParam<TakeCase> {};

TEST_P(Takes, TheElementTheActionIsFor) {
  const auto& c = GetParam();
  Elements texts{text_at("Footer links", 50, 900)};
  ResolutionResult r = finder.resolve(step(c.action, c.target), c.page, &texts);
  ASSERT_TRUE(r.resolved) << c.name;
  if (c.want < 0) {
    EXPECT_EQ(r.element, texts[0]) << c.name;
  } else {
    EXPECT_EQ(r.element, c.page[static_cast<size_t>(c.want)])
        << c.name << ": chose " << r.element->tag << " '" << r.element->text << "'";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Takes,
    ::testing::Values(
        TakeCase{"check_takes_the_checkbox_its_label_names", "check", "Remember me",
                 {Make("a", "Remember me?").at(0, 0),
                  Make("input").attr("type", "checkbox").attr("_label", "Remember me").at(0, 90)},
                 1},
        TakeCase{"uncheck_likewise", "uncheck", "Newsletter",
                 {Make("button", "Newsletter").at(0, 0),
                  Make("div").attr("role", "checkbox").attr("aria-label", "Newsletter").at(0, 90)},
                 1},
        TakeCase{"clear_takes_a_field", "clear", "Email",
                 {Make("a", "Email us").at(0, 0), Make("input").attr("_label", "Email").at(0, 90)}, 1},
        TakeCase{"a_value_is_a_field_s_or_a_dropdown_s", "verify_value", "Colour",
                 {Make("button", "Colour").at(0, 0), Make("select", "Red Green").attr("_label", "Colour").at(0, 90)},
                 1},
        TakeCase{"upload_takes_the_file_input_hidden_or_not", "upload", "Resume",
                 {Make("button", "Resume").at(0, 0),
                  Make("input").attr("type", "file").attr("_label", "Resume").hidden().at(0, 90)},
                 1},
        TakeCase{"scroll_to_plain_text", "scroll_to", "Footer links", {Make("button", "Top").at(0, 0)}, -1},
        TakeCase{"remember_plain_text", "remember_text", "Footer", {Make("button", "Top").at(0, 0)}, -1},
        TakeCase{"contains_reads_a_field_by_its_label", "verify_contains", "Notes",
                 {Make("a", "Release notes").at(0, 0), Make("textarea").attr("_label", "Notes").at(0, 90)},
                 1},
        TakeCase{"double_click_like_click", "double_click", "Buy milk",
                 {Make("label", "Buy milk").at(0, 0), Make("button", "Buy milk now").at(0, 90)}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
