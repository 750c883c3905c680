// Page and element calls on fixture pages.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "driver/browser_env.hpp"
#include "driver/fixture_server.hpp"
#include "support/png_size.hpp"

namespace plainstep::testing {
namespace {

using ::testing::HasSubstr;

TEST_F(PageTest, NavigateWaitsForTheRequestedEvent) {
  FixtureServer server;
  page->navigate(server.url("load.html"), "domcontentloaded");
  EXPECT_EQ(page->evaluate("window.loadFired"), false) << "the fixture no longer holds its load event back";
  page->navigate(server.url("load.html"));
  EXPECT_EQ(page->evaluate("window.loadFired"), true);
  EXPECT_EQ(page->url(), server.url("load.html"));
  EXPECT_EQ(page->title(), "Load order");
  page->navigate("about:blank");  // before the server goes
}

TEST_F(PageTest, UrlFollowsNavigationAndHistory) {
  open("basic.html");
  open("dialogs.html");
  EXPECT_EQ(page->url(), fixture_url("dialogs.html"));
  page->go_back();
  EXPECT_EQ(page->url(), fixture_url("basic.html"));
  page->evaluate("() => { window.marker = 1; }");
  page->reload();
  EXPECT_EQ(page->evaluate("typeof window.marker"), "undefined");
}

TEST_F(PageTest, NavigationErrorsComeThroughUnchanged) {
  try {
    page->navigate(fixture_url("no-such-page.html"));
    FAIL() << "navigating to a missing file succeeded";
  } catch (const pw::Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("net::ERR_FILE_NOT_FOUND"));
  }
  EXPECT_THROW(page->navigate(fixture_url("basic.html"), "eventually"), pw::Error);
}

struct ElementRow {
  const char* selector;
  bool visible, enabled;
  const char* text;
};

constexpr ElementRow _ELEMENT_ROWS[] = {
    {"#title", true, true, "Welcome, Ada"},
    {"#hidden", false, true, "Not shown"},  // innerText of an unrendered element is its text
    {"#off", true, false, "Off"},
    {"#locked", true, false, ""},
    {"#go", true, true, "Go"},
};

TEST_F(PageTest, ReadsVisibilityEnablementTextAndBox) {
  open("basic.html");
  for (const auto& row : _ELEMENT_ROWS) {
    SCOPED_TRACE(row.selector);
    auto h = one(row.selector);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->is_visible(), row.visible);
    EXPECT_EQ(h->is_enabled(), row.enabled);
    EXPECT_EQ(h->inner_text(), row.text);
    EXPECT_EQ(h->bounding_box().has_value(), row.visible);
  }
}

TEST_F(PageTest, AttributesKeepAbsentApartFromEmpty) {
  open("basic.html");
  auto h = one("#title");
  EXPECT_EQ(h->get_attribute("data-kind"), std::optional<std::string>("heading"));
  EXPECT_EQ(h->get_attribute("data-empty"), std::optional<std::string>(""));
  EXPECT_EQ(h->get_attribute("data-missing"), std::nullopt);
}

TEST_F(PageTest, BoundingBoxIsInViewportPixels) {
  open("basic.html");
  auto box = one("#box")->bounding_box();
  ASSERT_TRUE(box);
  EXPECT_DOUBLE_EQ(box->x, 40);
  EXPECT_DOUBLE_EQ(box->y, 30);
  EXPECT_DOUBLE_EQ(box->width, 200);
  EXPECT_DOUBLE_EQ(box->height, 50);
  page->evaluate("() => window.scrollTo(0, 20)");
  EXPECT_DOUBLE_EQ(one("#box")->bounding_box()->y, 10);
}

TEST_F(PageTest, QueriesReturnDocumentOrderOrNothing) {
  open("basic.html");
  auto items = page->query_selector_all("#list li");
  ASSERT_EQ(items.size(), 150u);
  EXPECT_EQ(items.front()->inner_text(), "Item 0");
  EXPECT_EQ(items.back()->inner_text(), "Item 149");
  EXPECT_EQ(page->query_selector(".nothing-has-this-class"), nullptr);
  EXPECT_TRUE(page->query_selector_all(".nothing-has-this-class").empty());
  EXPECT_THROW(page->query_selector("##bad(("), pw::Error);
}

TEST_F(PageTest, ActionsChangeThePage) {
  open("basic.html");
  one("#go")->click();
  one("#go")->click();
  EXPECT_EQ(one("#result")->inner_text(), "clicked 2");

  auto email = one("#email");
  email->fill("ada@example.com");
  EXPECT_EQ(email->input_value(), "ada@example.com");

  auto colour = one("#colour");
  EXPECT_EQ(colour->select_option("Green"), std::vector<std::string>{"g"});  // by label
  EXPECT_EQ(colour->select_option("b"), std::vector<std::string>{"b"});      // by value
  EXPECT_EQ(colour->input_value(), "b");

  one("#hover-target")->hover();
  EXPECT_EQ(one("#hover-target")->get_attribute("data-hovered"), std::optional<std::string>("yes"));

  auto keys = one("#keys");
  keys->click();
  page->keyboard().type("typed");
  keys->press("Enter");
  EXPECT_EQ(keys->get_attribute("data-entered"), std::optional<std::string>("typed"));
}

TEST_F(PageTest, DriverTimeoutsAreTimeoutErrors) {
  open("basic.html");
  auto connection = BrowserEnv::playwright->connection();
  double saved = connection->default_timeout_ms;
  connection->default_timeout_ms = 300;
  try {
    one("#off")->click();  // disabled: never actionable
    connection->default_timeout_ms = saved;
    FAIL() << "clicking a disabled button succeeded";
  } catch (const pw::TimeoutError& e) {
    connection->default_timeout_ms = saved;
    EXPECT_THAT(e.what(), HasSubstr("300ms"));
  }
  EXPECT_THROW(one("#email")->select_option("Red"), pw::Error) << "select_option on an input";
}

TEST_F(PageTest, ScreenshotsArePngsOfTheViewportOrPage) {
  open("basic.html");
  auto shot = page->screenshot();
  EXPECT_EQ(png_size(shot), std::make_pair(800, 600));
  auto full = png_size(page->screenshot({std::nullopt, true}));
  EXPECT_EQ(full.first, 800);
  EXPECT_GT(full.second, 3000);
  auto path = std::string(PLAINSTEP_BINARY_DIR) + "/driver_test_shot.png";
  auto bytes = page->screenshot({path, false});
  std::ifstream in(path, std::ios::binary);
  std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(written, bytes);
  std::remove(path.c_str());
}

TEST_F(PageTest, ClosedPageRefusesCalls) {
  open("basic.html");
  auto h = one("#title");
  page->close();
  EXPECT_TRUE(page->is_closed());
  EXPECT_THROW(page->evaluate("1"), pw::Error);
  EXPECT_THROW(h->inner_text(), pw::Error);
  page->close();  // a second close does nothing
  page.reset();
}

}  // namespace
}  // namespace plainstep::testing
