#include <gtest/gtest.h>

#include "run_resolve.hpp"
#include "run_routing.hpp"
#include "strategy.hpp"

using namespace plainstep;
using namespace plainstep::host;

namespace {

ParsedInstruction step(std::string action, std::optional<std::string> target,
                       std::optional<int> ordinal = std::nullopt) {
  ParsedInstruction p;
  p.action = std::move(action);
  p.target = std::move(target);
  p.ordinal = ordinal;
  return p;
}

ParsedInstruction quoted(ParsedInstruction p) {
  p.literal_target = true;
  return p;
}

struct RouteCase {
  const char* written;
  ParsedInstruction parsed;
  Route route;
  const char* spatial_target;  // what the grid is given, when spatial
};

class RouteTable : public ::testing::TestWithParam<RouteCase> {};

TEST_P(RouteTable, PlansTheRoute) {
  const auto& c = GetParam();
  RoutePlan plan = plan_route(c.parsed, std::string_view(c.written));
  EXPECT_EQ(route_name(plan.route), route_name(c.route)) << c.written;
  if (c.route == Route::spatial) {
    ASSERT_TRUE(plan.spatial_instruction.target);
    EXPECT_EQ(*plan.spatial_instruction.target, c.spatial_target) << c.written;
    EXPECT_EQ(plan.spatial_instruction.ordinal, c.parsed.ordinal);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RouteTable,
    ::testing::Values(
        RouteCase{"click Login", step("click", "Login", 1), Route::lexical, ""},
        // relation keywords count only as whole words
        RouteCase{"click Thunderbird", step("click", "Thunderbird", 1), Route::lexical, ""},
        RouteCase{"click Linear", step("click", "Linear", 1), Route::lexical, ""},
        RouteCase{"click Underline", step("click", "Underline", 1), Route::lexical, ""},
        RouteCase{"click the button below Total", step("click", "button below Total", 1),
                  Route::spatial, "button below Total"},
        RouteCase{"type x into the field right of Email", step("type", "field right of Email"),
                  Route::spatial, "field right of Email"},
        RouteCase{"hover the link next to Help", step("hover", "link next to Help"),
                  Route::spatial, "link next to Help"},
        RouteCase{"click Save near Total", step("click", "Save near Total", 1), Route::spatial,
                  "Save near Total"},
        RouteCase{"verify the button under Cheese is enabled",
                  step("verify_enabled", "button under Cheese"), Route::spatial,
                  "button under Cheese"},
        RouteCase{"click Leftovers", step("click", "Leftovers", 1), Route::lexical, ""},
        // a split keyword needs both words
        RouteCase{"click next page", step("click", "next page", 1), Route::lexical, ""},
        // ordinal with a type word and no anchor
        RouteCase{"click the third button", step("click", "third button", 1), Route::spatial,
                  "third button"},
        RouteCase{"click the 2nd submit btn", step("click", "2nd submit btn", 1), Route::spatial,
                  "2nd submit btn"},
        // the ordinal the step reader moved out goes back in front
        RouteCase{"click third button", step("click", "button", 3), Route::spatial,
                  "third button"},
        RouteCase{"click first button", step("click", "button", 1), Route::spatial,
                  "first button"},
        RouteCase{"click second button below Total", step("click", "button below Total", 2),
                  Route::spatial, "second button below Total"},
        RouteCase{"extract text from second field below Total",
                  step("extract_text", "field below Total", 2), Route::spatial,
                  "second field below Total"},
        // an ordinal without a type word stays with text matching
        RouteCase{"click second Add to cart", step("click", "Add to cart", 2), Route::lexical,
                  ""},
        // "first" of the default ordinal is not invented
        RouteCase{"click button", step("click", "button", 1), Route::lexical, ""},
        // spatial text and text searches are always text matching
        RouteCase{"verify text right of Price is 12.50",
                  step("verify_spatial_text", "right of Price"), Route::lexical, ""},
        RouteCase{"extract text below Total", step("extract_text_spatial", "below Total"),
                  Route::lexical, ""},
        RouteCase{"find text left of the door", step("find_text", "left of the door"),
                  Route::lexical, ""},
        // a quoted target is words to find, never a place
        RouteCase{"click \"the third button\"", quoted(step("click", "the third button", 1)),
                  Route::lexical, ""},
        RouteCase{"click \"Save below Total\"", quoted(step("click", "Save below Total", 1)),
                  Route::lexical, ""},
        RouteCase{"click second \"Submit button\"", quoted(step("click", "Submit button", 2)),
                  Route::lexical, ""},
        // the grown forms: element actions are placed like a click, the
        // ordinal of a double click or a drag put back likewise
        RouteCase{"double click second button", step("double_click", "button", 2), Route::spatial,
                  "second button"},
        RouteCase{"drag third button to Bin", step("drag", "button", 3), Route::spatial, "third button"},
        RouteCase{"check the checkbox near Buy milk", step("check", "checkbox near Buy milk"),
                  Route::spatial, "checkbox near Buy milk"},
        RouteCase{"remember text from second field below Total as X",
                  step("remember_text", "field below Total", 2), Route::spatial,
                  "second field below Total"},
        // a count is of what the words name, never of one placed element
        RouteCase{"verify count of button below Total is 2", step("verify_count", "button below Total"),
                  Route::lexical, ""},
        RouteCase{"verify text right of Total is not 5", step("verify_spatial_text_not", "right of Total"),
                  Route::lexical, ""},
        RouteCase{"go to shop.html", step("go_to", "shop.html"), Route::none, ""},
        RouteCase{"press Enter", step("press_key", "Enter"), Route::none, ""},
        RouteCase{"accept dialog", step("accept_dialog", std::nullopt), Route::none, ""}));

TEST(Routing, OrdinalPutBackWithoutTheStepText) {
  // Offline (resolve --strategy auto) only the parsed record is known.
  EXPECT_EQ(route_name(plan_route(step("click", "button", 3)).route), "spatial");
  EXPECT_EQ(*plan_route(step("click", "button", 3)).spatial_instruction.target, "third button");
  EXPECT_EQ(route_name(plan_route(step("click", "button", 1)).route), "lexical");
}

TEST(Routing, NamesNothing) {
  EXPECT_TRUE(names_nothing(step("click", "", 5)));
  EXPECT_TRUE(names_nothing(step("verify_text_present", " ")));
  EXPECT_TRUE(names_nothing(step("sendkeys", "")));
  EXPECT_FALSE(names_nothing(step("click", "Save", 1)));
  EXPECT_FALSE(names_nothing(step("accept_dialog", std::nullopt)));
  EXPECT_FALSE(names_nothing(step("wait", "500")));
  EXPECT_TRUE(names_nothing(step("double_click", "", 1)));
  EXPECT_TRUE(names_nothing(step("verify_text_not_present", "")));
  EXPECT_FALSE(names_nothing(step("switch_to_new_tab", std::nullopt)));
}

// Stand-in strategies record what they were given.
struct Calls {
  std::vector<std::string> log;
  bool spatial_finds = false;
  std::vector<std::string> label_log;  // the label lookups, apart
  ElementRef labelled;                 // what the label lookup finds
};
Calls calls;

ElementRef button(const char* text, bool visible = true, bool enabled = true) {
  Element e;
  e.tag = "button";
  e.text = text;
  e.is_visible = visible;
  e.is_enabled = enabled;
  return make_element(e);
}

const RegisterStrategy _lexical("lexical", [](const ParsedInstruction& p, const Elements& els,
                                              const Elements&) {
  calls.log.push_back("lexical:" + p.target.value_or("<null>"));
  ResolutionResult r;
  r.resolved = !els.empty();
  if (r.resolved) r.element = els.front();
  return r;
});
const RegisterStrategy _spatial("spatial", [](const ParsedInstruction& p, const Elements& els,
                                              const Elements&) {
  calls.log.push_back("spatial:" + p.target.value_or("<null>"));
  ResolutionResult r;
  r.resolved = calls.spatial_finds && !els.empty();
  if (r.resolved) r.element = els.back();
  return r;
});

const RegisterStrategy _field_label("field_label", [](const ParsedInstruction& p, const Elements&,
                                                      const Elements&) {
  calls.label_log.push_back(p.action + ":" + p.target.value_or("<null>"));
  ResolutionResult r;
  r.resolved = calls.labelled != nullptr;
  r.element = calls.labelled;
  if (r.element) r.candidates = {r.element};
  return r;
});

TEST(ResolveRouted, SpatialFirstThenTextMatching) {
  Elements els{button("Save"), button("Cancel", true, false)};
  calls = {};
  auto miss = resolve_routed(step("click", "button below Total", 2), els, {},
                             std::string_view("click second button below Total"));
  EXPECT_TRUE(miss.fell_back);
  EXPECT_EQ(calls.log, (std::vector<std::string>{"spatial:second button below Total",
                                                 "lexical:button below Total"}));
  EXPECT_EQ(miss.result.element, els.front());

  calls = {};
  calls.spatial_finds = true;
  auto hit = resolve_routed(step("verify_disabled", "button right of Save"), els, {});
  EXPECT_FALSE(hit.fell_back);
  EXPECT_EQ(calls.log, (std::vector<std::string>{"spatial:button right of Save"}));
  EXPECT_EQ(hit.result.element, els.back());
  // a spatially chosen element is checked from its own record
  ASSERT_TRUE(hit.result.verified);
  EXPECT_TRUE(*hit.result.verified);
  ASSERT_TRUE(hit.result.state);
  EXPECT_EQ(hit.result.state->enabled, false);
}

struct NegativeCase {
  const char* action;
  bool visible, enabled;
  bool verified;
};

// A negative check on a spatially chosen or labelled element is answered
// from its record; one that finds nothing holds when it asks for absence.
TEST(ResolveRouted, NegativeChecksFromTheRecordAndWhenNothingIsFound) {
  for (const NegativeCase& c : {NegativeCase{"verify_not_visible", false, true, true},
                                NegativeCase{"verify_not_visible", true, true, false},
                                NegativeCase{"verify_not_present", false, true, false},
                                NegativeCase{"verify_not_enabled", true, false, true},
                                NegativeCase{"verify_not_enabled", true, true, false}}) {
    calls = {};
    calls.spatial_finds = true;
    Elements els{button("Save", c.visible, c.enabled)};
    auto r = resolve_routed(step(c.action, "button below Total"), els, {});
    ASSERT_TRUE(r.result.verified) << c.action;
    EXPECT_EQ(*r.result.verified, c.verified) << c.action << " visible " << c.visible;
  }
  calls = {};
  calls.labelled = button("", false);
  auto hidden = resolve_routed(step("verify_not_visible", "Remember me"), {}, {});
  EXPECT_TRUE(hidden.by_label);
  EXPECT_EQ(hidden.result.verified, true);
  // double clicks, right clicks and drags never take a field by its label
  for (const char* action : {"double_click", "right_click", "drag"}) {
    calls = {};
    calls.labelled = button("");
    auto r = resolve_routed(step(action, "Buy milk", 1), {}, {});
    EXPECT_FALSE(r.by_label) << action;
    EXPECT_TRUE(calls.label_log.empty()) << action;
  }
}

TEST(ResolveRouted, FieldLabelsAreAskedForClicksHoversAndChecks) {
  Elements none;
  for (const char* action : {"click", "hover", "verify_visible", "verify_disabled"}) {
    calls = {};
    calls.labelled = button("", true, false);
    auto r = resolve_routed(step(action, "Remember me", 1), none, {});
    EXPECT_TRUE(r.by_label) << action;
    EXPECT_FALSE(r.label_over_words) << action;
    EXPECT_EQ(r.result.element, calls.labelled) << action;
    EXPECT_EQ(calls.label_log, (std::vector<std::string>{std::string(action) + ":Remember me"}));
  }
  // a check on the field is answered from its record
  calls = {};
  calls.labelled = button("", true, false);
  auto check = resolve_routed(step("verify_disabled", "Remember me"), none, {});
  ASSERT_TRUE(check.result.verified);
  EXPECT_TRUE(*check.result.verified);

  // the label may answer better than the words an element shows
  calls = {};
  calls.labelled = button("");
  Elements shown{button("Remember me later")};
  auto over = resolve_routed(step("click", "Remember me", 1), shown, {});
  EXPECT_TRUE(over.by_label);
  EXPECT_TRUE(over.label_over_words);
  EXPECT_EQ(over.result.element, calls.labelled);

  // nothing labelled so: text matching's answer stands
  calls = {};
  auto kept = resolve_routed(step("click", "Remember me", 1), shown, {});
  EXPECT_FALSE(kept.by_label);
  EXPECT_EQ(kept.result.element, shown.front());

  // typing and choosing look labels up themselves
  for (const char* action : {"type", "select", "extract_text"}) {
    calls = {};
    calls.labelled = button("");
    resolve_routed(step(action, "Colour"), shown, {});
    EXPECT_TRUE(calls.label_log.empty()) << action;
  }
}

TEST(ResolveRouted, EmptyTargetIsAnErrorNotAMatchOfEverything) {
  calls = {};
  Elements els{button("Save")};
  try {
    resolve_routed(step("click", "", 5), els, {}, std::string_view("click fifth"));
    FAIL() << "expected an error";
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("names nothing"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("'click fifth'"), std::string::npos);
  }
  EXPECT_TRUE(calls.log.empty());
}

}  // namespace
