// Traces of a browser context and the requests its pages make.
#include <gtest/gtest.h>

#include <algorithm>

#include "driver/browser_env.hpp"
#include "support/zip_names.hpp"

namespace plainstep::testing {
namespace {

bool has_entry(const std::vector<std::string>& names, const std::string& prefix, const std::string& suffix) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& n) {
    return n.starts_with(prefix) && n.ends_with(suffix);
  });
}

TEST_F(PageTest, ATraceHoldsTheCallsTheirSnapshotsAndScreencastFrames) {
  auto tracing = page->context()->tracing();
  tracing->start({true, true, "a traced page"});
  tracing->group("click Go", std::string(PLAINSTEP_FIXTURES) + "/session/go.steps", 3);
  open("basic.html");
  one("#go")->click();
  page->wait_for_timeout(300);  // room for a screencast frame
  tracing->group_end();
  auto zip = tracing->stop();
  ASSERT_TRUE(zip);
  ASSERT_GT(zip->size(), 100u);
  EXPECT_EQ(zip->substr(0, 2), "PK");
  auto names = zip_entry_names(*zip);
  EXPECT_TRUE(has_entry(names, "trace.trace", "")) << ::testing::PrintToString(names);
  EXPECT_TRUE(has_entry(names, "trace.network", ""));
  EXPECT_TRUE(has_entry(names, "screencast/", ".jpeg")) << ::testing::PrintToString(names);
  EXPECT_TRUE(has_entry(names, "resources/", "")) << "no DOM snapshot resources";
}

TEST_F(PageTest, ATraceDroppedLeavesNothingAndTracingCanStartAgain) {
  auto tracing = page->context()->tracing();
  tracing->start();
  open("basic.html");
  EXPECT_FALSE(tracing->stop(false));
  tracing->start({false, false, std::nullopt});
  one("#go")->click();
  auto zip = tracing->stop();
  ASSERT_TRUE(zip);
  auto names = zip_entry_names(*zip);
  EXPECT_TRUE(has_entry(names, "trace.trace", ""));
  EXPECT_FALSE(has_entry(names, "screencast/", "")) << "screencast frames were not asked for";
}

TEST_F(PageTest, RequestsOfTheContextArePassedOnUntilTheHandlerGoes) {
  std::vector<std::string> seen;
  auto context = page->context();
  context->on_request([&](const std::string& url) { seen.push_back(url); });
  open("basic.html");
  EXPECT_NE(std::find(seen.begin(), seen.end(), fixture_url("basic.html")), seen.end())
      << ::testing::PrintToString(seen);
  context->on_request(nullptr);
  size_t before = seen.size();
  open("dialogs.html");
  EXPECT_EQ(seen.size(), before) << ::testing::PrintToString(seen);
}

}  // namespace
}  // namespace plainstep::testing
