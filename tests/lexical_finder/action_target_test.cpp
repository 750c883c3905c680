// Choosing the element an action is performed on.
#include <gtest/gtest.h>

#include <thread>

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

ResolutionResult click(const Elements& els, const std::string& target, int ordinal = 1,
                       const Elements* texts = nullptr) {
  return finder.resolve(step("click", target, std::nullopt, ordinal), els, texts);
}

void expect_not_found(const ResolutionResult& r) {
  EXPECT_FALSE(r.resolved);
  EXPECT_EQ(r.confidence, 0.0);
  EXPECT_EQ(r.element, nullptr);
  EXPECT_TRUE(r.candidates.empty());
  EXPECT_EQ(keys_of(to_json(r)),
            (std::vector<std::string>{"resolved", "confidence", "element", "candidates"}));
}

TEST(ActionTarget, ExactMatchBeatsAHigherPartialMatch) {
  Elements els{Make("button", "Save changes").at(10, 10), Make("button", "Save").at(10, 400)};
  auto r = click(els, "Save");
  ASSERT_TRUE(r.resolved);
  EXPECT_EQ(r.confidence, 1.0);
  EXPECT_EQ(r.element, els[1]);  // the very record, not a copy
  EXPECT_EQ(r.candidates, Elements{els[1]});
  EXPECT_EQ(keys_of(to_json(r)),
            (std::vector<std::string>{"resolved", "confidence", "element", "candidates"}));
}

TEST(ActionTarget, PartialMatchesWhenNoExactOne) {
  Elements els{Make("button", "Save draft").at(10, 300), Make("button", "Save changes").at(10, 10)};
  auto r = click(els, "save");
  ASSERT_TRUE(r.resolved);
  EXPECT_EQ(texts_of(r.candidates), (std::vector<std::string>{"Save changes", "Save draft"}));
  EXPECT_EQ(r.element, els[1]);
}

struct OrdinalCase {
  int ordinal;
  int want;  // index into the two Save buttons, -1: not found
};

class Ordinals : public ::testing::TestWithParam<OrdinalCase> {};

TEST_P(Ordinals, CountInReadingOrderAndNeverPastTheLast) {
  Elements els{Make("button", "Save").at(10, 500), Make("button", "Save").at(10, 100)};
  auto r = click(els, "Save", GetParam().ordinal);
  if (GetParam().want < 0) {
    expect_not_found(r);
  } else {
    ASSERT_TRUE(r.resolved);
    EXPECT_EQ(r.element, els[static_cast<size_t>(GetParam().want)]);
    EXPECT_EQ(r.candidates, (Elements{els[1], els[0]}));
  }
}

INSTANTIATE_TEST_SUITE_P(Table, Ordinals,
                         ::testing::Values(OrdinalCase{1, 1}, OrdinalCase{2, 0},
                                           OrdinalCase{3, -1}, OrdinalCase{5, -1}));

TEST(ActionTarget, OrdinalBelowOneIsOutOfRange) {
  Elements els{Make("button", "Save").at(10, 10), Make("button", "Save").at(10, 50)};
  for (int ordinal : {0, -1, -5}) EXPECT_THROW(click(els, "Save", ordinal), std::out_of_range);
  // Absent means the first.
  auto r = finder.resolve(step("click", "Save"), els);
  EXPECT_EQ(r.element, els[0]);
}

TEST(ActionTarget, ReadingOrderIsYThenXThenInputOrder) {
  Elements els{Make("a", "Go").at(300, 100), Make("a", "Go").at(100, 100),
               Make("a", "Go").at(100, 100), Make("a", "Go").at(0, 100.5)};
  auto r = click(els, "Go", 3);
  EXPECT_EQ(r.candidates, (Elements{els[1], els[2], els[0], els[3]}));
  EXPECT_EQ(r.element, els[0]);
}

TEST(ActionTarget, HiddenMatchOnlyWhenNoVisibleOne) {
  Elements els{Make("button", "Pay").at(0, 0).hidden(), Make("button", "Pay now").at(0, 50)};
  EXPECT_EQ(click(els, "Pay").element, els[1]);
  Elements only_hidden{Make("button", "Pay").at(0, 0).hidden(),
                       Make("button", "Pay").at(0, 9).no_state()};  // absent: not visible
  auto r = click(only_hidden, "Pay");
  EXPECT_EQ(r.element, only_hidden[0]);
  EXPECT_EQ(r.candidates.size(), 2u);
}

