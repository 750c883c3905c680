// The driver's processes: started, stopped, killed, or never answering.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "driver/process_watch.hpp"
#include "driver/pw.hpp"

namespace plainstep::testing {
namespace {

using ::testing::HasSubstr;
using Clock = std::chrono::steady_clock;

std::string fixtures_dir() { return std::string(PLAINSTEP_FIXTURES) + "/session"; }

// A driver with a browser and a page open; returns node's process tree.
std::vector<ProcessId> open_browser(pw::Playwright& playwright, std::shared_ptr<pw::Page>& page) {
  auto browser = playwright.chromium()->launch({});
  page = browser->new_page();
  page->navigate(fixture_url("basic.html"));
  return process_tree(playwright.connection()->pid());
}

bool has_browser(const std::vector<ProcessId>& tree) { return tree.size() >= 3; }  // node, chromium, its helpers

TEST(DriverProcesses, StopLeavesNothingRunning) {
  auto playwright = pw::sync_playwright().start();
  std::shared_ptr<pw::Page> page;
  auto tree = open_browser(*playwright, page);
  ASSERT_TRUE(has_browser(tree)) << "expected node and chromium below it, found " << tree.size();
  playwright->stop();
  EXPECT_TRUE(survivors(tree, std::chrono::milliseconds(0)).empty()) << "stop() returned before they ended";
  EXPECT_THROW(page->evaluate("1"), pw::ConnectionError);
  playwright->stop();  // again: nothing to do
}

TEST(DriverProcesses, DroppingThePlaywrightStopsIt) {
  std::vector<ProcessId> tree;
  {
    auto playwright = pw::sync_playwright().start();
    std::shared_ptr<pw::Page> page;
    tree = open_browser(*playwright, page);
  }
  EXPECT_TRUE(survivors(tree, std::chrono::milliseconds(0)).empty());
}

TEST(DriverProcesses, ADriverKilledMidCallFailsThatCallAndLeavesNoBrowser) {
  auto playwright = pw::sync_playwright().start();
  std::shared_ptr<pw::Page> page;
  auto tree = open_browser(*playwright, page);
  pid_t node = playwright->connection()->pid();
  std::thread killer([node] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(node, SIGKILL);
  });
  auto started = Clock::now();
  try {
    page->evaluate("() => new Promise(r => setTimeout(r, 20000))");
    ADD_FAILURE() << "the call outlived its driver";
  } catch (const pw::ConnectionError& e) {
    EXPECT_THAT(e.what(), HasSubstr("Frame.evaluateExpression failed"));
    EXPECT_THAT(e.what(), HasSubstr("killed by signal 9"));
  }
  killer.join();
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
  // Later calls fail at once, without SIGPIPE ending the test process.
  EXPECT_THROW(page->query_selector("h1"), pw::ConnectionError);
  EXPECT_TRUE(survivors(tree, std::chrono::milliseconds(0)).empty()) << "chromium outlived its killed driver";
  playwright->stop();
}

TEST(DriverProcesses, ADriverThatExitsAtStartSaysWhy) {
  pw::DriverLocation where = pw::locate_driver();
  where.playwright_dir = fixtures_dir() + "/exiting_driver";
  try {
    pw::PlaywrightStarter(where).start();
    FAIL() << "started a driver that exits";
  } catch (const pw::ConnectionError& e) {
    EXPECT_THAT(e.what(), HasSubstr("exited with status 3"));
    EXPECT_THAT(e.what(), HasSubstr("cannot start, giving up"));
  }
}

TEST(DriverProcesses, ADriverThatNeverAnswersFailsAfterTheBound) {
  pw::DriverLocation where = pw::locate_driver();
  where.playwright_dir = fixtures_dir() + "/silent_driver";
  setenv("PLAINSTEP_DRIVER_TIMEOUT", "1", 1);
  auto started = Clock::now();
  try {
    pw::PlaywrightStarter(where).start();
    ADD_FAILURE() << "started a driver that never answers";
  } catch (const pw::ConnectionError& e) {
    EXPECT_THAT(e.what(), HasSubstr("gave no answer to Root.initialize"));
  }
  unsetenv("PLAINSTEP_DRIVER_TIMEOUT");
  auto took = Clock::now() - started;
  EXPECT_GE(took, std::chrono::milliseconds(900));
  EXPECT_LT(took, std::chrono::seconds(10));
}

struct BadPlace {
  const char* variable;
  const char* value;
  const char* says;
};

class MisplacedDriver : public ::testing::TestWithParam<BadPlace> {};

TEST_P(MisplacedDriver, NamesWhatIsMissing) {
  auto row = GetParam();
  setenv(row.variable, row.value, 1);
  try {
    pw::sync_playwright().start();
    ADD_FAILURE() << "started with " << row.variable << "=" << row.value;
  } catch (const pw::ConnectionError& e) {
    EXPECT_THAT(e.what(), HasSubstr(row.says));
    EXPECT_THAT(e.what(), HasSubstr(row.value));
  }
  unsetenv(row.variable);
}

INSTANTIATE_TEST_SUITE_P(Variables, MisplacedDriver,
                         ::testing::Values(BadPlace{"PLAINSTEP_NODE", "/no/such/node", "PLAINSTEP_NODE"},
                                           BadPlace{"PLAINSTEP_PLAYWRIGHT_DIR", "/no/such/dir", "playwright-core"}));

TEST(DriverProcesses, BrowserTypesAreTheDriversOwn) {
  auto playwright = pw::sync_playwright().start();
  for (const char* name : {"chromium", "firefox", "webkit"}) {
    auto type = playwright->browser_type(name);
    ASSERT_TRUE(type) << name;
    EXPECT_EQ(type->name(), name);
  }
  EXPECT_EQ(playwright->browser_type("Chromium"), nullptr);
  EXPECT_EQ(playwright->browser_type("safari"), nullptr);
  EXPECT_EQ(playwright->browser_type(""), nullptr);
  try {
    playwright->webkit()->launch({});
    // Playwright's WebKit build is installed here: nothing to check.
  } catch (const pw::Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("webkit"));
  }
  auto tree = process_tree(playwright->connection()->pid());
  playwright->stop();
  EXPECT_TRUE(survivors(tree, std::chrono::milliseconds(0)).empty());
}

}  // namespace
}  // namespace plainstep::testing
