// The matching functions on records built here.
#include <gtest/gtest.h>

#include "lexical_finder/records_for_tests.hpp"
#include "strategies/lexical_finder/lexical_finder.hpp"

using namespace plainstep;
using namespace plainstep::lexical_finder;
using plainstep::testing::Make;

namespace {

struct StripCase {
  const char* target;
  const char* want;
};

class StripTypeDescriptors : public ::testing::TestWithParam<StripCase> {};

TEST_P(StripTypeDescriptors, DropsTypeWordsAtTheEndsOnly) {
  EXPECT_EQ(_strip_type_descriptors(GetParam().target), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StripTypeDescriptors,
    ::testing::Values(StripCase{"Login button", "Login"}, StripCase{"button", "button"},
                      StripCase{"Link", "Link"},  // all descriptors: unchanged
                      StripCase{"  Link  box ", "  Link  box "},
                      StripCase{"Submit form button", "Submit"},
                      StripCase{" Save   changes ", "Save changes"},
                      StripCase{"link to docs", "to docs"},
                      StripCase{"the login link", "the login"},
                      StripCase{"Email FIELD", "Email"},
                      StripCase{"button Save button", "Save"}, StripCase{"", ""},
                      StripCase{"Search  input  box", "Search"}));

struct SearchCase {
  const char* name;
  Element element;
  bool include_label;
  std::vector<std::string> want;
};

Element with(std::initializer_list<AttributeMap::Entry> attrs, std::string text = "") {
  Element e;
  e.tag = "div";
  e.text = std::move(text);
  e.attributes = AttributeMap(attrs);
  return e;
}

class SearchableStrings : public ::testing::TestWithParam<SearchCase> {};

TEST_P(SearchableStrings, ListsTheSurfacesInOrder) {
  const auto& c = GetParam();
  EXPECT_EQ(_searchable_strings(c.element, c.include_label), c.want) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SearchableStrings,
    ::testing::Values(
        SearchCase{"text, then attributes in table order, not map order",
                   with({{"alt", "a"}, {"type", "submit"}, {"aria-label", "Go"},
                         {"placeholder", "p"}}, "Send"),
                   false, {"Send", "Go", "p", "submit", "a"}},
        SearchCase{"label only when asked", with({{"_label", "Email"}}), false, {}},
        SearchCase{"label when asked", with({{"_label", "Email"}, {"aria-label", "E"}}), true,
                   {"E", "Email"}},
        SearchCase{"empty values and empty text skipped", with({{"aria-label", ""}}), false, {}},
        SearchCase{"title read last of the attributes",
                   with({{"title", "t"}, {"alt", "a"}}), false, {"a", "t"}},
        SearchCase{"class words: 4+ characters, no digit, _ and - become spaces",
                   with({{"class", "btn primary-action col-6 x2 card nav col4 big_red"}}), false,
                   {"primary action card big red"}},
        SearchCase{"the icon after the attributes, before class words",
                   with({{"class", "nav-link"}, {"_icon", "user"}, {"title", "t"}}), false,
                   {"t", "user", "nav link"}},
        SearchCase{"id words", with({{"id", "user_email-input2"}}), false, {"user email"}},
        SearchCase{"id of short words only gives nothing", with({{"id", "a-b_c"}}), false, {}},
        SearchCase{"data-testid value; other data names without values",
                   with({{"data-row", "7"}, {"data-testid", "buy-now"},
                         {"data-qa-submit_btn", "x"}, {"data-x", "y"}, {"data-v2", "z"}}),
                   false, {"buy-now", "row", "qa submit btn"}},
        SearchCase{"duplicates kept", with({{"aria-label", "Save"}}, "Save"), false,
                   {"Save", "Save"}},
        SearchCase{"digits of other scripts count as digits",
                   with({{"class", "card\xd9\xa3 panel"}}), false, {"panel"}}));

struct MatchCase {
  const char* target;
  Element element;
  bool include_label;
  bool contains;
  bool exact;
};

class MatchesElement : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MatchesElement, ContainsAndExact) {
  const auto& c = GetParam();
  EXPECT_EQ(_matches_element(c.target, c.element, c.include_label), c.contains) << c.target;
  EXPECT_EQ(_exact_matches_element(c.target, c.element, c.include_label), c.exact) << c.target;
}

INSTANTIATE_TEST_SUITE_P(
    Table, MatchesElement,
    ::testing::Values(MatchCase{"Save", with({}, " save "), false, true, true},
                      MatchCase{"Save", with({}, "Save changes"), false, true, false},
                      MatchCase{"save ", with({}, "Save"), false, false, false},  // target untrimmed
                      MatchCase{"Email", with({{"_label", "Email"}}), false, false, false},
                      MatchCase{"Email", with({{"_label", "Email"}}), true, true, true},
                      MatchCase{"", with({}, "x"), false, true, false},
                      MatchCase{"", with({}), false, false, false},  // no surface at all
                      MatchCase{"primary action", with({{"class", "primary-action"}}), false,
                                true, true},
                      MatchCase{"ÉTÉ", with({}, "un été"), false, true, false},
                      MatchCase{"buy", with({{"data-buy", "no"}}), false, true, true},
                      MatchCase{"no", with({{"data-buy", "no"}}), false, false, false}));

TEST(FilterByAction, TypeKeepsTypeableElementsInOrder) {
  Elements els{Make("button", "Go"), Make("input"), Make("div").attr("role", "searchbox"),
               Make("span").editable(), Make("textarea"), Make("INPUT"),
               Make("div").attr("role", "Textbox")};
  Elements kept = _filter_by_action("type", els);
  ASSERT_EQ(kept.size(), 4u);
  EXPECT_EQ(kept[0], els[1]);
  EXPECT_EQ(kept[1], els[2]);
  EXPECT_EQ(kept[2], els[3]);
  EXPECT_EQ(kept[3], els[4]);
}

TEST(FilterByAction, FallsBackToAllWhenNothingQualifies) {
  Elements buttons{Make("button", "Go"), Make("a", "Docs")};
  EXPECT_EQ(_filter_by_action("type", buttons), buttons);
  EXPECT_EQ(_filter_by_action("select", buttons), buttons);
  Elements mixed{Make("button", "Go"), Make("select"), Make("input")};
  EXPECT_EQ(_filter_by_action("select", mixed), Elements{mixed[1]});
  EXPECT_EQ(_filter_by_action("click", mixed), mixed);
  EXPECT_EQ(_filter_by_action("Type", mixed), mixed);  // action names are exact
}

TEST(FilterByAction, NullRecordIsATypeError) {
  Elements els{Make("input"), nullptr};
  EXPECT_THROW(_filter_by_action("type", els), TypeError);
}

struct DistanceCase {
  const char* a;
  const char* b;
  int want;
};

class DomDistance : public ::testing::TestWithParam<DistanceCase> {};

TEST_P(DomDistance, StepsUpToTheCommonRunAndDown) {
  const auto& c = GetParam();
  EXPECT_EQ(_dom_distance(c.a, c.b), c.want) << c.a << " vs " << c.b;
  EXPECT_EQ(_dom_distance(c.b, c.a), c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DomDistance,
    ::testing::Values(DistanceCase{"/html[1]/body[1]/div[1]", "/html[1]/body[1]/div[2]/a[1]", 3},
                      DistanceCase{"", "/html[1]/body[1]", 3},
                      DistanceCase{"/html[1]/body[1]", "/html[1]/body[1]", 0},
                      DistanceCase{"/html[1]/body[1]", "/html[1]/body[1]/p[1]", 1},
                      DistanceCase{"/html[1]/body[1]/p[1]", "/html[1]/body[1]/p[2]", 2},
                      DistanceCase{"html[1]/body[1]/", "/html[1]/body[1]", 0},
                      // stops at the first difference: equal steps later do not count
                      DistanceCase{"/a[1]/b[1]/c[1]", "/a[1]/x[1]/c[1]", 4},
                      DistanceCase{"", "", 0}));

TEST(Norm, FoldsDropsCurrencyAndSeparatorsAndTrims) {
  EXPECT_EQ(_norm("$1,234.50"), "1234.50");
  EXPECT_EQ(_norm(" Total € "), "total");
  EXPECT_EQ(_norm("£ 3-4/5 'x'"), "3-4/5 'x'");
  EXPECT_EQ(_norm(" $ "), "");
}

}  // namespace
