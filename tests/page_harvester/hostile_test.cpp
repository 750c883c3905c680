// Pages that bend the built-ins: the fast reading runs where the page's
// scripts cannot reach and gives the records of the page's clean twin;
// what it cannot turn into a true record it leaves out, and an answer of
// the wrong shape fails naming the page.
//
// These pages stay out of the differential test: the exact reading runs
// its small scripts (paths, direct text, labels) in the page's own world,
// which these pages bend on purpose.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "browser.hpp"
#include "browser/page_harvester/exact_reads.hpp"
#include "browser/page_harvester/page_harvester.hpp"
#include "browser/page_harvester/scripts.hpp"

namespace plainstep {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::string hostile_url(const std::string& name) {
  return std::string("file://") + PLAINSTEP_FIXTURES + "/hostile/" + name;
}

std::string records(const std::pair<Elements, Elements>& r) {
  return to_json(r.first).dump(1) + "\n" + to_json(r.second).dump(1);
}

class Hostile : public testing::BrowserTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(Hostile, RecordsAreThoseOfTheCleanPage) {
  page->navigate(hostile_url(GetParam()) + "?clean");
  std::string clean = records(PageHarvester(page, Extraction::fast).extract_interactable_elements());
  page->navigate(hostile_url(GetParam()));
  std::string bent = records(PageHarvester(page, Extraction::fast).extract_interactable_elements());
  EXPECT_EQ(bent, clean);
  EXPECT_THAT(clean, HasSubstr("\"xpath\"")) << "the clean page gave records";
}

INSTANTIATE_TEST_SUITE_P(Pages, Hostile,
                         ::testing::Values("mootools.html", "json_stringify.html", "tag_name.html", "matches.html"),
                         [](const auto& info) {
                           std::string n = info.param;
                           return n.substr(0, n.find('.'));
                         });

class HostileChecks : public testing::BrowserTest {};

// Without this, the tests above could pass on pages that bend nothing.
TEST_F(HostileChecks, TheBentPagesReallyBendTheirOwnWorld) {
  page->navigate(hostile_url("json_stringify.html"));
  EXPECT_EQ(page->evaluate("() => JSON.stringify(['Delete everything'])"), "[\"Keep everything\"]");
  page->navigate(hostile_url("matches.html"));
  EXPECT_EQ(page->evaluate("() => document.documentElement.matches('button')"), true);
  page->navigate(hostile_url("tag_name.html"));
  EXPECT_EQ(page->evaluate("() => document.getElementById('alpha').tagName"), "DIV[2]/BUTTON");
}

TEST_F(HostileChecks, KeepEverythingIsNotRead) {
  page->navigate(hostile_url("json_stringify.html"));
  auto [els, texts] = PageHarvester(page, Extraction::fast).extract_interactable_elements();
  bool deletes = false;
  for (const auto& e : els) {
    EXPECT_NE(e->text, "Keep everything") << "a page's JSON.stringify renamed a button";
    deletes |= e->text == "Delete everything";
  }
  EXPECT_TRUE(deletes);
}

TEST_F(HostileChecks, AnOverriddenMatchesMakesNoRecordsOfHtmlAndBody) {
  page->navigate(hostile_url("matches.html"));
  auto [els, texts] = PageHarvester(page, Extraction::fast).extract_interactable_elements();
  for (const auto* list : {&els, &texts})
    for (const auto& e : *list) {
      EXPECT_NE(e->tag, "html");
      EXPECT_NE(e->tag, "body");
    }
  ASSERT_EQ(els.size(), 1u);
  EXPECT_EQ(els[0]->text, "one link");
}

class BothReaders : public testing::BrowserTest, public ::testing::WithParamInterface<Extraction> {};

// Half a surrogate pair in the page's text arrives as U+FFFD, on both
// readings, and the page is read in full.
TEST_P(BothReaders, LoneSurrogatesBecomeReplacementCharacters) {
  page->navigate(hostile_url("lone_surrogate.html"));
  auto [els, texts] = PageHarvester(page, GetParam()).extract_interactable_elements();
  bool price = false;
  for (const auto& t : texts) price |= t->text == "Price \uFFFD 12.50";
  EXPECT_TRUE(price);
  ElementRef buy, code;
  for (const auto& e : els) {
    if (e->attributes.get_or_empty("id") == "buy") buy = e;
    if (e->attributes.get_or_empty("id") == "code") code = e;
  }
  ASSERT_TRUE(buy && code);
  EXPECT_EQ(buy->text, "Buy \uFFFD");
  EXPECT_EQ(buy->attributes.get_or_empty("data-note"), "x\uFFFD");
  EXPECT_EQ(code->attributes.get_or_empty("_label"), "Code \uFFFD");
}

const std::regex valid_path(R"((/([a-z][a-z0-9._-]*(:[a-z][a-z0-9._-]*)?\[[1-9][0-9]*\]|#shadow-root|#document))+)");

// An element whose name no path step can hold gets no record, nor does
// anything inside it; its neighbours keep theirs.
TEST_P(BothReaders, NamesNoPathCanHoldMakeNoRecords) {
  page->navigate(hostile_url("bad_names.html"));
  auto [els, texts] = PageHarvester(page, GetParam()).extract_interactable_elements();
  std::vector<std::string> buttons;
  for (const auto* list : {&els, &texts})
    for (const auto& e : *list) {
      EXPECT_TRUE(std::regex_match(e->xpath, valid_path)) << e->xpath;
      EXPECT_NE(e->attributes.get_or_empty("data-testid"), "odd") << e->xpath;
      EXPECT_THAT(e->text, Not(HasSubstr("Inside"))) << e->xpath;
      EXPECT_THAT(e->text, Not(HasSubstr("upper-case"))) << e->xpath;
      EXPECT_THAT(e->text, Not(HasSubstr("odd text"))) << e->xpath;
      if (list == &els && e->tag == "button") buttons.push_back(e->text + " " + e->xpath);
    }
  EXPECT_THAT(buttons, ::testing::ElementsAre("First /html[1]/body[1]/div[1]/button[1]",
                                              "Last /html[1]/body[1]/div[1]/button[2]"));
}

// Prefixed names (<x:button>) are read like any other and found again by
// their path, though XPath would take the prefix for a namespace.
TEST_P(BothReaders, PrefixedNamesReadAndLocated) {
  page->navigate(hostile_url("prefixed.html"));
  auto [els, texts] = PageHarvester(page, GetParam()).extract_interactable_elements();
  std::string button_path;
  for (const auto& e : els)
    if (e->text == "Send") button_path = e->xpath;
  EXPECT_EQ(button_path, "/html[1]/body[1]/x:toolbar[1]/x:button[1]");
  bool note = false;
  for (const auto& e : texts) note = note || (e->tag == "x:note" && e->text == "Drafts are kept for a week");
  EXPECT_TRUE(note);
  ASSERT_FALSE(button_path.empty());
  auto handle = page->locate_path(button_path);
  ASSERT_TRUE(handle);
  handle->click();
  EXPECT_EQ(page->evaluate("() => document.getElementById('out').textContent"), "Sent");
}

INSTANTIATE_TEST_SUITE_P(Paths, BothReaders, ::testing::Values(Extraction::exact, Extraction::fast),
                         [](const auto& info) { return info.param == Extraction::exact ? "exact" : "fast"; });

// The gathering run in the page's own world (as on a browser without
// isolated worlds) on a page whose arrays turn into strings: the answer's
// shape is wrong, and the error says so and names the page.
TEST_F(HostileChecks, ABentAnswerFailsNamingThePage) {
  page->navigate(hostile_url("mootools.html"));
  std::vector<std::string> groups = {INTERACTABLE_SELECTOR, TEXT_CANDIDATE_SELECTOR};
  json answer = page->evaluate(_GATHER_JS, harvest::gathering_argument(groups, true));
  try {
    harvest::fast_reads_from(answer, groups, true, page->url());
    FAIL() << "a bent answer was read";
  } catch (const harvest::AnswerError& e) {
    EXPECT_THAT(e.what(), HasSubstr("the page at " + hostile_url("mootools.html") + " gave an extraction answer that"));
    EXPECT_THAT(e.what(), Not(HasSubstr("json.exception")));
  }
}

}  // namespace
}  // namespace plainstep
