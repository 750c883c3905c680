// Extraction on fixture pages in headless Chromium, on both reading paths.
#include <gtest/gtest.h>

#include "browser.hpp"
#include "browser/page_harvester/page_harvester.hpp"

namespace plainstep {
namespace {

using testing::BrowserTest;

std::vector<ElementRef> all_with(const Elements& els, const std::string& attr, const std::string& value) {
  std::vector<ElementRef> out;
  for (const auto& e : els)
    if (e->attributes.get_or_empty(attr) == value) out.push_back(e);
  return out;
}

ElementRef with(const Elements& els, const std::string& attr, const std::string& value) {
  auto found = all_with(els, attr, value);
  return found.empty() ? nullptr : found.front();
}

ElementRef with_text(const Elements& els, const std::string& text, const std::string& tag = "") {
  for (const auto& e : els)
    if (e->text == text && (tag.empty() || e->tag == tag)) return e;
  return nullptr;
}

std::vector<std::string> keys(const AttributeMap& m) {
  std::vector<std::string> out;
  for (const auto& [k, v] : m) out.push_back(k);
  return out;
}

// The page's own attributes, without the label the extraction adds.
std::vector<std::string> html_keys(const AttributeMap& m) {
  auto out = keys(m);
  std::erase(out, "_label");
  return out;
}

using Keys = std::vector<std::string>;

class Harvest : public BrowserTest, public ::testing::WithParamInterface<Extraction> {
 protected:
  std::pair<Elements, Elements> extract(const std::string& fixture) {
    open(fixture);
    return PageHarvester(page, GetParam()).extract_interactable_elements();
  }
};

TEST_P(Harvest, NativeRecords) {
  auto [els, texts] = extract("native.html");
  auto li = with(els, "data-testid", "third-li");
  ASSERT_TRUE(li);
  EXPECT_EQ(li->tag, "li");
  EXPECT_EQ(li->xpath, "/html[1]/body[1]/div[1]/ul[1]/li[3]");

  auto empty = with(els, "id", "empty-field");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->text, "");
  EXPECT_EQ(with(els, "id", "send")->text, "Send");

  auto titled = with(els, "id", "titled");
  ASSERT_TRUE(titled && titled->attributes.get("title"));
  EXPECT_EQ(*titled->attributes.get("title"), "");
  EXPECT_FALSE(with(els, "id", "untitled")->attributes.contains("title"));

  auto div = with(els, "id", "testid-div");
  ASSERT_TRUE(div);
  EXPECT_EQ(div->tag, "div");
  EXPECT_EQ(html_keys(div->attributes), (Keys{"id", "class", "data-testid", "data-row"}));
  EXPECT_EQ(html_keys(with(els, "id", "order")->attributes),
            (Keys{"id", "name", "type", "data-testid", "data-b", "data-a"}));

  auto img = with(els, "alt", "Company logo");
  ASSERT_TRUE(img);
  EXPECT_EQ(img->tag, "img");
  EXPECT_EQ(img->text, "");

