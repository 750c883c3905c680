// Element and text verification, find text and find exact text.
#include <gtest/gtest.h>

#include "lexical_finder/records_for_tests.hpp"
#include "lexical_finder/finder_for_tests.hpp"
#include "strategies/lexical_finder/lexical_finder.hpp"

using namespace plainstep;
using plainstep::testing::keys_of;
using plainstep::testing::finder;
using plainstep::testing::Make;
using plainstep::testing::step;
using plainstep::testing::texts_of;

namespace {

const std::vector<std::string> VERIFY_KEYS{"resolved", "verified",   "confidence",
                                           "element",  "state",      "candidates"};

struct ElementCheckCase {
  const char* action;
  bool visible;
  bool enabled;
  bool want;
};

class ElementChecks : public ::testing::TestWithParam<ElementCheckCase> {};

TEST_P(ElementChecks, AnswerFromTheCapturedState) {
  const auto& c = GetParam();
  Make submit("button", "Submit");
  submit.at(0, 0);
  if (!c.visible) submit.hidden();
  if (!c.enabled) submit.disabled();
  Elements els{submit, Make("a", "Help").at(0, 50)};
  auto r = finder.resolve(step(c.action, "Submit button"), els);
  ASSERT_TRUE(r.resolved);
  EXPECT_EQ(r.verified, c.want) << c.action;
  EXPECT_EQ(r.element, els[0]);
  EXPECT_EQ(to_json(*r.state), (json{{"present", true}, {"visible", c.visible},
                                     {"enabled", c.enabled}}));
  EXPECT_EQ(keys_of(to_json(r)), VERIFY_KEYS);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ElementChecks,
    ::testing::Values(ElementCheckCase{"verify_disabled", true, false, true},
                      ElementCheckCase{"verify_disabled", true, true, false},
                      ElementCheckCase{"verify_enabled", true, true, true},
                      ElementCheckCase{"verify_enabled", false, false, false},
                      ElementCheckCase{"verify_visible", false, true, false},
                      ElementCheckCase{"verify_visible", true, true, true},
                      ElementCheckCase{"verify_present", false, false, true}));

TEST(ElementCheck, ShortestTextDecidesEvenWhenHidden) {
  Elements els{Make("button", "Log in now").at(0, 0), Make("button", "Log in").at(0, 50).hidden()};
  auto r = finder.resolve(step("verify_visible", "Log in"), els);
  EXPECT_TRUE(r.resolved);
  EXPECT_EQ(r.verified, false);
  EXPECT_EQ(r.candidates, (Elements{els[1], els[0]}));
}

TEST(ElementCheck, AbsentStateReadsAsFalse) {
  Elements els{Make("button", "Go").no_state()};
  auto r = finder.resolve(step("verify_disabled", "Go"), els);
  EXPECT_EQ(r.verified, true);
  EXPECT_EQ(r.state->visible, false);
}

TEST(Verification, NothingFoundIsUnresolvedAndUnverified) {
  Elements els{Make("button", "Save").at(0, 0)};
  Elements texts{Make("p", "Welcome")};
  for (const char* action : {"verify_present", "verify_text_present", "verify_text_visible"}) {
    auto r = finder.resolve(step(action, "Nothing here"), els, &texts);
    EXPECT_FALSE(r.resolved) << action;
    EXPECT_EQ(r.verified, false);
    EXPECT_EQ(r.confidence, 0.0);
    EXPECT_EQ(r.element, nullptr);
    EXPECT_EQ(to_json(*r.state), json::object());
    EXPECT_EQ(keys_of(to_json(r)), VERIFY_KEYS);
  }
}

TEST(Verification, UnknownCheckIsACallerError) {
  EXPECT_THROW(finder._resolve_verify("verify_text_present", "x", {}), std::out_of_range);
  EXPECT_THROW(finder._resolve_verify_text("verify_enabled", "x", {}), std::out_of_range);
}

TEST(TextCheck, CaseInsensitiveSubstringShortestFirst) {
  Elements texts{Make("p", "Order Total: 12"), Make("td", "Total").hidden(), Make("span", "total")};
  auto r = finder.resolve(step("verify_text_visible", "total"), {}, &texts);
  ASSERT_TRUE(r.resolved);
  EXPECT_EQ(r.element, texts[1]);
  EXPECT_EQ(r.verified, false);  // the shortest match is hidden
  EXPECT_EQ(to_json(*r.state), (json{{"present", true}, {"visible", false}}));
  EXPECT_EQ(texts_of(r.candidates), (std::vector<std::string>{"Total", "total", "Order Total: 12"}));
  // Type words are part of the text here, not stripped.
  auto button = finder.resolve(step("verify_text_present", "Total button"), {}, &texts);
  EXPECT_FALSE(button.resolved);
}

TEST(TextCheck, EmptyTargetMatchesEveryTextShortestFirst) {
  Elements texts{Make("p", "Hello there"), Make("p", "Hi")};
  auto r = finder.resolve(step("verify_text_present", ""), {}, &texts);
  EXPECT_EQ(r.element, texts[1]);
  EXPECT_EQ(r.verified, true);
  auto f = finder.resolve(step("find_text", ""), {}, &texts);
  EXPECT_EQ(f.element, texts[1]);
}

TEST(FindText, ShortestMatchFirst) {
  Elements texts{Make("p", "Order Total: 12"), Make("h2", "Total"), Make("p", "Sum")};
  auto r = finder.resolve(step("find_text", "total"), {Make("button", "Total")}, &texts);
  ASSERT_TRUE(r.resolved);
  EXPECT_EQ(r.element, texts[1]);
  EXPECT_EQ(r.candidates, (Elements{texts[1], texts[0]}));
  EXPECT_EQ(keys_of(to_json(r)),
            (std::vector<std::string>{"resolved", "confidence", "element", "candidates"}));
}

TEST(FindText, SearchesTextElementsOnly) {
  auto r = finder.resolve(step("find_text", "Total"), {Make("button", "Total")});
  EXPECT_FALSE(r.resolved);
  EXPECT_TRUE(r.candidates.empty());
}

TEST(FindExactText, ExactMatchesInInputOrderThenAllPartialMatches) {
  Elements texts{Make("p", "Subtotal"), Make("p", " total "), Make("p", "Total")};
  auto r = finder.resolve(step("find_exact_text", "Total"), {}, &texts);
  ASSERT_TRUE(r.resolved);
  EXPECT_EQ(r.element, texts[1]);
  EXPECT_EQ(r.candidates, (Elements{texts[1], texts[2], texts[0], texts[1], texts[2]}));
}

struct ExactMissCase {
  const char* target;
  std::vector<std::string> page;
  std::vector<std::string> near_misses;
};

class FindExactTextMiss : public ::testing::TestWithParam<ExactMissCase> {};

TEST_P(FindExactTextMiss, FailsButReportsNearMissesShortestFirst) {
  Elements texts;
  for (const auto& t : GetParam().page) texts.push_back(Make("p", t));
  auto r = finder.resolve(step("find_exact_text", GetParam().target), {}, &texts);
  EXPECT_FALSE(r.resolved);
  EXPECT_EQ(r.element, nullptr);
  EXPECT_EQ(r.confidence, 0.0);
  EXPECT_EQ(texts_of(r.candidates), GetParam().near_misses);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FindExactTextMiss,
    ::testing::Values(ExactMissCase{"Sum", {"Sum due", "Total"}, {"Sum due"}},
                      ExactMissCase{"Total ", {"Total"}, {}},
                      ExactMissCase{"Total ", {"Total due", "Total  "}, {"Total  ", "Total due"}},
                      ExactMissCase{"Paid", {}, {}},
                      ExactMissCase{"Due", {"Amount due now", "Due later"},
                                    {"Due later", "Amount due now"}}));

}  // namespace
