// The rules that need no page: selectors, custom-input class test, spatial
// labelling, wrapper elimination, snapshot slugs and selector escaping.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <random>

#include "browser/page_harvester/exact_reads.hpp"
#include "browser/page_harvester/page_harvester.hpp"
#include "browser/page_harvester/rules.hpp"

namespace plainstep {
namespace {

ElementRef text_el(std::string text, Box box, bool direct = false) {
  return make_element(Element{"span", std::move(text), direct, {}, box, true, true, std::nullopt, ""});
}

ElementRef button_at(Box box, AttributeMap attrs = {}) {
  return make_element(Element{"button", "", std::nullopt, std::move(attrs), box, true, true, std::nullopt, ""});
}

TEST(Selectors, InteractableListInOrder) {
  // summary is a native control: its words open its details section.
  EXPECT_TRUE(INTERACTABLE_SELECTOR.starts_with("button, input, a, select, textarea, summary, [role=\"button\"], "));
  EXPECT_TRUE(INTERACTABLE_SELECTOR.ends_with("[role=\"tab\"], img[alt], img[data-testid], [data-testid]"));
  size_t commas = std::count(INTERACTABLE_SELECTOR.begin(), INTERACTABLE_SELECTOR.end(), ',');
  EXPECT_EQ(commas, 21u);
  EXPECT_EQ(TEXT_SELECTOR, "h1, h2, h3, h4, h5, h6, p, span, label, li, td, th, a, button, div");
}

struct CustomCase {
  const char* tag;
  const char* classes;
  bool expected;
};

class CustomInput : public ::testing::TestWithParam<CustomCase> {};

TEST_P(CustomInput, ClassRule) {
  EXPECT_EQ(_is_custom_input(GetParam().tag, GetParam().classes), GetParam().expected)
      << GetParam().tag << " class=" << GetParam().classes;
}

INSTANTIATE_TEST_SUITE_P(Table, CustomInput,
                         ::testing::Values(CustomCase{"div", "search-input", true},
                                           CustomCase{"span", "input-group-text", true},
                                           CustomCase{"div", "RichEditable", true},
                                           CustomCase{"textarea", "editable", false},
                                           CustomCase{"input", "input", false},
                                           CustomCase{"select", "editable", false},
                                           CustomCase{"div", "", false},
                                           CustomCase{"div", "INPUT-like", true},
                                           CustomCase{"span", "edit able", false}));

struct SpatialCase {
  const char* name;
  std::vector<LabelCandidate> candidates;
  std::optional<std::string> expected;
};

class SpatialLabel : public ::testing::TestWithParam<SpatialCase> {};

// The element sits at x 100..180, y 100..130.
TEST_P(SpatialLabel, NearestAbove) {
  Elements els{button_at({100, 100, 80, 30})};
  PageHarvester::_assign_spatial_labels(els, GetParam().candidates);
  const std::string* label = els[0]->attributes.get("_label");
  if (GetParam().expected) {
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(*label, *GetParam().expected);
  } else {
    EXPECT_EQ(label, nullptr) << *label;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SpatialLabel,
    ::testing::Values(
        SpatialCase{"distance_zero", {{"Zero", {100, 70, 80, 30}}}, "Zero"},
        SpatialCase{"overlapping_below_top", {{"Low", {100, 71, 80, 30}}}, std::nullopt},
        SpatialCase{"right_edge_touches", {{"Touch", {20, 50, 80, 20}}}, "Touch"},
        SpatialCase{"right_edge_short", {{"Short", {19.75, 50, 80, 20}}}, std::nullopt},
        SpatialCase{"left_edge_touches", {{"Right", {180, 50, 40, 20}}}, "Right"},
        SpatialCase{"far_heading", {{"Far", {90, -420, 200, 20}}}, "Far"},
        SpatialCase{"earlier_of_equal", {{"First", {90, 80, 40, 12}}, {"Second", {140, 80, 40, 12}}}, "First"},
        SpatialCase{"closer_wins", {{"Far", {100, 0, 80, 20}}, {"Near", {100, 60, 80, 20}}}, "Near"},
        SpatialCase{"container_never", {{"Box", {90, 90, 100, 50}}}, std::nullopt},
        SpatialCase{"none", {}, std::nullopt}),
    [](const auto& info) { return info.param.name; });

TEST(SpatialLabel, KeepsFieldLabelsAndSkipsBoxless) {
  Elements els{button_at({100, 100, 80, 30}, {{"id", "a"}, {"_label", "Own"}}),
               button_at({100, 100, 80, 30}, {{"_label", ""}}),
               make_element(Element{"a", "x", std::nullopt, {}, std::nullopt, true, true, std::nullopt, ""})};
  PageHarvester::_assign_spatial_labels(els, {{"Above", {100, 50, 80, 20}}});
  EXPECT_EQ(els[0]->attributes.get_or_empty("_label"), "Own");
  // An empty label counts as none; the spatial one replaces it in place.
  EXPECT_EQ(els[1]->attributes.get_or_empty("_label"), "Above");
  EXPECT_FALSE(els[2]->attributes.contains("_label"));
}

// The nearest candidate above, by its plain definition: every candidate
// looked at, the first of the nearest kept.
std::string nearest_above(const Box& bb, const std::vector<LabelCandidate>& candidates) {
  std::string best;
  double best_dist = std::numeric_limits<double>::infinity();
  for (const auto& c : candidates) {
    const Box& cb = c.bounding_box;
    double bottom = cb.y + cb.height;
    if (bottom > bb.y || !(cb.x <= bb.x + bb.width && cb.x + cb.width >= bb.x)) continue;
    if (bb.y - bottom < best_dist) {
      best_dist = bb.y - bottom;
      best = c.text;
    }
  }
  return best;
}

// A crowded layout on a coarse grid: many candidates as near as each
// other, edges that just touch, candidates below and inside the fields,
// boxes without numbers or with a negative width, and labels without
// text; from a few candidates to hundreds.
TEST(SpatialLabel, CrowdedLayoutGivesTheNearestAboveByDefinition) {
  std::mt19937 random(7);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const double odd[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                        -std::numeric_limits<double>::infinity()};
  auto box = [&] {
    Box b{10.0 * pick(30), 10.0 * pick(40), 10.0 * (pick(9) - 1), 10.0 * pick(3)};
    if (pick(40) == 0) (pick(2) ? b.y : b.x) = odd[pick(3)];
    return b;
  };
  for (int round = 0; round < 40; ++round) {
    std::vector<LabelCandidate> candidates;
    for (int i = 0, n = 10 + pick(round < 20 ? 50 : 800); i < n; ++i)
      candidates.push_back({pick(25) == 0 ? "" : "label " + std::to_string(i), box()});
    Elements els;
    for (int i = 0; i < 80; ++i)
      els.push_back(pick(10) == 0 ? button_at(box(), {{"_label", "Own"}}) : button_at(box()));
    std::vector<std::string> expected;
    size_t labelled = 0;
    for (const auto& e : els) {
      const std::string* own = e->attributes.get("_label");
      expected.push_back(own ? *own : nearest_above(*e->bounding_box, candidates));
      labelled += !own && !expected.back().empty();
    }
    PageHarvester::_assign_spatial_labels(els, candidates);
    for (size_t i = 0; i < els.size(); ++i)
      EXPECT_EQ(els[i]->attributes.get_or_empty("_label"), expected[i]) << "round " << round << ", element " << i;
    EXPECT_GT(labelled, 0u) << "round " << round << " labelled nothing";
  }
}

// The wrapper elimination keeps the records themselves, in input order.
TEST(Dedup, WrappersGoSmallestStays) {
  auto li = text_el("Apples", {0, 0, 200, 20});
  auto li_span = text_el("Apples", {0, 0, 50, 20}, true);
  auto total = text_el("Total: 42", {0, 30, 200, 20}, true);
  auto total_span = text_el("42", {60, 30, 20, 20}, true);
  auto yes_no = text_el("Yes No", {0, 60, 200, 20});
  auto yes = text_el("Yes", {0, 60, 30, 20}, true);
  auto no = text_el("No", {40, 60, 30, 20}, true);
  auto same_a = text_el("Same", {0, 90, 50, 20});
  auto same_b = text_el("Same", {0, 90, 50, 20});
  auto save_changes = text_el("save changes", {0, 120, 200, 20});
  auto save = text_el("Save", {0, 120, 40, 20});
  auto touching = text_el("Edge wrapper", {0, 150, 100, 20});
  auto beside = text_el("Edge", {100, 150, 40, 20}, true);
  Elements in{li, li_span, total, total_span, yes_no, yes, no, same_a, same_b,
              save_changes, save, touching, beside};
  Elements want{li_span, total, total_span, yes, no, same_a, same_b, save_changes, save, touching, beside};
  Elements got = PageHarvester::_dedup_text_elements(in);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(got[i], want[i]) << "position " << i << ": " << got[i]->text;
  EXPECT_TRUE(PageHarvester::_dedup_text_elements({}).empty());
}

TEST(Dedup, SameRecordTwiceIsNotItsOwnWrapper) {
  auto a = text_el("Twice", {0, 0, 50, 20});
  Elements got = PageHarvester::_dedup_text_elements({a, a});
  EXPECT_EQ(got.size(), 2u);
}

// The band index must find every overlapping pair the all-pairs test finds.
TEST(Dedup, LargeGridMatchesAllPairs) {
  Elements in;
  for (int r = 0; r < 60; ++r)
    for (int c = 0; c < 20; ++c) {
      double x = c * 50.0, y = r * 17.5;
      in.push_back(text_el("w" + std::to_string(r) + "_" + std::to_string(c) + " cell", {x, y, 48, 16}));
      in.push_back(text_el("cell", {x + 20, y + 0.5, 20, 15}, true));
    }
  in.push_back(text_el("page w0_0 cell", {-5, -5, 2000, 2000}));  // overlaps everything
  Elements got = PageHarvester::_dedup_text_elements(in);
  EXPECT_EQ(got.size(), 60u * 20u + 0u);  // every wrapper holds a smaller "cell"
  for (const auto& e : got) EXPECT_EQ(e->text, "cell");
}

TEST(Dedup, BoxlessCandidateIsATypeError) {
  auto bad = make_element(Element{"p", "x", false, {}, std::nullopt, true, true, std::nullopt, ""});
  EXPECT_THROW(PageHarvester::_dedup_text_elements({bad}), TypeError);
}

struct SlugCase {
  const char* url;
  const char* slug;
};
class Slug : public ::testing::TestWithParam<SlugCase> {};
TEST_P(Slug, FromUrl) { EXPECT_EQ(harvest::url_slug(GetParam().url), GetParam().slug); }
INSTANTIATE_TEST_SUITE_P(
    Table, Slug,
    ::testing::Values(SlugCase{"https://shop.example/cart/items", "https_shop.example_cart_items"},
                      SlugCase{"about:blank", "about:blank"},
                      SlugCase{"http://h:8080/a?b=1&c#d", "http_h:8080_a?b=1&c#d"},
                      SlugCase{"https://example.com/aaaaaaaaaa/bbbbbbbbbb/cccccccccc/dddddddddd/eeeeeeeeee/ffff",
                               "https_example.com_aaaaaaaaaa_bbbbbbbbbb_cccccccccc_ddddddddd"},
                      SlugCase{"file:///tmp/é/x", "file__tmp_é_x"}));

struct EscapeCase {
  const char* in;
  const char* ident;
  const char* string;
};
class Escape : public ::testing::TestWithParam<EscapeCase> {};
TEST_P(Escape, IdentifierAndString) {
  EXPECT_EQ(harvest::css_identifier(GetParam().in), GetParam().ident);
  EXPECT_EQ(harvest::css_string(GetParam().in), GetParam().string);
}
INSTANTIATE_TEST_SUITE_P(Table, Escape,
                         ::testing::Values(EscapeCase{"email", "email", "\"email\""},
                                           EscapeCase{"1st", "\\31 st", "\"1st\""},
                                           EscapeCase{"-2", "-\\32 ", "\"-2\""},
                                           EscapeCase{"-", "\\-", "\"-\""},
                                           EscapeCase{"lb.second", "lb\\.second", "\"lb.second\""},
                                           EscapeCase{"q\"uote", "q\\\"uote", "\"q\\\"uote\""},
                                           EscapeCase{"back\\slash", "back\\\\slash", "\"back\\\\slash\""},
                                           EscapeCase{"x] , #y", "x\\]\\ \\,\\ \\#y", "\"x] , #y\""},
                                           EscapeCase{"tab\there", "tab\\9 here", "\"tab\\9 here\""},
                                           EscapeCase{"café", "café", "\"café\""}));

// A whole-page call is met again after a navigation destroyed its context,
// a bounded number of times; every other failure goes straight through.
struct RetryCase {
  const char* name;
  std::vector<std::function<void()>> failures;  // thrown in turn, then the call succeeds
  int calls;                                     // calls made
  bool throws;
};
const std::string _DESTROYED = "Execution context was destroyed, most likely because of a navigation";
auto _destroyed = [] { throw pw::Error(_DESTROYED); };

class AcrossNavigation : public ::testing::TestWithParam<RetryCase> {};
TEST_P(AcrossNavigation, RetriesOnlyNavigations) {
  const auto& c = GetParam();
  int calls = 0;
  auto call = [&]() -> json {
    if (calls < static_cast<int>(c.failures.size())) c.failures[calls++]();
    ++calls;
    return json("page");
  };
  if (c.throws) EXPECT_ANY_THROW(harvest::across_navigation(call));
  else EXPECT_EQ(harvest::across_navigation(call), json("page"));
  EXPECT_EQ(calls, c.calls);
}
INSTANTIATE_TEST_SUITE_P(
    Table, AcrossNavigation,
    ::testing::Values(RetryCase{"plain", {}, 1, false},
                      RetryCase{"one_navigation", {_destroyed}, 2, false},
                      RetryCase{"four_navigations", {_destroyed, _destroyed, _destroyed, _destroyed}, 5, false},
                      RetryCase{"endless_navigation", std::vector<std::function<void()>>(9, _destroyed), 5, true},
                      RetryCase{"script_error", {[] { throw pw::Error("ReferenceError: x is not defined"); }}, 1, true},
                      RetryCase{"timeout", {[] { throw pw::TimeoutError("Timeout 30000ms exceeded. " + _DESTROYED); }}, 1, true},
                      RetryCase{"driver_gone", {[] { throw pw::ConnectionError(_DESTROYED); }}, 1, true},
                      RetryCase{"navigation_then_error", {_destroyed, [] { throw pw::Error("boom"); }}, 2, true}),
    [](const auto& info) { return std::string(info.param.name); });


// An answer of the gathering that has another shape than the agreed one
// fails naming the page and saying what was wrong, never with a JSON
// library's message; a well-formed one is read.
struct AnswerCase {
  const char* name;
  json answer;
  const char* says;
};

const std::string page_url = "http://shop.test/cart";
const std::vector<std::string> interactable_only = {INTERACTABLE_SELECTOR};

class GatheringAnswer : public ::testing::TestWithParam<AnswerCase> {};
TEST_P(GatheringAnswer, OfAnotherShapeFailsNamingThePage) {
  try {
    harvest::fast_reads_from(GetParam().answer, interactable_only, true, page_url);
    FAIL() << "read " << GetParam().answer.dump();
  } catch (const harvest::AnswerError& e) {
    std::string what = e.what();
    EXPECT_TRUE(what.starts_with("the page at " + page_url + " gave an extraction answer that ")) << what;
    EXPECT_NE(what.find(GetParam().says), std::string::npos) << what;
    EXPECT_EQ(what.find("json.exception"), std::string::npos) << what;
  }
}
const json rest_of_answer = {{"groups", {{"interactable", {0}}}}, {"pointer", json::array()}};
INSTANTIATE_TEST_SUITE_P(
    Table, GatheringAnswer,
    ::testing::Values(
        AnswerCase{"object", json::object(), "is not a string"},
        AnswerCase{"one_line", "[]", "has no second line"},
        AnswerCase{"not_json", "[{\"v\":tru}]\n{}", "is not JSON at byte"},
        AnswerCase{"records_a_string", "\"array of 2\"\n" + rest_of_answer.dump(), "where its list of records belongs"},
        AnswerCase{"visible_a_string", "[{\"v\":\"yes\"}]\n" + rest_of_answer.dump(), "in record 0 has a string under 'v'"},
        AnswerCase{"no_visibility", "[{\"t\":\"a\"}]\n" + rest_of_answer.dump(), "in record 0 has no visibility"},
        AnswerCase{"short_box", "[{\"v\":true,\"b\":[1,2,3]}]\n" + rest_of_answer.dump(), "a box of 3 numbers"},
        AnswerCase{"unknown_key", "[{\"v\":true,\"zz\":1}]\n" + rest_of_answer.dump(), "has a number under 'zz'"},
        AnswerCase{"bad_attribute", "[{\"v\":true,\"a\":[[\"id\"]]}]\n" + rest_of_answer.dump(), "an attribute without a value"},
        AnswerCase{"path_no_steps", "[{\"v\":true,\"x\":[\"/html[1]\"]}]\n" + rest_of_answer.dump(), "a path"},
        AnswerCase{"rest_not_object", "[]\n[1]", "second line that is not a JSON object"},
        AnswerCase{"no_group", "[]\n{\"groups\":{}}", "has no group 'interactable'"},
        AnswerCase{"group_past_end", "[{\"v\":true}]\n{\"groups\":{\"interactable\":[1]},\"pointer\":[]}",
                   "naming 1 of 1 records"},
        AnswerCase{"pointer_no_xpath",
                   "[{\"v\":true}]\n{\"groups\":{\"interactable\":[0]},\"pointer\":[{\"tag\":\"div\",\"text\":\"Go\"}]}",
                   "pointer item 0 without a text 'xpath'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GatheringAnswer, OfTheAgreedShapeIsRead) {
  json answer = std::string(R"([{"v":true,"t":"input","i":"","b":[1,2,30,40],"a":[["id","q"],["data-x","1"]],)") +
                R"("x":[0,"/html[1]/body[1]/input[1]"],"e":true,"lb":["By"],"lf":null,"lw":"Wrap","ls":null,"ln":null,)" +
                R"("ps":null,"pc":null},{"v":false,"t":"a","i":null,"b":null,"a":[],"x":[2,"/a[1]"],"e":false}])" +
                "\n" + R"({"groups":{"interactable":[0,1]},"pointer":null})";
  auto reads = harvest::fast_reads_from(answer, interactable_only, true, page_url);
  auto els = reads->query_all(INTERACTABLE_SELECTOR);
  ASSERT_EQ(els.size(), 2u);
  EXPECT_EQ(els[0]->xpath(), "/html[1]/body[1]/input[1]");
  EXPECT_EQ(els[1]->xpath(), "/html[1]/body[1]/a[1]") << "two steps shared with the path before";
  EXPECT_EQ(els[0]->bounding_box(), (Box{1, 2, 30, 40}));
  EXPECT_EQ(els[0]->attribute("data-x"), "1");
  EXPECT_EQ(els[0]->label_texts().labelled_by, std::vector<std::string>{"By"});
  EXPECT_EQ(els[0]->label_texts().wrapping, "Wrap");
  EXPECT_EQ(harvest::field_label(*els[0]), "By");
  EXPECT_THROW(els[1]->inner_text(), harvest::ReadFailure) << "not an HTML element";
  EXPECT_FALSE(els[1]->bounding_box());
  EXPECT_THROW(reads->pointer_items(), harvest::ReadFailure) << "the pointer gathering failed";
}

}  // namespace
}  // namespace plainstep
