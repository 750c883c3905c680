// Decoding the driver's serialised values, including forms a page rarely
// sends, without a browser.
#include <gtest/gtest.h>

#include "driver/errors.hpp"
#include "driver/json_text.hpp"
#include "driver/serializer.hpp"

namespace {

using pw::json;

struct Decoded {
  const char* wire;
  const char* expected;
};

class ParseValue : public ::testing::TestWithParam<Decoded> {};

TEST_P(ParseValue, GivesJson) {
  auto row = GetParam();
  EXPECT_EQ(pw::parse_value(json::parse(row.wire)).dump(), json::parse(row.expected).dump()) << row.wire;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseValue,
    ::testing::Values(
        Decoded{R"({"n": 3})", "3"}, Decoded{R"({"n": 2.5})", "2.5"}, Decoded{R"({"n": 1e300})", "1e300"},
        Decoded{R"({"v": "-0"})", "0"}, Decoded{R"({"v": "Infinity"})", "null"},
        Decoded{R"({"bi": "99999999999999999999"})", "\"99999999999999999999\""},
        Decoded{R"({"e": {"n": "Error", "m": "m", "s": "at x"}})", R"({"name": "Error", "message": "m", "stack": "at x"})"},
        Decoded{R"({"ta": {"b": "AQD/", "k": "ui8"}})", "[1, 0, 255]"},
        Decoded{R"({"ta": {"b": "//8BAA==", "k": "i16"}})", "[-1, 1]"},
        Decoded{R"({"h": 0})", "null"}, Decoded{R"({"fn": "named"})", "null"},
        Decoded{R"({"o": [{"k": "b", "v": {"n": 1}}, {"k": "a", "v": {"a": [], "id": 2}}], "id": 1})", R"({"b": 1, "a": []})"},
        Decoded{R"({"a": [{"o": [], "id": 2}, {"ref": 2}, {"ref": 1}], "id": 1})", "[{}, {}, null]"}));

TEST(ParseValue, RejectsWhatIsNoValue) {
  for (const char* wire : {R"({})", R"({"zz": 1})", R"(5)", R"({"ta": {"b": "AA==", "k": "i128"}})"})
    EXPECT_THROW(pw::parse_value(json::parse(wire)), pw::Error) << wire;
}

TEST(SerializeValue, RoundTripsEveryJsonKind) {
  json value = {{"s", "x"}, {"i", -4}, {"f", 0.25}, {"b", true}, {"z", nullptr}, {"a", {1, {{"k", "v"}}}}};
  EXPECT_EQ(pw::parse_value(pw::serialize_value(value)).dump(), value.dump());
  EXPECT_EQ(pw::serialize_argument(1)["handles"], json::array());
}

TEST(Base64, DecodesPaddedAndUnpadded) {
  EXPECT_EQ(pw::base64_decode("aGVsbG8="), "hello");
  EXPECT_EQ(pw::base64_decode("aGVsbG8"), "hello");
  EXPECT_EQ(pw::base64_decode(""), "");
  EXPECT_THROW(pw::base64_decode("a$b"), pw::Error);
}

struct Repaired {
  const char* wire;
  const char* expected;
};

class LoneSurrogates : public ::testing::TestWithParam<Repaired> {};

// Lone halves become U+FFFD; pairs, escaped backslashes and text outside
// strings stay as they were, and the result parses.
TEST_P(LoneSurrogates, BecomeReplacementCharacters) {
  std::string text = GetParam().wire;
  pw::repair_lone_surrogates(text);
  EXPECT_EQ(text, GetParam().expected);
  EXPECT_TRUE(json::accept(text)) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoneSurrogates,
    ::testing::Values(Repaired{R"({"s":"a\ud800b"})", R"({"s":"a\ufffdb"})"},
                      Repaired{R"({"s":"\udc00"})", R"({"s":"\ufffd"})"},
                      Repaired{R"({"s":"\uD83D\uDE00 ok"})", R"({"s":"\uD83D\uDE00 ok"})"},
                      Repaired{R"({"s":"\ud83d\ude00\ud83d"})", R"({"s":"\ud83d\ude00\ufffd"})"},
                      Repaired{R"({"s":"\ude00\ud83d"})", R"({"s":"\ufffd\ufffd"})"},
                      Repaired{R"({"s":"\\ud800"})", R"({"s":"\\ud800"})"},
                      Repaired{R"({"s":"\\\ud800"})", R"({"s":"\\\ufffd"})"},
                      Repaired{R"({"\ud800":["x\"\ud800",1]})", R"({"\ufffd":["x\"\ufffd",1]})"},
                      Repaired{R"({"s":"\ud800\u0041"})", R"({"s":"\ufffd\u0041"})"},
                      Repaired{R"({"s":"end\ud800"})", R"({"s":"end\ufffd"})"},
                      Repaired{R"({"s":"plain \u00e9"})", R"({"s":"plain \u00e9"})"}));

}  // namespace
