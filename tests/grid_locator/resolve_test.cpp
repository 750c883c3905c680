// Spatial resolution of whole target phrases over a built matrix: anchor,
// candidates, relation, ordinal, and the type filter dropped when nothing
// of the named type stands in the relation.
#include <gtest/gtest.h>

#include "grid_assembler/spatial_builders.hpp"
#include "spatial/grid_assembler/grid_assembler.hpp"
#include "spatial/grid_locator/grid_locator.hpp"

using namespace plainstep;
using spatial_test::el;
using spatial_test::txt;
using spatial_test::click;

namespace {

// The caption "Total" spans x 100..150, y 100..120.
ElementRef total() { return txt("Total", {100, 100, 50, 20}, "td", "/html[1]/body[1]/table[1]/tr[1]/td[1]"); }

std::vector<std::string> xpaths(const Elements& els) {
  std::vector<std::string> out;
  for (const auto& e : els) out.push_back(e ? e->xpath : "null");
  return out;
}

struct ResolveCase {
  const char* name;
  const char* phrase;
  Elements dom;
  Elements texts;
  const char* want;                     // xpath of the element; nullptr: not resolved
  std::vector<std::string> candidates;  // xpaths, in rank order
  bool type_relaxed = false;
  std::optional<std::string> actual_type;
};

class Resolve : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(Resolve, PicksTheElementThePhrasePlaces) {
  const auto& c = GetParam();
  GridLocator locator(GridAssembler(c.dom, c.texts).build());
  ResolutionResult r = locator.resolve(click(c.phrase));
  if (!c.want) {
    EXPECT_FALSE(r.resolved);
    EXPECT_EQ(r.element, nullptr);
    EXPECT_TRUE(r.candidates.empty());
    EXPECT_EQ(r.confidence, 0.0);
    EXPECT_FALSE(r.spatial);
    return;
  }
  ASSERT_TRUE(r.resolved);
  ASSERT_TRUE(r.element);
  EXPECT_EQ(r.element->xpath, c.want);
  EXPECT_EQ(r.confidence, 1.0);
  EXPECT_EQ(xpaths(r.candidates), c.candidates);
  ASSERT_TRUE(r.spatial);
  EXPECT_EQ(r.spatial->type_relaxed, c.type_relaxed);
  EXPECT_EQ(r.spatial->actual_type, c.actual_type);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Resolve,
    ::testing::Values(
        ResolveCase{"field_right_of_label_smallest_x",
                    "field right of total",
                    {el("input", "", {300, 100, 100, 20}, {}, "far"),
                     el("input", "", {150, 100, 100, 20}, {}, "touching"),
                     el("input", "", {140, 130, 100, 20}, {}, "overlapping_x"),
                     el("button", "Go", {160, 100, 30, 20}, {}, "button")},
                    {total()},
                    "touching", {"touching", "far"}, false, "input"},
        ResolveCase{"field_row_slack_35_counts_45_does_not",
                    "field right of total",
                    {el("input", "", {300, 45, 100, 20}, {}, "ends_35_above"),
                     el("input", "", {200, 35, 100, 20}, {}, "ends_45_above")},
                    {total()},
                    "ends_35_above", {"ends_35_above"}, false, "input"},
        ResolveCase{"button_below_within_the_column_band",
                    "button below total",
                    {el("button", "Off", {200, 130, 40, 20}, {}, "50_right"),
                     el("button", "On", {100, 140, 40, 20}, {}, "under")},
                    {total()},
                    "under", {"under"}, false, "button"},
        ResolveCase{"second_button_below",
                    "second button below total",
                    {el("button", "A", {100, 200, 40, 20}, {}, "b2"),
                     el("button", "B", {100, 150, 40, 20}, {}, "b1"),
                     el("button", "C", {100, 250, 40, 20}, {}, "b3")},
                    {total()},
                    "b2", {"b2"}, false, "button"},
        ResolveCase{"second_button_below_relaxed_to_any_type",
                    "second button below total",
                    {el("button", "A", {100, 150, 40, 20}, {}, "button"),
                     el("a", "More", {100, 200, 40, 20}, {}, "link")},
                    {total()},
                    "link", {"link"}, true, "link"},
        ResolveCase{"second_button_below_with_one_element_below",
                    "second button below total",
                    {el("button", "A", {100, 150, 40, 20}, {}, "button"),
                     el("a", "More", {400, 200, 40, 20}, {}, "aside")},
                    {total()},
                    nullptr, {}, false, std::nullopt},
        ResolveCase{"button_next_to_first_in_matrix_order",
                    "button next to total",
                    {el("button", "A", {400, 100, 30, 20}, {}, "x400"),
                     el("button", "B", {200, 110, 30, 20}, {}, "x200_lower"),
                     el("button", "C", {300, 95, 30, 20}, {}, "x300_higher")},
                    {total()},
                    "x300_higher", {"x300_higher"}, false, "button"},
        ResolveCase{"link_near_both_limits",
                    "link near total",
                    {el("a", "deep", {300, 240, 40, 20}, {},
                        "/html[1]/body[1]/div[1]/div[1]/div[1]/div[1]/div[1]/div[1]/div[1]/div[1]/a[1]"),
                     el("a", "close", {200, 100, 40, 20}, {}, "/html[1]/body[1]/table[1]/tr[1]/td[2]/a[1]"),
                     el("a", "far", {500, 100, 40, 20}, {}, "/html[1]/body[1]/table[1]/tr[1]/td[3]/a[1]")},
                    {total()},
                    "/html[1]/body[1]/table[1]/tr[1]/td[2]/a[1]",
                    {"/html[1]/body[1]/table[1]/tr[1]/td[2]/a[1]"}, false, "link"},
        ResolveCase{"input_below_relaxed_to_a_select",
                    "input below total",
                    {el("input", "", {400, 100, 60, 20}, {}, "input_aside"),
                     el("select", "", {100, 160, 60, 20}, {}, "select")},
                    {total()},
                    "select", {"select"}, true, "select"},
        ResolveCase{"no_input_at_all_is_not_relaxed",
                    "input below total",
                    {el("select", "", {100, 160, 60, 20}, {}, "select")},
                    {total()},
                    nullptr, {}, false, std::nullopt},
        ResolveCase{"anchor_not_on_the_page",
                    "button below subtotal",
                    {el("button", "A", {100, 150, 40, 20}, {}, "button")},
                    {total()},
                    nullptr, {}, false, std::nullopt},
        ResolveCase{"no_type_word_reports_null_type",
                    "below total",
                    {el("a", "x", {100, 300, 40, 20}, {}, "link"),
                     el("button", "y", {100, 150, 40, 20}, {}, "button")},
                    {total()},
                    "button", {"button", "link"}, false, std::nullopt},
        ResolveCase{"equal_keys_keep_matrix_order",
                    "button below total",
                    {el("button", "R", {130, 150, 20, 20}, {}, "right"),
                     el("button", "L", {100, 150, 20, 20}, {}, "left")},
                    {total()},
                    "left", {"left", "right"}, false, "button"},
        ResolveCase{"target_words_narrow_the_candidates",
                    "red button below total",
                    {el("button", "Blue", {100, 150, 40, 20}, {}, "blue"),
                     el("button", "Dark red", {100, 200, 40, 20}, {}, "red")},
                    {total()},
                    "red", {"red"}, false, "button"},
        ResolveCase{"target_words_matching_nothing_are_ignored",
                    "green button below total",
                    {el("button", "Blue", {100, 150, 40, 20}, {}, "blue"),
                     el("button", "Dark red", {100, 200, 40, 20}, {}, "red")},
                    {total()},
                    "blue", {"blue", "red"}, false, "button"},
        ResolveCase{"text_entries_are_never_the_target",
                    "below total",
                    {el("button", "Pay", {100, 300, 40, 20}, {}, "pay")},
                    {total(), txt("Note", {100, 150, 40, 20}, "p", "note")},
                    "pay", {"pay"}, false, std::nullopt},
        ResolveCase{"the_anchor_is_not_its_own_candidate",
                    "button right of pay",
                    {el("button", "Pay", {100, 100, 40, 20}, {}, "pay")},
                    {},
                    nullptr, {}, false, std::nullopt},
        ResolveCase{"near_never_names_the_anchor_itself",
                    "button near pay",
                    {el("button", "Pay", {100, 100, 40, 20}, {}, "pay"),
                     el("button", "Back", {200, 100, 40, 20}, {}, "back")},
                    {},
                    "back", {"back"}, false, "button"},
        ResolveCase{"no_relation_no_ordinal",
                    "submit",
                    {el("button", "Submit", {100, 100, 40, 20}, {}, "submit")},
                    {},
                    nullptr, {}, false, std::nullopt},
        ResolveCase{"keyword_with_nothing_after_and_no_ordinal",
                    "button below",
                    {el("button", "Submit", {100, 100, 40, 20}, {}, "submit")},
                    {},
                    nullptr, {}, false, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    EveryAnchor, Resolve,
    ::testing::Values(
        // The sidebar's name is a link (an interactable, so the likeliest
        // anchor) with nothing right of it; the table row's name has.
        ResolveCase{"next_anchor_when_the_first_has_nothing_there",
                    "button right of alexander pierce",
                    {el("a", "Alexander Pierce", {10, 100, 120, 20}, {}, "sidebar"),
                     el("button", "Edit", {500, 400, 40, 20}, {}, "edit")},
                    {txt("Alexander Pierce", {200, 400, 120, 20}, "td", "cell")},
                    "edit", {"edit"}, false, "button"},
        ResolveCase{"the_named_type_at_a_later_anchor_before_any_type_at_the_first",
                    "button right of alexander pierce",
                    {el("a", "Alexander Pierce", {10, 100, 120, 20}, {}, "sidebar"),
                     el("a", "Profile", {200, 100, 60, 20}, {}, "profile"),
                     el("button", "Edit", {500, 400, 40, 20}, {}, "edit")},
                    {txt("Alexander Pierce", {200, 400, 120, 20}, "td", "cell")},
                    "edit", {"edit"}, false, "button"},
        ResolveCase{"relaxed_type_when_no_anchor_has_the_named_one",
                    "button right of alexander pierce",
                    {el("a", "Alexander Pierce", {10, 100, 120, 20}, {}, "sidebar"),
                     el("button", "Far", {900, 900, 40, 20}, {}, "far"),
                     el("a", "Mail", {500, 400, 40, 20}, {}, "mail")},
                    {txt("Alexander Pierce", {200, 400, 120, 20}, "td", "cell")},
                    "mail", {"mail"}, true, "link"},
        ResolveCase{"anchor_named_with_a_type_word",
                    "field right of the email field",
                    {el("input", "", {200, 100, 100, 20}, {}, "email")},
                    {txt("Email", {100, 100, 50, 20}, "label", "label")},
                    "email", {"email"}, false, "input"},
        ResolveCase{"anchor_read_whole_first",
                    "button below the search field",
                    {el("button", "Go", {100, 60, 40, 20}, {}, "under_search"),
                     el("button", "Clear", {400, 60, 40, 20}, {}, "under_search_field")},
                    {txt("Search", {100, 20, 40, 20}, "span", "s"),
                     txt("Search field", {400, 20, 80, 20}, "span", "sf")},
                    "under_search_field", {"under_search_field"}, false, "button"},
        ResolveCase{"label_colon_does_not_count",
                    "field right of email",
                    {el("input", "", {200, 100, 100, 20}, {}, "email")},
                    {txt("Email:", {100, 100, 50, 20}, "label", "label")},
                    "email", {"email"}, false, "input"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Resolve, SuccessCarriesTheAnchorsOwnTextAndFieldsInOrder) {
  auto field = el("input", "", {200, 100, 80, 20}, {}, "/html[1]/body[1]/input[1]");
  GridLocator locator(GridAssembler({field}, Elements{total()}).build());
  ResolutionResult r = locator.resolve(click("the FIELD right of TOTAL"));
  ASSERT_TRUE(r.resolved);
  EXPECT_EQ(r.element.get(), field.get());  // the very descriptor
  EXPECT_EQ(r.spatial->anchor_text, "Total");
  EXPECT_EQ(r.spatial->ordinal, 1);
  json j = to_json(r);
  std::vector<std::string> keys;
  for (auto it = j.begin(); it != j.end(); ++it) keys.push_back(it.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"resolved", "confidence", "element", "anchor_text", "ordinal",
                                            "type_relaxed", "actual_type", "candidates"}));
  EXPECT_EQ(j["actual_type"], "input");
}

TEST(Resolve, TheStepsOrdinalFieldIsNotRead) {
  // The step reader moved "second" out of "click second button below total".
  auto first = el("button", "A", {100, 150, 40, 20}, {}, "first");
  auto second = el("button", "B", {100, 200, 40, 20}, {}, "second");
  GridLocator locator(GridAssembler({first, second}, Elements{total()}).build());
  ParsedInstruction moved = click("button below total");
  moved.ordinal = 2;
  EXPECT_EQ(locator.resolve(moved).element.get(), first.get());
  EXPECT_EQ(locator.resolve(click("second button below total")).element.get(), second.get());
  EXPECT_EQ(locator.resolve(click("second button below total")).spatial->ordinal, 2);
}

TEST(Resolve, TheAnchorThatAnsweredIsReported) {
  auto sidebar = el("a", "Alexander Pierce", {10, 100, 120, 20}, {}, "sidebar");
  auto edit = el("button", "Edit", {500, 400, 40, 20}, {}, "edit");
  GridLocator locator(GridAssembler({sidebar, edit}, Elements{txt("Alexander Pierce",
                                                                  {200, 400, 120, 20}, "td", "cell")})
                          .build());
  auto anchors = locator._find_anchors("alexander pierce", false);
  ASSERT_EQ(anchors.size(), 2u);
  EXPECT_EQ(anchors[0]->element.get(), sidebar.get());  // interactable first
  ResolutionResult r = locator.resolve(click("button right of Alexander Pierce"));
  ASSERT_TRUE(r.resolved);
  EXPECT_EQ(r.spatial->anchor_text, "Alexander Pierce");
}

TEST(Resolve, AMissingTargetIsNotResolved) {
  GridLocator locator(GridAssembler({el("button", "A", {0, 0, 1, 1})}).build());
  ParsedInstruction p;
  p.action = "press_key";
  EXPECT_FALSE(locator.resolve(p).resolved);
  EXPECT_FALSE(GridLocator({}).resolve(click("button below total")).resolved);
}

TEST(Resolve, AnEntryWithoutARecordIsNeverChosen) {
  Matrix m = GridAssembler({el("button", "A", {100, 150, 40, 20})}, Elements{total()}).build();
  MatrixEntry hollow = m[1];
  hollow.index = 2;
  hollow.element = nullptr;
  hollow.position = _position(Box{100, 130, 40, 10});
  m.push_back(hollow);
  ResolutionResult r = GridLocator(m).resolve(click("button below total"));
  ASSERT_TRUE(r.resolved);
  EXPECT_EQ(r.element->text, "A");
  EXPECT_EQ(r.candidates.size(), 1u);
}

}  // namespace

namespace {

AttributeMap typed(const char* type) {
  AttributeMap a;
  a.set("type", type);
  return a;
}

// "checkbox" and "radio" are no element types of the matrix, yet narrow a
// placed phrase to inputs of that kind: a todo's own box, not the text
// field nearer to its words.
TEST(Resolve, CheckboxAndRadioNarrowToTheirKind) {
  Elements dom{el("input", "", {100, 10, 300, 40}, {}, "/html[1]/body[1]/input[1]"),
               el("input", "", {20, 70, 20, 20}, typed("checkbox"), "/html[1]/body[1]/ul[1]/li[1]/input[1]"),
               el("input", "", {20, 130, 20, 20}, typed("checkbox"), "/html[1]/body[1]/ul[1]/li[2]/input[1]"),
               el("div", "", {60, 130, 20, 20}, [] { AttributeMap a; a.set("role", "radio"); return a; }(),
                  "/html[1]/body[1]/ul[1]/li[2]/div[1]")};
  Elements texts{txt("Buy milk", {0, 60, 550, 40}, "label", "/html[1]/body[1]/ul[1]/li[1]/label[1]"),
                 txt("Buy bread", {0, 120, 550, 40}, "label", "/html[1]/body[1]/ul[1]/li[2]/label[1]")};
  GridLocator locator(GridAssembler(dom, texts).build());
  auto box = locator.resolve(click("checkbox near Buy milk"));
  ASSERT_TRUE(box.resolved);
  EXPECT_EQ(box.element, dom[1]);
  EXPECT_EQ(box.spatial->actual_type, "checkbox");
  auto radio = locator.resolve(click("radio near Buy bread"));
  ASSERT_TRUE(radio.resolved);
  EXPECT_EQ(radio.element, dom[3]);
  // without the word, the nearest element of any kind
  EXPECT_EQ(locator.resolve(click("the input near Buy milk")).element, dom[0]);
}

}  // namespace
