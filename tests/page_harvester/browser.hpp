#pragma once
// One headless Chromium per test binary, shared by its tests; each test
// opens fixture pages in it through the real driver.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "driver/pw.hpp"

namespace plainstep::testing {

class Browser : public ::testing::Environment {
 public:
  void SetUp() override {
    playwright_ = pw::sync_playwright().start();
    browser_ = playwright_->chromium()->launch({});
  }
  void TearDown() override {
    browser_.reset();
    if (playwright_) playwright_->stop();
    playwright_.reset();
  }
  static Browser* instance;
  const std::shared_ptr<pw::Connection>& connection() const { return playwright_->connection(); }
  std::shared_ptr<pw::Page> new_page() {
    pw::NewPageOptions options;
    options.viewport = pw::Viewport{1280, 720};
    return browser_->new_page(options);
  }

 private:
  std::shared_ptr<pw::Playwright> playwright_;
  std::shared_ptr<pw::Browser> browser_;
};

inline std::string fixture_url(const std::string& name) {
  return std::string("file://") + PLAINSTEP_FIXTURES + "/harvest/" + name;
}

inline std::string demo_url(const std::string& name) {
  return std::string("file://") + PLAINSTEP_SOURCE_DIR + "/examples/site/" + name;
}

// Waits until the JavaScript expression holds in the page, polling, across
// navigations (a call refused mid-navigation counts as "not yet"); false
// when the deadline passes. Pages are waited for, never slept on.
inline bool wait_for(pw::Page& page, const std::string& condition, double timeout_ms = 20000) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long>(timeout_ms));
  while (true) {
    try {
      if (page.evaluate("() => !!(" + condition + ")").get<bool>()) return true;
    } catch (const pw::ConnectionError&) {
      throw;
    } catch (const pw::Error&) {
    }
    if (std::chrono::steady_clock::now() > deadline) return false;
    page.wait_for_timeout(50);
  }
}

// A fresh page per test, closed afterwards.
class BrowserTest : public ::testing::Test {
 protected:
  void SetUp() override { page = Browser::instance->new_page(); }
  void TearDown() override {
    if (page && !page->is_closed()) page->close();
  }
  void open(const std::string& fixture) { page->navigate(fixture_url(fixture)); }
  std::shared_ptr<pw::Page> page;
};

}  // namespace plainstep::testing
