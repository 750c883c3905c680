// Ordinal phrases without an anchor: the n-th element of a kind in reading
// order, narrowed by the phrase's words.
#include <gtest/gtest.h>

#include "grid_assembler/spatial_builders.hpp"
#include "spatial/grid_assembler/grid_assembler.hpp"
#include "spatial/grid_locator/grid_locator.hpp"

using namespace plainstep;
using spatial_test::el;
using spatial_test::txt;
using spatial_test::click;

namespace {

struct OrdinalCase {
  const char* name;
  const char* phrase;
  Elements dom;
  Elements texts;
  const char* want;  // xpath; nullptr: not resolved
  std::vector<std::string> candidates;
};

class Ordinal : public ::testing::TestWithParam<OrdinalCase> {};

TEST_P(Ordinal, CountsInReadingOrder) {
  const auto& c = GetParam();
  ResolutionResult r = GridLocator(GridAssembler(c.dom, c.texts).build()).resolve(click(c.phrase));
  EXPECT_FALSE(r.spatial);  // the plain four-field shape either way
  if (!c.want) {
    EXPECT_FALSE(r.resolved);
    EXPECT_EQ(r.element, nullptr);
    EXPECT_TRUE(r.candidates.empty());
    return;
  }
  ASSERT_TRUE(r.resolved);
  EXPECT_EQ(r.element->xpath, c.want);
  EXPECT_EQ(r.confidence, 1.0);
  std::vector<std::string> got;
  for (const auto& e : r.candidates) got.push_back(e->xpath);
  EXPECT_EQ(got, c.candidates);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Ordinal,
    ::testing::Values(
        OrdinalCase{"third_button_no_row_grouping", "third button",
                    {el("button", "A", {300, 100, 40, 20}, {}, "y100_x300"),
                     el("button", "B", {10, 240, 40, 20}, {}, "y240"),
                     el("button", "C", {50, 100, 40, 20}, {}, "y100_x50"),
                     el("a", "L", {0, 50, 40, 20}, {}, "link")},
                    {},
                    "y240", {"y100_x50", "y100_x300", "y240"}},
        OrdinalCase{"second_button_with_one", "second button",
                    {el("button", "A", {0, 0, 40, 20}, {}, "a"), el("a", "L", {0, 50, 40, 20}, {}, "l")},
                    {},
                    nullptr, {}},
        OrdinalCase{"exact_words_case_insensitive", "2nd submit btn",
                    {el("button", "Submit", {0, 0, 40, 20}, {}, "s1"),
                     el("button", "Cancel", {0, 30, 40, 20}, {}, "cancel"),
                     el("button", " submit ", {0, 60, 40, 20}, {}, "s2")},
                    {},
                    "s2", {"s1", "s2"}},
        OrdinalCase{"normalised_containment_when_no_exact", "2nd submit btn",
                    {el("button", "Submit order", {0, 0, 40, 20}, {}, "order"),
                     el("button", "Cancel", {0, 30, 40, 20}, {}, "cancel"),
                     el("button", "Submit-form", {0, 60, 40, 20}, {}, "form")},
                    {},
                    "form", {"order", "form"}},
        OrdinalCase{"too_few_exact_falls_to_containment", "2nd submit btn",
                    {el("button", "Submit", {0, 0, 40, 20}, {}, "exact"),
                     el("button", "Re-submit", {0, 30, 40, 20}, {}, "contains")},
                    {},
                    "contains", {"exact", "contains"}},
        OrdinalCase{"containment_reads_labels_too", "first email field",
                    {el("input", "", {0, 0, 40, 20}, {{"_label", "Name"}}, "name"),
                     el("input", "", {0, 30, 40, 20}, {{"placeholder", "E-mail"}}, "email")},
                    {},
                    "email", {"email"}},
        OrdinalCase{"words_matching_nothing_are_ignored", "first item",
                    {el("a", "Home", {0, 40, 40, 20}, {}, "home"), el("button", "Go", {0, 80, 40, 20}, {}, "go")},
                    {txt("Items", {0, 0, 40, 20}, "h1", "heading")},
                    "home", {"home", "go"}},
        OrdinalCase{"text_entries_are_never_counted", "first submit",
                    {el("button", "Submit", {0, 100, 40, 20}, {}, "button")},
                    {txt("Submit", {0, 0, 40, 20}, "p", "text")},
                    "button", {"button"}},
        OrdinalCase{"disabled_entries_count", "second button",
                    {[] {
                       auto e = el("button", "Off", {0, 0, 40, 20}, {}, "off");
                       e->is_enabled = false;
                       return e;
                     }(),
                     el("button", "On", {0, 30, 40, 20}, {}, "on")},
                    {},
                    "on", {"off", "on"}},
        OrdinalCase{"keyword_without_anchor_counts_too", "third button next to",
                    {el("button", "A", {0, 0, 40, 20}, {}, "1"), el("button", "B", {0, 30, 40, 20}, {}, "2"),
                     el("button", "C", {0, 60, 40, 20}, {}, "3")},
                    {},
                    "3", {"1", "2", "3"}},
        OrdinalCase{"type_word_by_role", "1st link",
                    {el("span", "Docs", {0, 0, 40, 20}, {{"role", "link"}}, "role_link"),
                     el("a", "Home", {0, 30, 40, 20}, {}, "a")},
                    {},
                    "role_link", {"role_link", "a"}},
        OrdinalCase{"empty_matrix", "first button", {}, {}, nullptr, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Ordinal, ResultHasTheFourFieldShape) {
  GridLocator locator(GridAssembler({el("button", "Go", {0, 0, 10, 10}, {}, "go")}).build());
  json j = to_json(locator.resolve(click("first button")));
  std::vector<std::string> keys;
  for (auto it = j.begin(); it != j.end(); ++it) keys.push_back(it.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"resolved", "confidence", "element", "candidates"}));
}

TEST(Ordinal, OutOfRangeOrdinalsFindNothing) {
  GridLocator locator(GridAssembler({el("button", "Go", {0, 0, 10, 10})}).build());
  for (int n : {0, -1, 2}) EXPECT_FALSE(locator._resolve_ordinal(n, "button").resolved) << n;
  EXPECT_TRUE(locator._resolve_ordinal(1, std::nullopt, "").resolved);
}

}  // namespace
