// Values crossing into and out of the page, in a real page.
#include <gtest/gtest.h>

#include "driver/browser_env.hpp"

namespace plainstep::testing {
namespace {

using pw::json;
using ::testing::HasSubstr;

struct ValueRow {
  const char* expression;
  const char* expected;  // JSON text
};

const ValueRow _VALUE_ROWS[] = {
        ValueRow{"1 + 1", "2"}, ValueRow{"0.1 + 0.2", "0.30000000000000004"}, ValueRow{"-0", "0"},
        ValueRow{"'caf\\u00e9 \\u2014 \\ud83d\\ude00'", "\"caf\\u00e9 \\u2014 \\ud83d\\ude00\""},
        ValueRow{"true", "true"}, ValueRow{"null", "null"}, ValueRow{"undefined", "null"},
        ValueRow{"NaN", "null"}, ValueRow{"-Infinity", "null"},
        ValueRow{"new Date(Date.UTC(2024, 0, 2, 3, 4, 5))", "\"2024-01-02T03:04:05.000Z\""},
        ValueRow{"12345678901234567890123n", "\"12345678901234567890123\""}, ValueRow{"-42n", "-42"},
        ValueRow{"/a+b/gi", "\"/a+b/gi\""}, ValueRow{"new URL('https://example.com/x?y=1')", "\"https://example.com/x?y=1\""},
        ValueRow{"new Uint8Array([1, 2, 255])", "[1, 2, 255]"}, ValueRow{"new Float64Array([0.5, -2])", "[0.5, -2]"},
        // Key order is the page's own.
        ValueRow{"({z: 1, a: [1, 'two', {b: null}], m: {}})", "{\"z\": 1, \"a\": [1, \"two\", {\"b\": null}], \"m\": {}}"},
        ValueRow{"(() => { const s = {v: 1}; return [s, s]; })()", "[{\"v\": 1}, {\"v\": 1}]"},
        ValueRow{"(() => { const o = {name: 'loop'}; o.self = o; return o; })()", "{\"name\": \"loop\", \"self\": null}"},
        ValueRow{"document.body", "\"ref: <Node>\""}  /* the page's own stand-in for nodes */,
        ValueRow{"() => [1, 2, 3].map(x => x * 2)", "[2, 4, 6]"},
        ValueRow{"async () => { await new Promise(r => setTimeout(r, 10)); return 'later'; }", "\"later\""}};

TEST_F(PageTest, EvaluatedValuesDecodeToJson) {
  for (const auto& row : _VALUE_ROWS)
    EXPECT_EQ(page->evaluate(row.expression).dump(), json::parse(row.expected).dump()) << row.expression;
}

TEST_F(PageTest, ErrorsThrownInThePageAreReturnedAsObjectsOrThrown) {
  auto returned = page->evaluate("() => new TypeError('bad thing')");
  EXPECT_EQ(returned["name"], "TypeError");
  EXPECT_EQ(returned["message"], "bad thing");
  try {
    page->evaluate("() => { throw new RangeError('out of range here'); }");
    FAIL() << "a throwing function succeeded";
  } catch (const pw::Error& e) {
    EXPECT_THAT(e.what(), HasSubstr("RangeError: out of range here"));
  }
  EXPECT_THROW(page->evaluate("this is not javascript"), pw::Error);
}

TEST_F(PageTest, ArgumentsArriveAsTheyWereSent) {
  json arg = {{"text", "Ünïcode \u2014 ok"}, {"n", -3.25}, {"big", 4294967296LL}, {"flag", false},
              {"none", nullptr}, {"list", {1, "2", {{"k", "v"}}}}, {"empty", json::object()}};
  EXPECT_EQ(page->evaluate("a => a", arg).dump(), arg.dump()) << "round trip through the page";
  EXPECT_EQ(page->evaluate("a => Object.keys(a).join()", arg), "text,n,big,flag,none,list,empty");
  EXPECT_EQ(page->evaluate("a => typeof a.none", arg), "object");
}

// A page can hold strings that are not well-formed UTF-16; the driver
// writes their lone halves as escapes a strict JSON reader refuses. They
// arrive as U+FFFD, and the connection goes on.
TEST_F(PageTest, LoneSurrogatesArriveAsReplacementCharacters) {
  EXPECT_EQ(page->evaluate("() => 'a\\ud800b'"), "a\uFFFDb");
  EXPECT_EQ(page->evaluate("() => ['\\udfff', '\\ud83d\\ude00']").dump(), json::array({"\uFFFD", "\U0001F600"}).dump());
  page->navigate("data:text/html,<p>x</p>");
  page->evaluate("() => { document.querySelector('p').textContent = 'x\\udbff'; }");
  EXPECT_EQ(one("p")->inner_text(), "x\uFFFD");
  EXPECT_EQ(page->evaluate("() => 1 + 1"), 2) << "the connection survived";
}

TEST_F(PageTest, ElementEvaluateGetsTheElementFirst) {
  open("basic.html");
  auto h = one("#title");
  EXPECT_EQ(h->evaluate("(el, suffix) => el.tagName + suffix", "!"), "H1!");
  EXPECT_EQ(h->evaluate("el => el.dataset.kind"), "heading");
}

}  // namespace
}  // namespace plainstep::testing
