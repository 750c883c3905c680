// Finding the anchor entry a spatial phrase names.
#include <gtest/gtest.h>

#include "grid_assembler/spatial_builders.hpp"
#include "spatial/grid_assembler/grid_assembler.hpp"
#include "spatial/grid_locator/grid_locator.hpp"

using namespace plainstep;
using spatial_test::el;
using spatial_test::txt;

namespace {

struct AnchorCase {
  const char* name;
  Elements dom;
  Elements texts;
  const char* anchor_text;
  const char* want;  // xpath of the entry found; nullptr for none
};

class FindAnchor : public ::testing::TestWithParam<AnchorCase> {};

TEST_P(FindAnchor, FirstPassThatFindsDecides) {
  const auto& c = GetParam();
  GridLocator locator(GridAssembler(c.dom, c.texts).build());
  const MatrixEntry* got = locator._find_anchor(c.anchor_text);
  if (!c.want) {
    EXPECT_EQ(got, nullptr) << "found " << got->element->xpath;
    return;
  }
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(got->element->xpath, c.want);
  // The entry of the locator's own matrix, not a copy.
  EXPECT_EQ(got, &locator.matrix()[static_cast<size_t>(got->index)]);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindAnchor,
    ::testing::Values(
        AnchorCase{"text_beats_attribute_even_anchor_only",
                   {el("input", "", {0, 40, 100, 20}, {{"placeholder", "Email"}}, "input")},
                   {txt("Email", {0, 10, 40, 12}, "label", "label")},
                   "email", "label"},
        AnchorCase{"interactable_preferred_among_exact",
                   {el("button", "Total", {0, 50, 80, 30}, {}, "button")},
                   {txt("Total", {0, 10, 10, 10}, "span", "text")},
                   "total", "button"},
        AnchorCase{"smallest_box_wins",
                   {el("button", "Go", {0, 10, 200, 40}, {}, "big"),
                    el("a", "Go", {0, 60, 80, 20}, {}, "small")},
                   {},
                   "go", "small"},
        AnchorCase{"equal_areas_first_in_reading_order",
                   {el("button", "Go", {0, 60, 40, 20}, {}, "later"),
                    el("button", "Go", {0, 10, 20, 40}, {}, "earlier")},
                   {},
                   "go", "earlier"},
        AnchorCase{"attribute_order_aria_label_label_placeholder",
                   {el("input", "", {0, 10, 50, 20}, {{"placeholder", "x"}, {"_label", "Name"}}, "labelled"),
                    el("input", "", {0, 50, 50, 20}, {{"title", "Name"}}, "titled")},
                   {},
                   "name", "labelled"},
        AnchorCase{"disabled_entries_count",
                   {[] {
                     auto e = el("button", "Pay", {0, 10, 50, 20}, {}, "off");
                     e->is_enabled = false;
                     return e;
                   }()},
                   {},
                   "pay", "off"},
        AnchorCase{"text_prefix_with_space",
                   {}, {txt("Price (USD)", {0, 10, 50, 20}, "th", "th")}, "price", "th"},
        AnchorCase{"text_prefix_with_parenthesis",
                   {}, {txt("price(usd)", {0, 10, 50, 20}, "th", "th")}, "price", "th"},
        AnchorCase{"no_prefix_without_a_break",
                   {}, {txt("Pricelist", {0, 10, 50, 20}), txt("Price:", {0, 40, 50, 20})}, "price", nullptr},
        AnchorCase{"punctuation_is_not_ignored",
                   {}, {txt("Total:", {0, 10, 50, 20})}, "total", nullptr},
        AnchorCase{"attribute_prefix_last",
                   {el("input", "", {0, 10, 200, 20}, {{"aria-label", "Search products"}}, "search")},
                   {},
                   "search", "search"},
        AnchorCase{"attribute_whole_value",
                   {el("input", "", {0, 10, 200, 20}, {{"aria-label", "Search products"}}, "search")},
                   {},
                   "search products", "search"},
        AnchorCase{"attribute_prefix_needs_a_space",
                   {el("input", "", {0, 10, 200, 20}, {{"aria-label", "Price(usd)"}}, "p")},
                   {},
                   "price", nullptr},
        AnchorCase{"empty_matrix", {}, {}, "total", nullptr},
        AnchorCase{"field_label_colon_does_not_count",
                   {el("input", "", {0, 10, 200, 20}, {{"_label", "Search:"}}, "search")}, {},
                   "search", "search"},
        AnchorCase{"label_text_colon_does_not_count",
                   {}, {txt("Email:", {0, 10, 50, 20}, "label", "label")}, "email", "label"},
        AnchorCase{"type_words_dropped_when_nothing_reads_them",
                   {}, {txt("Email", {0, 10, 50, 20}, "label", "label")}, "email field", "label"},
        AnchorCase{"whole_words_first",
                   {}, {txt("Email", {0, 10, 50, 20}, "label", "short"),
                        txt("Email field", {0, 40, 90, 20}, "span", "whole")},
                   "email field", "whole"},
        AnchorCase{"all_type_words_stay",
                   {}, {txt("Button", {0, 10, 50, 20}, "span", "b")}, "button", "b"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
