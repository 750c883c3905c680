// Locating the element a record's path names, in open shadow trees and
// same-origin frames, and acting on it, in real headless Chromium.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "driver/pw.hpp"

namespace {

std::string fixture(const std::string& name) {
  return std::string("file://") + PLAINSTEP_FIXTURES + "/act/" + name;
}

class Browser : public ::testing::Environment {
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

::testing::Environment* const _browser = ::testing::AddGlobalTestEnvironment(new Browser);

class Locate : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Browser::browser) << "the browser did not start";
    page = Browser::browser->new_page({pw::Viewport{800, 600}, false});
  }
  void TearDown() override {
    if (page) page->close();
  }
  std::shared_ptr<pw::ElementHandle> at(const std::string& path) {
    auto h = page->locate_path(path);
    if (!h) ADD_FAILURE() << "nothing at " << path;
    return h;
  }
  std::string text_at(const std::string& path) {
    auto h = at(path);
    return h ? h->inner_text() : "";
  }
  std::shared_ptr<pw::Page> page;
};

const std::string CARD1 = "/html[1]/body[1]/x-card[1]/#shadow-root/";
const std::string CARD2 = "/html[1]/body[1]/x-card[2]/#shadow-root/";
const std::string OUT = "/html[1]/body[1]/p[1]";

TEST_F(Locate, ActsOnElementsOfOpenShadowTrees) {
  page->navigate(fixture("shadow.html"));
  auto open = at(CARD2 + "div[1]/button[1]");
  ASSERT_TRUE(open);
  EXPECT_TRUE(open->is_visible());
  EXPECT_EQ(open->inner_text(), "Open");
  open->click();
  EXPECT_EQ(text_at(OUT), "opened Beta");

  at(CARD1 + "input[1]")->fill("hi");
  EXPECT_EQ(text_at(OUT), "Alpha note: hi");
  at(CARD2 + "select[1]")->select_option("Large");
  EXPECT_EQ(text_at(OUT), "Beta size: Large");
  at(CARD1 + "button[1]")->hover();  // the card's top-level button: "Help"
  EXPECT_EQ(text_at(OUT), "help for Alpha");
  // a shadow tree inside a shadow tree
  at(CARD2 + "x-badge[1]/#shadow-root/button[1]")->click();
  EXPECT_EQ(text_at(OUT), "badge of Beta");
}

TEST_F(Locate, ActsOnElementsOfFrames) {
  page->navigate(fixture("frames.html"));
  const std::string form = "/html[1]/body[1]/iframe[1]/#document/html[1]/body[1]/";
  const std::string out = form + "p[1]";
  at(form + "form[1]/input[1]")->fill("Lyon");
  EXPECT_EQ(text_at(out), "city Lyon");
  at(form + "form[1]/select[1]")->select_option("Spain");
  EXPECT_EQ(text_at(out), "country Spain");
  at(form + "form[1]/button[1]")->click();
  EXPECT_EQ(text_at(out), "sent");
  // a shadow tree inside a frame
  at(form + "x-stamp[1]/#shadow-root/button[1]")->click();
  EXPECT_EQ(text_at(out), "stamped");
  // a frame inside a frame
  auto agree = at(form + "iframe[1]/#document/html[1]/body[1]/label[1]/input[1]");
  ASSERT_TRUE(agree);
  agree->check();
  EXPECT_EQ(agree->evaluate("e => e.checked"), true);
  // a second frame, written in the page itself
  const std::string notes = "/html[1]/body[1]/iframe[2]/#document/html[1]/body[1]/";
  at(notes + "button[1]")->click();
  EXPECT_EQ(text_at(notes + "p[1]"), "pressed");
}

TEST_F(Locate, PlainPathsAreXPathsAsBefore) {
  page->navigate(fixture("shadow.html"));
  EXPECT_EQ(text_at("/html[1]/body[1]/h1[1]"), "Cards");
  EXPECT_EQ(page->locate_path("/html[1]/body[1]/h1[2]"), nullptr);
}

TEST_F(Locate, NothingThereIsNull) {
  page->navigate(fixture("frames.html"));
  for (const char* path :
       {"/html[1]/body[1]/iframe[3]/#document/html[1]/body[1]",         // no such frame
        "/html[1]/body[1]/h1[1]/#document/html[1]/body[1]",             // not a frame element
        "/html[1]/body[1]/h1[1]/#shadow-root/div[1]",                   // no shadow tree
        "/html[1]/body[1]/iframe[1]/#document/html[1]/body[1]/form[2]",  // no such element
        "/html[1]/body[1]/iframe[1]/#document/body[1]"})                // not from the root
    EXPECT_EQ(page->locate_path(path), nullptr) << path;
}

TEST_F(Locate, AMalformedPathIsAnErrorNamingIt) {
  page->navigate(fixture("shadow.html"));
  for (const char* path : {"html[1]/body[1]/#shadow-root/div[1]", "/html[1]/body[1]/#shadow-root",
                           "/#shadow-root/div[1]", "/html[1]/bo dy[1]/#shadow-root/a[1]",
                           "/html[1]/body[1]/x-card[0]/#shadow-root/div[1]",
                           "/html[1]/body[1]/x-card[1]/#shadow-root/#document/html[1]",
                           "/html[1]/body[1]//#shadow-root/div[1]", "/html[1]/'x'[1]/#document"}) {
    try {
      page->locate_path(path);
      ADD_FAILURE() << "no error for " << path;
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
}

}  // namespace
