// The browser session: open, the page, dialogs, close, configuration.
#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "browser/session_keeper/session_keeper.hpp"
#include "config.hpp"
#include "driver/element_handle.hpp"
#include "driver/fixture_server.hpp"
#include "driver/process_watch.hpp"

namespace plainstep {
namespace {

using ::testing::HasSubstr;
using testing::fixture_url;
using testing::process_tree;
using testing::survivors;

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config::BROWSER = "chromium";
    config::HEADLESS = true;
    config::MAXIMIZED = false;
    config::VIEWPORT_WIDTH = 1280;
    config::VIEWPORT_HEIGHT = 720;
  }
  // Lets the driver deliver events until a dialog is pending (two seconds).
  std::shared_ptr<pw::Dialog> wait_for_dialog(const std::string& message) {
    for (int i = 0; i < 100; ++i) {
      auto d = session.get_dialog();
      if (d && d->message() == message) return d;
      session.get_page()->wait_for_timeout(20);
    }
    return nullptr;
  }
  std::vector<testing::ProcessId> processes() {
    return session.playwright() ? process_tree(session.playwright()->connection()->pid())
                                : std::vector<testing::ProcessId>{};
  }
  SessionKeeper session;
};

void expect_no_page(const SessionKeeper& s) {
  try {
    s.get_page();
    FAIL() << "get_page() returned a page";
  } catch (const std::invalid_argument&) {
    FAIL() << "a value error, not a runtime error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "No page open \u2014 call open(url) first.");
  }
}

TEST_F(SessionTest, GetPageNeedsAnOpenSession) {
  expect_no_page(session);
  EXPECT_EQ(session.get_dialog(), nullptr);
  session.close();  // closing a closed session does nothing
  expect_no_page(session);
}

TEST_F(SessionTest, OpenLoadsTheAddressUpToItsLoadEventAndCloseEndsEverything) {
  testing::FixtureServer server;
  session.open(server.url("load.html"));
  auto page = session.get_page();
  EXPECT_EQ(page->url(), server.url("load.html"));
  EXPECT_EQ(page->evaluate("window.loadFired"), true);
  EXPECT_EQ(page->evaluate("[innerWidth, innerHeight]"), pw::json({1280, 720}));
  auto tree = processes();
  ASSERT_GE(tree.size(), 3u) << "node, chromium and its helpers";
  session.close();
  expect_no_page(session);
  EXPECT_EQ(session.playwright(), nullptr);
  EXPECT_TRUE(survivors(tree, std::chrono::milliseconds(0)).empty());
}

TEST_F(SessionTest, ViewportComesFromConfigurationUnlessMaximized) {
  config::VIEWPORT_WIDTH = 641;
  config::VIEWPORT_HEIGHT = 427;
  session.open(fixture_url("basic.html"));
  EXPECT_EQ(session.get_page()->evaluate("[innerWidth, innerHeight]"), pw::json({641, 427}));
  EXPECT_EQ(session.get_page()->viewport_size()->width, 641);

  config::MAXIMIZED = true;
  session.open(fixture_url("basic.html"));
  auto page = session.get_page();
  EXPECT_FALSE(page->viewport_size()) << "a maximised page has no fixed viewport";
  EXPECT_NE(page->evaluate("innerWidth"), 641);
  EXPECT_NE(page->evaluate("innerHeight"), 427);
}

TEST_F(SessionTest, TwoDialogsInARowLeaveTheSecondPending) {
  session.open(fixture_url("dialogs.html"));
  session.get_page()->evaluate("openTwo()");
  auto first = wait_for_dialog("first");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->type(), "alert");
  EXPECT_FALSE(first->is_handled()) << "the session only records dialogs";
  first->accept();
  auto second = wait_for_dialog("second");
  ASSERT_TRUE(second) << "the second dialog did not replace the first";
  EXPECT_EQ(session.get_dialog(), second);
  EXPECT_EQ(second->type(), "prompt");
  EXPECT_EQ(second->default_value(), "suggested");
  // Clearing forgets the answered first dialog only: the second, opened
  // while the first was being answered, is never dropped unseen.
  session.clear_dialog();
  EXPECT_EQ(session.get_dialog(), second);
  second->accept("typed");
  session.clear_dialog();
  EXPECT_EQ(session.get_dialog(), nullptr);
  EXPECT_EQ(session.get_page()->evaluate("window.answers"), pw::json({"typed"}));
}

TEST_F(SessionTest, APendingDialogOutlivesClose) {
  session.open(fixture_url("dialogs.html"));
  session.get_page()->evaluate("openConfirm('Leave?')");
  auto pending = wait_for_dialog("Leave?");
  ASSERT_TRUE(pending);
  session.close();  // the page is blocked on the dialog: close must not hang
  EXPECT_EQ(session.get_dialog(), pending);
  EXPECT_EQ(session.get_dialog()->message(), "Leave?");
  EXPECT_EQ(session.get_dialog()->type(), "confirm");
}

