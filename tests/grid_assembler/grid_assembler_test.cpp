// The spatial matrix: which records take part, reading order, types,
// per-type numbering and the fields of each entry.
#include <gtest/gtest.h>

#include "grid_assembler/spatial_builders.hpp"
#include "records/errors.hpp"
#include "spatial/grid_assembler/grid_assembler.hpp"

using namespace plainstep;
using spatial_test::el;
using spatial_test::txt;

namespace {

std::vector<std::string> texts_of(const Matrix& m) {
  std::vector<std::string> out;
  for (const auto& e : m) out.push_back(e.text);
  return out;
}

TEST(GridAssembler, NothingGivenIsAnEmptyMatrix) {
  EXPECT_TRUE(GridAssembler({}).build().empty());
  EXPECT_TRUE(GridAssembler({}, Elements{}).build().empty());
}

TEST(GridAssembler, RecordsWithoutABoxTakeNoPlace) {
  auto boxless = el("button", "Ghost", {});
  boxless->bounding_box.reset();
  auto boxless_text = txt("Ghost text", {});
  boxless_text->bounding_box.reset();
  Matrix m = GridAssembler({el("button", "A", {0, 10, 5, 5}), boxless, el("a", "B", {0, 20, 5, 5})},
                           Elements{boxless_text, txt("C", {0, 30, 5, 5})})
                 .build();
  EXPECT_EQ(texts_of(m), (std::vector<std::string>{"A", "B", "C"}));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(m[static_cast<size_t>(i)].index, i);
}

struct OrderCase {
  const char* name;
  Elements dom;
  Elements texts;
  std::vector<std::string> order;
};

class ReadingOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(ReadingOrder, SortsByTopThenLeftWithoutRowTolerance) {
  const auto& c = GetParam();
  EXPECT_EQ(texts_of(GridAssembler(c.dom, c.texts).build()), c.order);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadingOrder,
    ::testing::Values(
        OrderCase{"one_pixel_higher_wins_however_far_right",
                  {el("button", "right", {300, 100, 10, 10}), el("button", "left", {10, 101, 10, 10})},
                  {},
                  {"right", "left"}},
        OrderCase{"equal_top_is_left_to_right",
                  {el("button", "b", {300, 100, 10, 10}), el("button", "a", {50, 100, 10, 10})},
                  {},
                  {"a", "b"}},
        OrderCase{"fractional_tops_are_not_rounded",
                  {el("button", "lower", {0, 100.5, 10, 10}), el("button", "upper", {500, 100.25, 10, 10})},
                  {},
                  {"upper", "lower"}},
        OrderCase{"same_place_descriptor_before_text",
                  {el("button", "descriptor", {10, 10, 10, 10})},
                  {txt("text", {10, 10, 10, 10})},
                  {"descriptor", "text"}},
        OrderCase{"same_place_keeps_input_order",
                  {el("button", "first", {10, 10, 10, 10}), el("a", "second", {10, 10, 99, 99})},
                  {txt("third", {10, 10, 1, 1}), txt("fourth", {10, 10, 1, 1})},
                  {"first", "second", "third", "fourth"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GridAssembler, NumbersEntriesPerTypeInReadingOrder) {
  auto disabled = el("button", "B2", {0, 30, 5, 5});
  disabled->is_enabled = false;
  Matrix m = GridAssembler({el("button", "B3", {0, 50, 5, 5}), disabled, el("button", "B1", {0, 10, 5, 5})},
                           Elements{txt("T2", {0, 40, 5, 5}), txt("T1", {0, 20, 5, 5})})
                 .build();
  ASSERT_EQ(texts_of(m), (std::vector<std::string>{"B1", "T1", "B2", "T2", "B3"}));
  std::vector<int> order, index;
  for (const auto& e : m) {
    order.push_back(e.order_in_type);
    index.push_back(e.index);
  }
  EXPECT_EQ(order, (std::vector<int>{1, 1, 2, 2, 3}));
  EXPECT_EQ(index, (std::vector<int>{0, 1, 2, 3, 4}));
}

struct TypeCase {
  const char* tag;
  AttributeMap attributes;
  const char* type;
};

class ElementType : public ::testing::TestWithParam<TypeCase> {};

TEST_P(ElementType, RoleThenInputButtonsThenTag) {
  Element e;
  e.tag = GetParam().tag;
  e.attributes = GetParam().attributes;
  EXPECT_EQ(_element_type(e), GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(Cases, ElementType,
                         ::testing::Values(TypeCase{"input", {{"type", "submit"}}, "button"},
                                           TypeCase{"input", {{"type", "reset"}}, "button"},
                                           TypeCase{"input", {{"type", "button"}}, "button"},
                                           TypeCase{"input", {{"type", "checkbox"}}, "input"},
                                           TypeCase{"input", {{"type", "Submit"}}, "input"},
                                           TypeCase{"input", {}, "input"},
                                           TypeCase{"div", {{"role", "button"}}, "button"},
                                           TypeCase{"a", {{"role", "textbox"}}, "textbox"},
                                           TypeCase{"div", {{"role", "combobox"}}, "combobox"},
                                           TypeCase{"button", {{"role", "tab"}}, "button"},
                                           TypeCase{"a", {}, "link"},
                                           TypeCase{"textarea", {}, "input"},
                                           TypeCase{"select", {}, "select"},
                                           TypeCase{"A", {}, "A"},
                                           TypeCase{"img", {}, "img"},
                                           TypeCase{"", {}, ""}));

TEST(Position, EdgesAndCentreFromTheBox) {
  EXPECT_EQ(_position(Box{10, 20, 5, 7}), (Position{10, 20, 5, 7, 12.5, 23.5, 15, 27}));
  EXPECT_EQ(_position(Box{0.5, 1.5, 3, 1}), (Position{0.5, 1.5, 3, 1, 2.0, 2.0, 3.5, 2.5}));
}

struct SearchableCase {
  const char* name;
  std::string text;
  AttributeMap attributes;
  std::string searchable;
};

class Searchable : public ::testing::TestWithParam<SearchableCase> {};

TEST_P(Searchable, JoinsTheNonEmptyPartsAndTrimsTheEnds) {
  Element e;
  e.text = GetParam().text;
  e.attributes = GetParam().attributes;
  EXPECT_EQ(_searchable(e), GetParam().searchable);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Searchable,
    ::testing::Values(
        SearchableCase{"inner_spaces_stay", "  Sign in ", {{"aria-label", "Sign in"}}, "Sign in  Sign in"},
        SearchableCase{"parts_in_fixed_order", "Go",
                       {{"name", "n"}, {"placeholder", "p"}, {"aria-label", "a"}, {"_label", "l"}},
                       "Go l a p n"},
        SearchableCase{"repeats_are_kept", "Email", {{"placeholder", "Email"}}, "Email Email"},
        SearchableCase{"empty_parts_dropped", "", {{"_label", ""}, {"name", "q"}, {"title", "t"}}, "q"},
        SearchableCase{"nothing_is_empty", "", {}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GridAssembler, EntryFieldsOfATargetAndOfAnAnchorOnlyText) {
  auto field = el("input", "", {10, 20, 100, 30},
                  {{"placeholder", "you@example.com"}, {"_label", "Email"}, {"type", "email"}});
  field->is_enabled.reset();  // absent reads as enabled
  auto caption = txt("  Total ", {10, 60, 40, 12}, "td");
  caption->attributes.set("_label", "odd");
  Matrix m = GridAssembler({field}, Elements{caption}).build();
  ASSERT_EQ(m.size(), 2u);

  EXPECT_EQ(m[0].tag, "input");
  EXPECT_EQ(m[0].element_type, "input");
  EXPECT_EQ(m[0].label, "Email");
  EXPECT_EQ(m[0].searchable, "Email you@example.com");
  EXPECT_TRUE(m[0].is_enabled);
  EXPECT_FALSE(m[0].is_anchor_only);
  EXPECT_EQ(m[0].position, _position(Box{10, 20, 100, 30}));

  EXPECT_EQ(m[1].tag, "td");
  EXPECT_EQ(m[1].element_type, "text");
  EXPECT_EQ(m[1].text, "  Total ");
  EXPECT_EQ(m[1].searchable, "  Total ");  // raw text, not trimmed or joined
  EXPECT_EQ(m[1].label, "odd");
  EXPECT_TRUE(m[1].is_anchor_only);
  EXPECT_EQ(m[1].order_in_type, 1);
}

TEST(GridAssembler, EntriesHoldTheVeryRecordsGiven) {
  auto save = el("button", "Save", {0, 0, 10, 10});
  auto note = txt("Note", {0, 20, 10, 10});
  auto disabled = el("button", "Off", {0, 40, 10, 10});
  disabled->is_enabled = false;
  Elements dom{save, disabled};
  GridAssembler grid(dom, Elements{note});
  Matrix m = grid.build();
  EXPECT_EQ(m[0].element.get(), save.get());
  EXPECT_EQ(m[1].element.get(), note.get());
  EXPECT_FALSE(m[2].is_enabled);

  save->text = "Saved";  // a later change shows through the matrix
  EXPECT_EQ(m[0].element->text, "Saved");
  EXPECT_EQ(grid.dom_elements()[0].get(), save.get());
  EXPECT_EQ(save->text, "Saved");

  // Each build makes new entries.
  Matrix again = grid.build();
  again[0].text = "changed";
  EXPECT_EQ(grid.build()[0].text, "Saved");
}

TEST(GridAssembler, ANullRecordIsATypeErrorNamingItsPlace) {
  try {
    GridAssembler({el("button", "A", {0, 0, 1, 1}), nullptr}).build();
    FAIL() << "expected a TypeError";
  } catch (const TypeError& e) {
    EXPECT_STREQ(e.what(), "dom_elements[1] must be a record, got null");
  }
  EXPECT_THROW(GridAssembler({}, Elements{nullptr}).build(), TypeError);
}

}  // namespace
