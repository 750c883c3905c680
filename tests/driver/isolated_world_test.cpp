// The page's isolated world: the page's document, none of the page's
// scripts, made again after a navigation.
#include <gtest/gtest.h>

#include "driver/browser_env.hpp"

namespace plainstep::testing {
namespace {

using pw::json;
using ::testing::HasSubstr;

// A page that replaces the built-ins the way old libraries and hostile
// pages do.
const char* hostile_page =
    "data:text/html,<p id=p>Delete everything</p><script>"
    "JSON.stringify = () => 'Keep everything';"
    "Array.prototype.each = function () {}; Array.from = x => [x];"
    "Element.prototype.matches = () => true;"
    "Object.defineProperty(Element.prototype, 'tagName', {get() { return 'BUTTON'; }});"
    "window.pageSecret = 42;</script>";

TEST_F(PageTest, IsolatedWorldSeesTheDocumentNotThePageScripts) {
  page->navigate(hostile_page);
  ASSERT_EQ(page->evaluate("() => JSON.stringify({})"), "Keep everything") << "the page's own world is bent";
  auto world = pw::IsolatedWorld::of(*page);
  ASSERT_TRUE(world) << "Chromium offers an isolated world";
  json got = world->call(
      "arg => JSON.stringify({text: document.getElementById(arg).innerText, tag: document.body.tagName,"
      " matches: document.body.matches('p'), from: Array.from(new Set([1, 2])), own: Object.keys([]),"
      " secret: typeof window.pageSecret})",
      "p");
  EXPECT_EQ(json::parse(got.get<std::string>()).dump(),
            R"({"text":"Delete everything","tag":"BODY","matches":false,"from":[1,2],"own":[],"secret":"undefined"})");
  EXPECT_EQ(pw::IsolatedWorld::of(*page), world) << "one world per page";
}

TEST_F(PageTest, IsolatedWorldIsKeptUntilTheDocumentIsReplaced) {
  page->navigate("data:text/html,<p>one</p>");
  auto world = pw::IsolatedWorld::of(*page);
  ASSERT_TRUE(world);
  const std::string count = "() => (globalThis.calls = (globalThis.calls || 0) + 1)";
  EXPECT_EQ(world->call(count), 1);
  page->evaluate("() => { document.body.innerHTML = '<p>changed</p>'; history.pushState({}, '', '#moved'); }");
  EXPECT_EQ(world->call(count), 2) << "the same document keeps its world";
  page->navigate("data:text/html,<p>two</p>");
  EXPECT_EQ(world->call(count), 1) << "a new document gets a new world";
  EXPECT_EQ(world->call("() => document.body.innerText"), "two");
  page->reload();
  EXPECT_EQ(world->call(count), 1);
}

TEST_F(PageTest, IsolatedWorldReportsWhatTheFunctionThrows) {
  page->navigate("data:text/html,<p>x</p>");
  auto world = pw::IsolatedWorld::of(*page);
  ASSERT_TRUE(world);
  try {
    world->call("() => { throw new RangeError('nothing here'); }");
    FAIL() << "a throwing function succeeded";
  } catch (const pw::Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("RangeError: nothing here"));
  }
  EXPECT_THROW(world->call("this is not javascript"), pw::Error);
  EXPECT_EQ(world->call("a => a.n * 2", json{{"n", 21}}), 42) << "still usable";
}

TEST_F(PageTest, IsolatedWorldMeetsANavigationStartedByThePage) {
  page->navigate("data:text/html,<p>first</p>");
  auto world = pw::IsolatedWorld::of(*page);
  ASSERT_TRUE(world);
  EXPECT_EQ(world->call("() => document.body.innerText"), "first");
  page->evaluate("() => { location.href = 'data:text/html,<p>second</p>'; }");
  // Whichever document the call meets, it answers from one of them.
  json got = world->call("() => document.body ? document.body.innerText : ''");
  EXPECT_TRUE(got == "first" || got == "second" || got == "") << got.dump();
}

TEST_F(PageTest, ContentFrameOfAFrameElement) {
  page->navigate("data:text/html,<iframe name=inner srcdoc='<p>in</p>'></iframe><p id=plain>out</p>");
  page->wait_for_timeout(50);
  auto frame = one("iframe")->content_frame();
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->evaluate("() => document.body.innerText"), "in");
  EXPECT_FALSE(one("#plain")->content_frame());
  EXPECT_TRUE(page->context());
}

}  // namespace
}  // namespace plainstep::testing
