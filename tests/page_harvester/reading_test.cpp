// What a person sees on real pages: labels around, beside and after
// fields; text split into inline pieces; text in any tag; elements inside
// shadow trees and frames. Both readers, on fixture pages.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "browser.hpp"
#include "browser/page_harvester/page_harvester.hpp"
#include "driver/frame.hpp"

namespace plainstep {
namespace {

using testing::BrowserTest;
using ::testing::ElementsAre;

ElementRef find(const Elements& els, const std::string& attr, const std::string& value) {
  for (const auto& e : els)
    if (e->attributes.get_or_empty(attr) == value) return e;
  return nullptr;
}

ElementRef find_text(const Elements& els, const std::string& text, const std::string& tag = "") {
  for (const auto& e : els)
    if (e->text == text && (tag.empty() || e->tag == tag)) return e;
  return nullptr;
}

bool any_text_containing(const Elements& els, const std::string& part) {
  for (const auto& e : els)
    if (e->text.find(part) != std::string::npos) return true;
  return false;
}

class Reading : public BrowserTest, public ::testing::WithParamInterface<Extraction> {
 protected:
  std::pair<Elements, Elements> extract(const std::string& fixture) {
    open(fixture);
    return PageHarvester(page, GetParam()).extract_interactable_elements();
  }
};

struct LabelCase {
  const char* attr;
  const char* value;
  const char* label;
};

// The label a browser would name the field by comes first; the label
// beside a field beats its placeholder; a checkbox or radio button is
// named by the words after it, not by the box before it.
TEST_P(Reading, FieldLabelsAsAPersonReadsThem) {
  auto [els, texts] = extract("wrapped_labels.html");
  for (auto c : {LabelCase{"name", "dt_length", "Show entries"}, LabelCase{"id", "dt-search", "Search:"},
                 LabelCase{"id", "username", "Username"}, LabelCase{"id", "note", "Note (optional)"},
                 LabelCase{"id", "rows", "Show rows"}, LabelCase{"id", "city", "City"},
                 LabelCase{"id", "zip", "Zip code"}, LabelCase{"id", "hidden-beside", "Shown hint"},
                 LabelCase{"id", "not-mine", "Mine"}, LabelCase{"id", "crowded", "Amount"},
                 LabelCase{"id", "size", "Size"}, LabelCase{"value", "apples", "Apples"},
                 LabelCase{"value", "pears", "Pears"}, LabelCase{"value", "red", "Red"},
                 LabelCase{"value", "green", "Green"}, LabelCase{"name", "terms", "Accept the terms"},
                 LabelCase{"id", "boxed", "Boxed by for"}, LabelCase{"name", "signup", "Sign up"},
                 LabelCase{"name", "newsletter", "Newsletter"},
                 LabelCase{"id", "both", "Labelled by"}}) {
    auto e = find(els, c.attr, c.value);
    ASSERT_TRUE(e) << c.value;
    EXPECT_EQ(e->attributes.get_or_empty("_label"), c.label) << c.attr << "=" << c.value;
  }
}

TEST_P(Reading, InlinePiecesReadAsOnePhrase) {
  auto [els, texts] = extract("inline_text.html");
  auto count = find(texts, "id", "count");
  ASSERT_TRUE(count) << "the todo count is one text";
  EXPECT_EQ(count->text, "2 items left");
  EXPECT_EQ(count->has_direct_text, true);
  auto react = find(texts, "id", "react-count");
  ASSERT_TRUE(react);
  EXPECT_EQ(react->text, "3 items left");
  // The pieces stay texts of their own.
  EXPECT_TRUE(find_text(texts, "2", "strong"));
  EXPECT_TRUE(find_text(texts, "items left", "span"));
  // A plain wrapper still gives way to what it wraps; lines, boxes, long
  // text and a lone shown piece are no phrase.
  EXPECT_FALSE(find(texts, "id", "plain"));
  EXPECT_TRUE(find_text(texts, "Apples", "span"));
  for (const char* id : {"blocks", "boxed", "long", "hidden-piece"}) EXPECT_FALSE(find(texts, "id", id)) << id;
  EXPECT_TRUE(find_text(texts, "Top line") && find_text(texts, "Bottom line"));
}

struct TagCase {
  const char* text;
  const char* tag;
};

TEST_P(Reading, TextInAnyTagThatShowsIt) {
  auto [els, texts] = extract("inline_text.html");
  for (auto c : {TagCase{"incl. VAT", "small"}, TagCase{"bold", "b"}, TagCase{"italic", "i"},
                 TagCase{"emphasis", "em"}, TagCase{"npm ci", "code"}, TagCase{"More info", "summary"},
                 TagCase{"Term", "dt"}, TagCase{"Definition", "dd"}, TagCase{"A caption", "figcaption"},
                 TagCase{"Prices", "caption"}, TagCase{"Item", "th"}, TagCase{"Shipping", "legend"},
                 TagCase{"New", "x-badge"}})
    EXPECT_TRUE(find_text(texts, c.text, c.tag)) << c.tag << " " << c.text;
  // A closed list's choices, a control's value, code and styles are not
  // page text, even drawn; a closed details section hides its body.
  for (const char* never : {"Red", "Blue", "Typed text", "shown-style", "shownScript", "Opened text"})
    EXPECT_FALSE(any_text_containing(texts, never)) << never;
  auto summary = find_text(els, "More info", "summary");
  ASSERT_TRUE(summary) << "a summary opens its section by its words";
  EXPECT_EQ(summary->is_visible, true);
}

struct IconCase {
  const char* id;
  const char* icon;  // nullptr: the control gets no icon name
  const char* text;  // what it shows
};

// A control that shows only an icon is named by it, whatever the icon set;
// a control with words keeps them and gets no icon name; icons inside
// another control are that control's.
TEST_P(Reading, IconOnlyControlsNamedByTheirIcons) {
  auto [els, texts] = extract("icons.html");
  for (auto c : {IconCase{"navbarDropdown", "user", ""}, IconCase{"fa-font", "gear", ""},
                 IconCase{"fa-old", "pencil", ""}, IconCase{"bi", "arrow right", ""},
                 IconCase{"material", "delete forever", "delete_forever"},
                 IconCase{"symbols", "search", "search"},
                 IconCase{"feather", "mail", ""}, IconCase{"feather-svg", "bell", ""},
                 IconCase{"lucide", "trash 2", ""}, IconCase{"generic", "home", ""},
                 IconCase{"glyphicon", "star", ""}, IconCase{"sprite", "heart", ""},
                 IconCase{"iconify", "account circle", ""}, IconCase{"ionic", "close outline", ""},
                 IconCase{"two", "user caret down", ""}, IconCase{"toggle", "eye", ""},
                 IconCase{"self", "xmark", ""}, IconCase{"labelled", "x lg", ""},
                 IconCase{"hidden", "sliders", ""}, IconCase{"bold", "bold", ""},
                 IconCase{"styles-only", nullptr, ""}, IconCase{"not-an-icon", nullptr, ""},
                 IconCase{"with-text", nullptr, "Save"}, IconCase{"material-text", nullptr, "add New item"},
                 IconCase{"text-link", nullptr, "User profile"}, IconCase{"field", nullptr, ""}}) {
    auto e = find(els, "id", c.id);
    ASSERT_TRUE(e) << c.id;
    EXPECT_EQ(e->text, c.text) << c.id;
    const std::string* icon = e->attributes.get("_icon");
    if (c.icon) {
      EXPECT_TRUE(icon && *icon == c.icon) << c.id << ": " << (icon ? *icon : "no icon name");
    } else {
      EXPECT_FALSE(icon) << c.id << ": " << *icon;
    }
  }
  auto group = find(els, "data-testid", "format-group");
  ASSERT_TRUE(group);
  EXPECT_FALSE(group->attributes.contains("_icon")) << "its buttons' icons are theirs";
  EXPECT_EQ(find(els, "id", "hidden")->is_visible, false);
}

// Where a path leads, followed step by step: XPath within a document,
// "#shadow-root" into a host's open shadow root (whose top-level step is
// found among the root's children: XPath takes no shadow root as its
// context), "#document" into a frame's document. The text of what it
// reaches, or null.
const char* follow_path_js = R"JS(path => {
  let node = document;
  for (const part of path.split(/(?=\/#)/)) {
    let rest = part;
    if (rest.startsWith('/#shadow-root')) {
      const root = node.shadowRoot;
      if (!root) return null;
      const steps = rest.slice(13).split('/').filter(Boolean);
      const [, name, n] = /^(.*)\[(\d+)\]$/.exec(steps.shift());
      node = Array.from(root.children).filter(c => c.localName === name)[n - 1];
      rest = steps.length ? '/' + steps.join('/') : '';
    } else if (rest.startsWith('/#document')) {
      node = node.contentDocument;
      rest = rest.slice(10);
    }
    if (!node) return null;
    if (!rest) continue;
    const doc = node.nodeType === 9 ? node : node.ownerDocument;
    node = doc.evaluate(node.nodeType === 9 ? rest : '.' + rest, node, null,
                        XPathResult.FIRST_ORDERED_NODE_TYPE, null).singleNodeValue;
    if (!node) return null;
  }
  return node.innerText !== undefined ? node.innerText.trim() : null;
})JS";

TEST_P(Reading, InsideShadowTreesAndFramesWithPathsThatLeadThere) {
  auto [els, texts] = extract("shadow_frames.html");
  struct PathCase {
    const char* text;
    const char* path;
  };
  const char* frame = "/html[1]/body[1]/iframe[1]/#document/html[1]/body[1]";
  for (auto c : {PathCase{"Card action", "/html[1]/body[1]/x-card[1]/#shadow-root/div[1]/button[1]"},
                 PathCase{"Deep link", "/html[1]/body[1]/x-card[1]/#shadow-root/div[1]/x-inner[1]/#shadow-root/a[1]"},
                 PathCase{"Frame button", "/html[1]/body[1]/iframe[1]/#document/html[1]/body[1]/form[1]/button[1]"},
                 PathCase{"Inner link", "/html[1]/body[1]/iframe[1]/#document/html[1]/body[1]/iframe[1]/#document/"
                                        "html[1]/body[1]/a[1]"}}) {
    auto e = find_text(els, c.text);
    ASSERT_TRUE(e) << c.text;
    EXPECT_EQ(e->xpath, c.path);
  }
  int cards = 0;
  for (const auto& e : els) cards += e->text == "Card action";
  EXPECT_EQ(cards, 2) << "each card's own button";
  EXPECT_EQ(find(els, "class", "name")->attributes.get_or_empty("_label"), "Card name");
  auto email = find(els, "id", "f-email");
  ASSERT_TRUE(email);
  EXPECT_EQ(email->xpath, std::string(frame) + "/form[1]/input[1]");
  EXPECT_EQ(email->attributes.get_or_empty("_label"), "Frame email");
  // Every path leads back to an element with the record's text.
  for (const auto* list : {&els, &texts})
    for (const auto& e : *list) {
      if (e->text.empty()) continue;
      EXPECT_EQ(page->evaluate(follow_path_js, e->xpath), e->text) << e->xpath;
    }
  // What is not drawn, closed or of another origin is not read.
  for (const char* unseen : {"Never drawn", "Closed away", "Top link"}) {
    EXPECT_FALSE(any_text_containing(els, unseen)) << unseen;
    EXPECT_FALSE(any_text_containing(texts, unseen)) << unseen;
  }
  // A frame's texts stand where its frame element stands.
  std::vector<std::string> order;
  for (const auto& t : texts) order.push_back(t->text);
  auto at = [&](const std::string& s) { return std::find(order.begin(), order.end(), s) - order.begin(); };
  EXPECT_LT(at("Outside"), at("Card title"));
  EXPECT_LT(at("Deep text"), at("Inner frame text"));
  EXPECT_LT(at("Inner frame text"), at("After the frames"));
  EXPECT_LT(at("After the frames"), static_cast<long>(order.size()));
}

// Boxes of elements in frames are where the top page draws them, as the
// driver measures them.
TEST_P(Reading, FrameBoxesInTopPageCoordinates) {
  auto [els, texts] = extract("shadow_frames.html");
  auto outer = page->query_selector("#form-frame")->content_frame();
  ASSERT_TRUE(outer);
  auto button = outer->query_selector("button");
  auto inner = outer->query_selector("iframe")->content_frame();
  ASSERT_TRUE(button && inner);
  for (auto [handle, text] : {std::pair{button, "Frame button"}, std::pair{inner->query_selector("a"), "Inner link"}}) {
    auto want = handle->bounding_box();
    auto got = find_text(els, text);
    ASSERT_TRUE(want && got) << text;
    EXPECT_EQ(got->bounding_box->x, want->x) << text;
    EXPECT_EQ(got->bounding_box->y, want->y) << text;
    EXPECT_EQ(got->bounding_box->width, want->width) << text;
    EXPECT_EQ(got->bounding_box->height, want->height) << text;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, Reading, ::testing::Values(Extraction::exact, Extraction::fast),
                         [](const auto& info) { return info.param == Extraction::exact ? "exact" : "fast"; });

class Frames : public BrowserTest {};

TEST_F(Frames, UnreadableFramesByNameAndAddress) {
  open("shadow_frames.html");
  EXPECT_THAT(PageHarvester(page).unreadable_frames(),
              ElementsAre("frame \"elsewhere\" (" + testing::fixture_url("text.html") + ")"));
  page->navigate("data:text/html,<iframe id=boxed sandbox srcdoc='<p>x</p>'></iframe><iframe srcdoc='<p>y</p>'></iframe>");
  EXPECT_THAT(PageHarvester(page).unreadable_frames(), ElementsAre("frame #boxed (about:srcdoc)"))
      << "a sandboxed frame has an origin of its own";
  open("text.html");
  EXPECT_TRUE(PageHarvester(page).unreadable_frames().empty());
}

}  // namespace
}  // namespace plainstep