TEST_F(SessionTest, OpeningAgainClosesTheEarlierBrowserAndDriver) {
  session.open(fixture_url("basic.html"));
  auto first = processes();
  ASSERT_FALSE(first.empty());
  session.open(fixture_url("dialogs.html"));
  EXPECT_TRUE(survivors(first, std::chrono::milliseconds(0)).empty()) << "the first session was left running";
  EXPECT_EQ(session.get_page()->url(), fixture_url("dialogs.html"));
}

TEST_F(SessionTest, SafariMeansWebkitAndOtherNamesFallBackToChromium) {
  config::BROWSER = "safari";
  try {
    session.open(fixture_url("basic.html"));
    // Playwright's WebKit build is installed here: it must then be WebKit.
    EXPECT_THAT(session.get_page()->evaluate("navigator.userAgent").get<std::string>(), HasSubstr("AppleWebKit"));
    EXPECT_THAT(session.get_page()->evaluate("navigator.userAgent").get<std::string>(),
                ::testing::Not(HasSubstr("Chrome")));
  } catch (const pw::Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("webkit"));
    EXPECT_NE(session.playwright(), nullptr) << "the driver started before the failure stays held";
    expect_no_page(session);
  }
  auto tree = processes();
  session.close();
  EXPECT_TRUE(survivors(tree, std::chrono::milliseconds(0)).empty());

  for (const char* name : {"Safari", "netscape", ""}) {
    SCOPED_TRACE(name);
    config::BROWSER = name;
    session.open(fixture_url("basic.html"));
    EXPECT_THAT(session.get_page()->evaluate("navigator.userAgent").get<std::string>(), HasSubstr("Chrome"));
  }
}

TEST_F(SessionTest, NavigationFailureKeepsTheSessionClosable) {
  try {
    session.open(fixture_url("missing.html"));
    FAIL() << "opened a missing page";
  } catch (const pw::Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("net::ERR_FILE_NOT_FOUND"));
  }
  EXPECT_NO_THROW(session.get_page()) << "the page was opened before the navigation failed";
  auto tree = processes();
  session.close();
  EXPECT_TRUE(survivors(tree, std::chrono::milliseconds(0)).empty());
}

// One browser serves file after file: each context starts with no cookies
// or storage of the one before, on the same browser process.
TEST_F(SessionTest, ContextsOnOneBrowserShareNothing) {
  testing::FixtureServer server;
  session.open_context(server.url("basic.html"));
  auto browser = session.browser();
  auto first = session.get_page();
  first->evaluate("localStorage.setItem('k', 'v'); document.cookie = 'c=1'; 0");
  ASSERT_EQ(first->evaluate("localStorage.getItem('k')"), "v");
  auto tree = processes();
  session.open_context(server.url("basic.html"));
  EXPECT_EQ(session.browser(), browser) << "the browser was launched again";
  EXPECT_TRUE(first->is_closed()) << "the context before was left open";
  EXPECT_EQ(session.get_page()->evaluate("localStorage.getItem('k')"), nullptr);
  EXPECT_EQ(session.get_page()->evaluate("document.cookie"), "");
  ASSERT_GE(tree.size(), 2u);
  EXPECT_TRUE(testing::running(tree[1])) << "the browser's own process (node's child) ended between contexts";
  session.close_context();
  expect_no_page(session);
  EXPECT_TRUE(session.browser_alive());
}

TEST_F(SessionTest, ABrowserThatDiedIsLaunchedAgain) {
  session.open_context(fixture_url("basic.html"));
  auto browser = session.browser();
  // the browser's own process: the child of node that is not one of its helpers
  auto tree = processes();
  ASSERT_GE(tree.size(), 2u);
  kill(tree[1].pid, SIGKILL);
  EXPECT_ANY_THROW(session.get_page()->evaluate("1"));
  EXPECT_FALSE(session.browser_alive());
  session.open_context(fixture_url("dialogs.html"));
  EXPECT_NE(session.browser(), browser);
  EXPECT_TRUE(session.browser_alive());
  EXPECT_EQ(session.get_page()->url(), fixture_url("dialogs.html"));
  EXPECT_TRUE(survivors(tree).empty()) << "the dead browser's driver or helpers were left running";
}

TEST_F(SessionTest, DestroyingAnOpenSessionEndsItsProcesses) {
  std::vector<testing::ProcessId> tree;
  {
    SessionKeeper other;
    other.open(fixture_url("basic.html"));
    tree = process_tree(other.playwright()->connection()->pid());
  }
  EXPECT_FALSE(tree.empty());
  EXPECT_TRUE(survivors(tree, std::chrono::milliseconds(0)).empty());
}

}  // namespace
}  // namespace plainstep
