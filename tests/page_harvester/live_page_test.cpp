// A page that changes while it is read: elements removed after the query,
// a navigation mid-run. Extraction drops what it cannot read and goes on.
#include <gtest/gtest.h>

#include <functional>

#include "browser.hpp"
#include "browser/page_harvester/exact_reads.hpp"
#include "browser/page_harvester/page_harvester.hpp"
#include "browser/page_harvester/rules.hpp"

namespace plainstep {
namespace {

using namespace harvest;

// The real exact reader, except that the first query runs `change` between
// finding the elements and reading them, so every read meets the changed
// page.
class ChangingPage : public PageReads {
 public:
  ChangingPage(std::shared_ptr<pw::Page> page, std::function<void()> change)
      : page_(page), inner_(exact_reads(page)), change_(std::move(change)) {}
  ElementList query_all(const std::string& selector) override {
    if (!change_) return inner_->query_all(selector);
    auto handles = page_->query_selector_all(selector);
    std::exchange(change_, nullptr)();
    ElementList out;
    for (auto& h : handles) out.push_back(exact_element(std::move(h), true));
    return out;
  }
  std::vector<PointerItem> pointer_items() override { return inner_->pointer_items(); }
  std::string url() override { return inner_->url(); }

 private:
  std::shared_ptr<pw::Page> page_;
  std::unique_ptr<PageReads> inner_;
  std::function<void()> change_;
};

std::vector<std::string> ids_of(const Elements& els) {
  std::vector<std::string> out;
  for (const auto& e : els) out.push_back(e->attributes.get_or_empty("id"));
  return out;
}

class LivePage : public testing::BrowserTest {};

TEST_F(LivePage, RemovedElementsAreMissingTheRestStays) {
  open("moving.html");
  ChangingPage reads(page, [&] {
    page->evaluate("() => { for (let i = 10; i <= 12; i++) document.getElementById('b' + i).remove(); }");
  });
  Elements els;
  ASSERT_NO_THROW(els = native_elements(reads));
  std::vector<std::string> want;
  for (int i = 1; i <= 30; ++i)
    if (i < 10 || i > 12) want.push_back("b" + std::to_string(i));
  EXPECT_EQ(ids_of(els), want);
}

TEST_F(LivePage, RemovedTextIsMissingTheRestStays) {
  open("text.html");
  ChangingPage reads(page, [&] { page->evaluate("() => document.getElementById('total').remove()"); });
  Elements texts;
  ASSERT_NO_THROW(texts = text_candidates(reads));
  for (const auto& t : texts) EXPECT_NE(t->attributes.get_or_empty("id"), "total");
  EXPECT_EQ(texts.back()->text, "Caf\u00e9");
}

// The elements found belong to a document that is gone by the time they
// are read: each read fails, each element is dropped, and the next group
// is read from the new page.
TEST_F(LivePage, ElementsOfADocumentNavigatedAwayAreDropped) {
  open("moving.html");
  ChangingPage reads(page, [&] { page->navigate(testing::fixture_url("text.html")); });
  Elements els, texts;
  ASSERT_NO_THROW(els = native_elements(reads));
  EXPECT_TRUE(els.empty()) << els.size() << " elements read from a document that was gone";
  ASSERT_NO_THROW(texts = text_candidates(reads));
  std::vector<std::string> got;
  for (const auto& t : texts) got.push_back(t->text);
  EXPECT_NE(std::find(got.begin(), got.end(), "Top link"), got.end());
  EXPECT_EQ(std::find(got.begin(), got.end(), "Button 1"), got.end());
}

class NavigationMidRun : public testing::BrowserTest, public ::testing::WithParamInterface<Extraction> {};

// The page leaves while the extraction runs; where the navigation lands
// depends on timing, so the run must hold whichever document it meets.
TEST_P(NavigationMidRun, DoesNotFailTheExtraction) {
  for (const char* to : {"text.html", "moving.html"}) {
    open("moving.html");
    page->evaluate(std::string("() => { setTimeout(() => { location.href = '") + to + "'; }, 0); }");
    std::pair<Elements, Elements> got;
    EXPECT_NO_THROW(got = PageHarvester(page, GetParam()).extract_interactable_elements()) << "to " << to;
    ASSERT_TRUE(testing::wait_for(*page, std::string("location.href.endsWith('") + to +
                                             "') && document.readyState === 'complete'"))
        << "the page never reached " << to;
    // Whatever it met, a later extraction reads the new page in full.
    auto settled = PageHarvester(page, GetParam()).extract_interactable_elements();
    EXPECT_FALSE(settled.second.empty()) << to;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, NavigationMidRun, ::testing::Values(Extraction::exact, Extraction::fast),
                         [](const auto& info) { return info.param == Extraction::exact ? "exact" : "fast"; });

TEST_F(LivePage, ExtractionReleasesItsHandles) {
  open("labels.html");
  auto connection = page->main_frame();  // keeps the page's objects reachable
  auto count = [&] { return testing::Browser::instance->connection()->objects_of("ElementHandle").size(); };
  size_t before = count();
  PageHarvester(page, Extraction::exact).extract_interactable_elements();
  PageHarvester(page, Extraction::exact).extract_interactable_elements();
  EXPECT_EQ(count(), before);
}

// Frame elements looked into, and the elements inside frames, are
// released too; so are those the frame report looked at.
TEST_F(LivePage, FramesLeaveNoHandlesBehind) {
  open("shadow_frames.html");
  auto count = [&] { return testing::Browser::instance->connection()->objects_of("ElementHandle").size(); };
  size_t before = count();
  auto [els, texts] = PageHarvester(page, Extraction::exact).extract_interactable_elements();
  EXPECT_FALSE(els.empty());
  EXPECT_EQ(PageHarvester(page).unreadable_frames().size(), 1u);
  EXPECT_EQ(count(), before);
}

}  // namespace
}  // namespace plainstep
