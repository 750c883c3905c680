#pragma once
// One driver and one headless chromium for the whole test binary; each test
// takes a fresh page.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "driver/pw.hpp"
#include "driver/process_watch.hpp"

namespace plainstep::testing {

class BrowserEnv : public ::testing::Environment {
 public:
  void SetUp() override {
    playwright = pw::sync_playwright().start();
    browser = playwright->chromium()->launch({});
  }
  void TearDown() override {
    if (playwright) playwright->stop();
    browser.reset();
    playwright.reset();
  }
  static inline std::shared_ptr<pw::Playwright> playwright;
  static inline std::shared_ptr<pw::Browser> browser;
};

// A test with its own page (800x600) on the shared browser.
class PageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(BrowserEnv::browser) << "the browser did not start";
    page = BrowserEnv::browser->new_page({pw::Viewport{800, 600}, false});
  }
  void TearDown() override {
    if (page) page->close();
  }
  void open(const std::string& fixture) { page->navigate(fixture_url(fixture)); }
  std::shared_ptr<pw::ElementHandle> one(const std::string& selector) {
    auto h = page->query_selector(selector);
    if (!h) ADD_FAILURE() << "no element matches " << selector;
    return h;
  }
  std::shared_ptr<pw::Page> page;
};

}  // namespace plainstep::testing