TEST(ActionTarget, TypingStripsTypeWordsAndMatchesFieldLabels) {
  Elements els{Make("button", "Email").at(0, 0),
               Make("input").attr("_label", "Email").at(0, 100),
               Make("input").attr("placeholder", "Password").at(0, 200)};
  auto typed = finder.resolve(step("type", "Email field", "ada@example.com"), els);
  ASSERT_TRUE(typed.resolved);
  EXPECT_EQ(typed.element, els[1]);
  // A label names an element only when typing into it.
  Elements labelled_only{Make("input").attr("_label", "Email").at(0, 100)};
  expect_not_found(click(labelled_only, "Email"));
}

TEST(ActionTarget, TypingFallsBackToAllElementsWithoutTypeableOnes) {
  Elements els{Make("button", "Search").at(0, 0)};
  EXPECT_EQ(finder.resolve(step("type", "Search", "x"), els).element, els[0]);
}

TEST(ActionTarget, SelectPrefersSelectElements) {
  Elements els{Make("button", "Colour").at(0, 0), Make("select").attr("_label", "Colour").attr(
                                                       "aria-label", "Colour").at(0, 100)};
  EXPECT_EQ(finder.resolve(step("select", "Colour dropdown", "Red"), els).element, els[1]);
  Elements no_select{Make("div", "Colour").at(0, 0)};
  EXPECT_EQ(finder.resolve(step("select", "Colour", "Red"), no_select).element, no_select[0]);
}

TEST(ActionTarget, OnlyExtractTextFallsBackToTextElements) {
  Elements els{Make("button", "Buy").at(0, 0)};
  Elements texts{Make("p", "Order total 12").at(0, 40).hidden(), Make("p", "Order total").at(0, 80)};
  auto r = finder.resolve(step("extract_text", "order total", std::nullopt, 1), els, &texts);
  ASSERT_TRUE(r.resolved);
  EXPECT_EQ(r.element, texts[1]);  // visible texts only, exact first
  expect_not_found(click(els, "order total", 1, &texts));
  expect_not_found(finder.resolve(step("extract_text", "order total", std::nullopt, 1), els));
}

TEST(ActionTarget, NothingMatchesGivesTheFourFieldMiss) {
  expect_not_found(click({Make("button", "Save").at(0, 0)}, "Delete"));
  expect_not_found(click({}, "Delete"));
}

TEST(ActionTarget, NullTargetAndNullRecordsAreTypeErrors) {
  Elements els{Make("button", "OK").at(0, 0)};
  try {
    finder.resolve(step("accept_dialog", std::nullopt), els);
    FAIL() << "no TypeError";
  } catch (const TypeError& e) {
    EXPECT_NE(std::string(e.what()).find("target"), std::string::npos) << e.what();
  }
  Elements with_null{els[0], nullptr};
  EXPECT_THROW(click(with_null, "OK"), TypeError);
  Elements texts{nullptr};
  EXPECT_THROW(finder.resolve(step("find_text", "x"), els, &texts), TypeError);
}

TEST(ActionTarget, RecordsAreNotChangedAndCallsShareNothing) {
  Elements els;
  for (int i = 0; i < 50; ++i)
    els.push_back(Make("button", i % 2 ? "Save" : "Save all").at(0, 1000 - i));
  const Elements before = els;
  std::vector<Element> copies;
  for (const auto& e : els) copies.push_back(*e);
  std::vector<ElementRef> chosen(8);
  std::vector<std::thread> pool;
  for (size_t t = 0; t < chosen.size(); ++t)
    pool.emplace_back([&, t] { chosen[t] = click(els, "Save", 2).element; });
  for (auto& th : pool) th.join();
  for (const auto& c : chosen) EXPECT_EQ(c, els[47]);  // second exact match from the top
  EXPECT_EQ(els, before);
  for (size_t i = 0; i < els.size(); ++i) EXPECT_EQ(*els[i], copies[i]);
}

}  // namespace
