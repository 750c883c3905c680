#include <gtest/gtest.h>

#include <stdexcept>

#include "text/text.hpp"

namespace t = plainstep::text;

TEST(Text, LowerIsFullUnicode) {
  struct Case { const char* in; const char* out; };
  for (auto c : std::vector<Case>{{"ABC", "abc"}, {"İ", "i\xCC\x87"}, {"ÉCOLE", "école"},
                                  {"ΣΟΦΟΣ", "σοφος"}, {"Straße", "straße"}, {"", ""}}) {
    EXPECT_EQ(t::lower(c.in), c.out) << c.in;
  }
  EXPECT_EQ(t::length(t::lower("İ")), 2u);
}

TEST(Text, LowerMappedPointsBackAtTheSource) {
  auto l = t::lower_mapped("İx");
  EXPECT_EQ(l.text, "i\xCC\x87x");
  EXPECT_EQ(l.source_index, (std::vector<size_t>{0, 0, 1, 2}));
}

TEST(Text, WhiteSpaceIsUnicode) {
  EXPECT_EQ(t::trim("\u00A0 hi\u3000\t"), "hi");
  EXPECT_EQ(t::ltrim("  a b  "), "a b  ");
  EXPECT_EQ(t::rtrim("  a b  "), "  a b");
  EXPECT_EQ(t::split_ws(" a\u00A0\u00A0b\u3000c "), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(t::split_ws(" \u2003 ").empty());
}

TEST(Text, DigitsByNumericType) {
  EXPECT_TRUE(t::is_digit(U'7'));
  EXPECT_TRUE(t::is_digit(U'\u0663'));   // Arabic-Indic three
  EXPECT_TRUE(t::is_digit(U'\u00B2'));   // superscript two: numeric type digit
  EXPECT_FALSE(t::is_digit(U'\u00BD'));  // one half: numeric, not a digit
  EXPECT_FALSE(t::is_digit(U'x'));
  EXPECT_TRUE(t::all_digits("12\u0663"));
  EXPECT_FALSE(t::all_digits(""));
  EXPECT_FALSE(t::all_digits("1.5"));
  EXPECT_TRUE(t::has_digit("col4"));
}

TEST(Text, LengthsAndPositionsCountCodePoints) {
  EXPECT_EQ(t::length("héllo"), 5u);
  EXPECT_EQ(t::substr("héllo wörld", 6), "wörld");
  EXPECT_EQ(t::substr("héllo", 1, 3), "éll");
  EXPECT_EQ(t::substr("ab", 5), "");
  EXPECT_EQ(t::find("é into x", " into "), 1u);
  EXPECT_EQ(t::find("abc", "z"), t::npos);
  EXPECT_EQ(t::rfind("é is a is b", " is "), 6u);
}

TEST(Text, InvalidUtf8IsRejectedNotRepaired) {
  for (const char* bad : {"\xff", "a\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
    EXPECT_FALSE(t::is_valid_utf8(bad)) << bad;
    EXPECT_THROW(t::lower(std::string(bad) + "\xC3\xA9"), std::invalid_argument);
    EXPECT_THROW(t::trim(bad), std::invalid_argument);
  }
  EXPECT_TRUE(t::is_valid_utf8("ok \xF0\x9F\x98\x80"));
}

TEST(Text, QuotedLiteral) {
  struct Case { const char* in; const char* out; };
  for (auto c : std::vector<Case>{{"jump", "'jump'"},
                                  {"it's", "\"it's\""},
                                  {"it's \"x\"", "'it\\'s \"x\"'"},
                                  {"a\\b", "'a\\\\b'"},
                                  {"l1\nl2\t\r", "'l1\\nl2\\t\\r'"},
                                  {"\x01", "'\\x01'"},
                                  {"é", "'é'"}}) {
    EXPECT_EQ(t::quoted_literal(c.in), c.out) << c.in;
  }
}
