// Hundreds of calls in flight at once, each answered on its own.
#include <gtest/gtest.h>

#include <chrono>

#include "driver/browser_env.hpp"

namespace plainstep::testing {
namespace {

using pw::json;

TEST_F(PageTest, ABatchAnswersEveryCallWithItsOwnResult) {
  open("basic.html");
  auto items = page->query_selector_all("#list li");
  ASSERT_EQ(items.size(), 150u);
  pw::Batch batch(*page);
  std::vector<pw::Pending<std::string>> texts;
  std::vector<pw::Pending<std::optional<std::string>>> indexes, missing;
  std::vector<pw::Pending<std::optional<pw::Rect>>> boxes;
  std::vector<pw::Pending<json>> squares;
  for (auto& item : items) {
    texts.push_back(batch.inner_text(*item));
    indexes.push_back(batch.get_attribute(*item, "data-index"));
    missing.push_back(batch.get_attribute(*item, "data-none"));
    boxes.push_back(batch.bounding_box(*item));
    squares.push_back(batch.evaluate(*item, "(el, k) => Number(el.dataset.index) * k", 2));
  }
  auto failing = batch.evaluate(*page, "() => { throw new Error('only this call fails'); }");
  auto visible = batch.is_visible(*items[0]);
  auto enabled = batch.is_enabled(*items[0]);
  auto title = batch.evaluate(*page, "document.title");
  ASSERT_EQ(batch.size(), 5 * items.size() + 4);

  auto started = std::chrono::steady_clock::now();
  batch.wait();
  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
  std::cout << "[ batch    ] " << batch.size() << " calls answered in " << took.count() << " ms\n";

  double last_y = -1;
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(texts[i].get(), "Item " + std::to_string(i));
    EXPECT_EQ(indexes[i].get(), std::optional<std::string>(std::to_string(i)));
    EXPECT_EQ(missing[i].get(), std::nullopt);
    EXPECT_EQ(squares[i].get(), json(2 * i));
    auto box = boxes[i].get();
    ASSERT_TRUE(box);
    EXPECT_GT(box->y, last_y) << "list items go down the page";
    last_y = box->y;
  }
  try {
    failing.get();
    FAIL() << "the throwing call succeeded";
  } catch (const pw::Error& e) {
    EXPECT_NE(std::string(e.what()).find("only this call fails"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(visible.get());
  EXPECT_TRUE(enabled.get());
  EXPECT_EQ(title.get(), "Session basics");
}

TEST_F(PageTest, APendingAnswerCanBeTakenBeforeTheBatchIsWaitedFor) {
  open("basic.html");
  pw::Batch batch(*page);
  auto first = batch.evaluate(*page, "1 + 1");
  auto second = batch.evaluate(*page, "2 + 2");
  EXPECT_EQ(first.get(), 2);
  batch.wait();
  EXPECT_TRUE(second.ready());
  EXPECT_EQ(second.get(), 4);
}

TEST_F(PageTest, HandlesOfANavigatedPageFailPerCall) {
  open("basic.html");
  auto stale = page->query_selector("#title");
  open("dialogs.html");
  pw::Batch batch(*page);
  auto old_text = batch.inner_text(*stale);
  auto fresh = batch.evaluate(*page, "document.title");
  batch.wait();
  EXPECT_THROW(old_text.get(), pw::Error);
  EXPECT_EQ(fresh.get(), "Dialogs");
}

}  // namespace
}  // namespace plainstep::testing
