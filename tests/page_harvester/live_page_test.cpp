// A page that changes while it is read: elements removed after the query,
// a navigation mid-run. Extraction drops what it cannot read and goes on.
#include <gtest/gtest.h>

#include "browser.hpp"
#include "browser/page_harvester/exact_reads.hpp"
#include "browser/page_harvester/page_harvester.hpp"
#include "browser/page_harvester/rules.hpp"

namespace plainstep {
namespace {

using namespace harvest;

// The real exact reader; after each element query it runs `change` in the
// page, so the change falls between the query and the inspection.
class ChangingPage : public PageReads {
 public:
  ChangingPage(std::shared_ptr<pw::Page> page, std::string change)
      : page_(page), inner_(exact_reads(page)), change_(std::move(change)) {}
  ElementList query_all(const std::string& selector) override {
    auto list = inner_->query_all(selector);
    if (!change_.empty()) page_->evaluate(std::exchange(change_, ""));
    return list;
  }
  std::optional<std::string> text_of_id(const std::string& id) override { return inner_->text_of_id(id); }
  std::optional<std::string> text_of_label_for(const std::string& id) override {
    return inner_->text_of_label_for(id);
  }
  json pointer_items() override { return inner_->pointer_items(); }
  std::string url() override { return inner_->url(); }

 private:
  std::shared_ptr<pw::Page> page_;
  std::unique_ptr<PageReads> inner_;
  std::string change_;
};

class LivePage : public testing::BrowserTest {};

TEST_F(LivePage, RemovedElementsAreMissingTheRestStays) {
  open("moving.html");
  ChangingPage reads(page, "() => { for (let i = 10; i <= 12; i++) document.getElementById('b' + i).remove(); }");
  Elements els;
  ASSERT_NO_THROW(els = native_elements(reads));
  // The batched reads may have answered before the removal: either way no
  // element is lost after the removed ones.
  ASSERT_TRUE(els.size() == 27u || els.size() == 30u) << els.size();
  EXPECT_EQ(els.back()->attributes.get_or_empty("id"), "b30");
  // Reads made after the removal (the field labels) fail quietly too.
  for (const auto& e : reads.query_all("button")) EXPECT_NO_THROW(field_label(reads, *e));
}

TEST_F(LivePage, NavigationMidRunDoesNotFailTheExtraction) {
  open("moving.html");
  ChangingPage reads(page, "() => { setTimeout(() => { location.href = 'text.html'; }, 0); }");
  EXPECT_NO_THROW({
    native_elements(reads);
    text_candidates(reads);
  });
  page->wait_for_timeout(300);
  // The fast reader meets a navigation that starts just before it.
  page->evaluate("() => { setTimeout(() => { location.href = 'moving.html'; }, 0); }");
  std::pair<Elements, Elements> got;
  EXPECT_NO_THROW(got = PageHarvester(page, Extraction::fast).extract_interactable_elements());
}

TEST_F(LivePage, ExtractionReleasesItsHandles) {
  open("labels.html");
  auto connection = page->main_frame();  // keeps the page's objects reachable
  auto count = [&] { return testing::Browser::instance->connection()->objects_of("ElementHandle").size(); };
  size_t before = count();
  PageHarvester(page, Extraction::exact).extract_interactable_elements();
  PageHarvester(page, Extraction::exact).extract_interactable_elements();
  EXPECT_EQ(count(), before);
}

}  // namespace
}  // namespace plainstep