  // Each descriptor is a seven-key native record with a drawn box.
  for (const auto& e : els) {
    ASSERT_TRUE(e->bounding_box) << e->xpath;
    EXPECT_GT(e->bounding_box->width, 0) << e->xpath;
    EXPECT_GT(e->bounding_box->height, 0) << e->xpath;
    EXPECT_EQ(e->xpath.find("svg"), std::string::npos) << "SVG elements have no inner text";
  }
  EXPECT_FALSE(with(els, "id", "collapsed")) << "zero-width link";
  EXPECT_FALSE(with(els, "data-testid", "contents")) << "display: contents has no box";
  EXPECT_FALSE(with(els, "data-testid", "gone"));
}

TEST_P(Harvest, InvisibleElementsNeedAName) {
  auto [els, texts] = extract("native.html");
  auto named = with(els, "aria-label", "Hidden but named");
  ASSERT_TRUE(named);
  EXPECT_EQ(named->is_visible, false);
  EXPECT_TRUE(with(els, "title", "   ")) << "a title of spaces is a name";
  EXPECT_FALSE(with_text(els, "Hidden and unnamed"));
  EXPECT_TRUE(with(els, "aria-label", "Close dialog")) << "clipped to one pixel, still drawn";
}

TEST_P(Harvest, EnabledStateFollowsTheDriver) {
  auto [els, texts] = extract("native.html");
  struct Case {
    const char* attr;
    const char* value;
    bool enabled;
  };
  for (auto c : {Case{"id", "in-legend", true}, Case{"id", "in-fieldset", false},
                 Case{"data-testid", "label-span", false}, Case{"id", "agree", false},
                 Case{"id", "aria-off-link", false}, Case{"data-testid", "plain-span", true},
                 Case{"id", "order", true}}) {
    auto e = with(els, c.attr, c.value);
    ASSERT_TRUE(e) << c.value;
    EXPECT_EQ(e->is_enabled, c.enabled) << c.value;
  }
}

TEST_P(Harvest, RoleElementWithPointerIsDescribedTwice) {
  auto [els, texts] = extract("native.html");
  auto native = with(els, "id", "pointer-role");
  ASSERT_TRUE(native);
  EXPECT_EQ(native->tag, "div");
  int same_path = 0;
  for (const auto& e : els) same_path += e->xpath == native->xpath;
  EXPECT_EQ(same_path, 2);
  auto pointer = with_text(els, "Role and pointer", "button");
  ASSERT_TRUE(pointer);
  EXPECT_EQ(pointer->xpath, native->xpath);
}

TEST_P(Harvest, FieldLabelSources) {
  auto [els, texts] = extract("labels.html");
  struct Case {
    const char* attr;
    const char* value;
    const char* label;
  };
  for (auto c : {Case{"id", "blank-aria", "Email"}, Case{"id", "email", "E-mail address"},
                 Case{"id", "email2", "Aria wins"}, Case{"id", "multi", "First Second"},
                 Case{"aria-labelledby", "1st", "Digit id"}, Case{"id", "falls-through", "Fallback"},
                 Case{"id", "q\"uote", "Quoted id"}, Case{"id", "back\\slash", "Backslash id"},
                 Case{"id", "x] , #email", "Bent"}, Case{"title", "Titled field", "Titled field"},
                 Case{"id", "sib-span", "Name"}, Case{"id", "sib-first-child", "Nickname"},
                 Case{"id", "parent-children", "Deep text"}, Case{"id", "area", "Your message"},
                 Case{"id", "colour", "Colour"}, Case{"id", "twice", "Named first"},
                 Case{"id", "in-shadow", "Inside the tree"}, Case{"title", "Twin in the tree", "Twin in the tree"}}) {
    auto e = with(els, c.attr, c.value);
    ASSERT_TRUE(e) << c.value;
    EXPECT_EQ(e->attributes.get_or_empty("_label"), c.label) << c.value;
  }
  auto lng = with(els, "id", "sib-long");
  ASSERT_TRUE(lng);
  EXPECT_NE(lng->attributes.get_or_empty("_label"), "This caption is exactly fifty characters long, ok.");
}

TEST_P(Harvest, SpatialLabels) {
  auto [els, texts] = extract("spatial.html");
  struct Case {
    const char* id;
    const char* label;
  };
  for (auto c : {Case{"zero", "Zero gap"}, Case{"touch", "Touching"}, Case{"far", "Far heading"},
                 Case{"tie", "Earlier"}, Case{"long", "Sixty characters exactly, counted one by one, until the end."},
                 Case{"tall", "Forty high"}, Case{"own-label", "Own label"},
                 Case{"no-field-label", "Nothing above"}}) {
    auto e = with(els, "id", c.id);
    ASSERT_TRUE(e) << c.id;
    EXPECT_EQ(e->attributes.get_or_empty("_label"), c.label) << c.id;
    EXPECT_EQ(keys(e->attributes).back(), "_label") << "appended at the end";
  }
}

TEST_P(Harvest, CustomInputs) {
  auto [els, texts] = extract("custom.html");
  std::vector<ElementRef> custom;
  for (const auto& e : els)
    if (e->is_editable_field) custom.push_back(e);
  ASSERT_EQ(custom.size(), 3u);
  EXPECT_EQ(custom[0]->attributes.get_or_empty("id"), "search-box");
  EXPECT_EQ(custom[0]->attributes.get_or_empty("_label"), "Search");
  EXPECT_EQ(custom[0]->text, "");
  EXPECT_EQ(custom[1]->tag, "span");
  EXPECT_EQ(html_keys(custom[1]->attributes), (Keys{"id", "class", "data-testid"}));
  EXPECT_EQ(custom[2]->text, "Rich text");
  EXPECT_EQ(custom[2]->attributes.get_or_empty("_label"), "Notes");
  for (const auto& e : custom) {
    EXPECT_EQ(e->is_visible, true);
    EXPECT_EQ(e->is_enabled, true);
  }
  // The selector's class match is case-sensitive, unlike the class test.
  EXPECT_FALSE(with_text(els, "Capital class"));
  // The span with a test id is also a native descriptor, which comes first.
  auto addon = all_with(els, "id", "addon");
  ASSERT_EQ(addon.size(), 2u);
  EXPECT_FALSE(addon[0]->is_editable_field);
}

TEST_P(Harvest, PointerCursorElements) {
  auto [els, texts] = extract("custom.html");
  auto save = with_text(els, "Save", "button");
  ASSERT_TRUE(save);
  EXPECT_EQ(html_keys(save->attributes), (Keys{"class"}));
  EXPECT_EQ(save->is_visible, true);
  auto plain = with_text(els, "Plain", "button");
  ASSERT_TRUE(plain);
  EXPECT_TRUE(html_keys(plain->attributes).empty());
  EXPECT_TRUE(with_text(els, "Sixty characters exactly, counted one by one, until the end.", "button"));
  EXPECT_FALSE(with_text(els, "Sixty-one characters here, counted one by one, up to the end.", "button"));
  EXPECT_TRUE(with_text(els, "12345678910", "button"));
  EXPECT_FALSE(with_text(els, "1234567891011", "button"));
  auto outer = with_text(els, "Outer Inner", "button");
  ASSERT_TRUE(outer);
  EXPECT_EQ(outer->attributes.get_or_empty("aria-label"), "Outer control");
  auto inner = with_text(els, "Inner", "button");
  ASSERT_TRUE(inner);
  EXPECT_NE(inner->xpath, outer->xpath);
  auto span = with_text(els, "Span control", "button");
  ASSERT_TRUE(span);
  EXPECT_FALSE(span->attributes.contains("id"));
  EXPECT_FALSE(span->attributes.contains("role"));
  EXPECT_TRUE(with_text(els, "Cell control", "button"));
  auto thin = with_text(els, "Thin", "button");
  ASSERT_TRUE(thin);
  EXPECT_EQ(thin->bounding_box->width, 0) << "0.4 px rounds to 0";
  for (const auto& e : els)
    if (e->tag == "button" && !e->attributes.contains("id")) {
      EXPECT_EQ(e->bounding_box->x, std::round(e->bounding_box->x)) << "pointer boxes are integers";
    }
}

TEST_P(Harvest, TextElements) {
  auto [els, texts] = extract("text.html");
  EXPECT_FALSE(with(texts, "id", "apples"));
  EXPECT_TRUE(with_text(texts, "Apples", "span"));
  auto total = with(texts, "id", "total");
  ASSERT_TRUE(total);
  EXPECT_EQ(total->has_direct_text, true);
  EXPECT_TRUE(with_text(texts, "42", "span"));
  // Two inline pieces on one short line read as one phrase, and as pieces.
  auto yes_no = with(texts, "id", "yes-no");
  ASSERT_TRUE(yes_no);
  EXPECT_EQ(yes_no->text, "Yes No");
  EXPECT_TRUE(with_text(texts, "Yes") && with_text(texts, "No"));
  EXPECT_TRUE(with(texts, "id", "same-label") && with(texts, "id", "same-span"));
  EXPECT_FALSE(with(texts, "id", "blank-cell"));
  EXPECT_TRUE(with_text(texts, "Filled", "td"));
  EXPECT_FALSE(with_text(texts, "Hidden paragraph"));
  auto indirect = with(texts, "id", "indirect");
  ASSERT_TRUE(indirect);
  EXPECT_EQ(indirect->has_direct_text, false);
  auto link = with(texts, "id", "link");
  ASSERT_TRUE(link);
  EXPECT_EQ(keys(link->attributes), (Keys{"id", "class", "href", "data-x"}));
  for (const auto& t : texts) {
    EXPECT_FALSE(t->attributes.contains("_label"));
    EXPECT_EQ(t->is_visible, true);
  }
  // The text-only operation gives the same records.
  Elements alone = PageHarvester(page, GetParam()).extract_text_elements();
  EXPECT_EQ(to_json(alone), to_json(texts));
}

TEST_P(Harvest, RepeatedExtractionIsIdentical) {
  auto first = extract("labels.html");
  auto second = PageHarvester(page, GetParam()).extract_interactable_elements();
  EXPECT_EQ(to_json(first.first).dump(), to_json(second.first).dump());
  EXPECT_EQ(to_json(first.second).dump(), to_json(second.second).dump());
}

TEST_P(Harvest, PageWithoutControls) {
  page->navigate("data:text/html,<p>Only text</p>");
  auto [els, texts] = PageHarvester(page, GetParam()).extract_interactable_elements();
  EXPECT_TRUE(els.empty());
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0]->text, "Only text");
}

INSTANTIATE_TEST_SUITE_P(Paths, Harvest, ::testing::Values(Extraction::exact, Extraction::fast),
                         [](const auto& info) {
                           return std::string(info.param == Extraction::exact ? "exact" : "fast");
                         });

}  // namespace
}  // namespace plainstep
