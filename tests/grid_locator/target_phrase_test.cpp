// Splitting target phrases into anchor, relation, type, ordinal and words.
#include <gtest/gtest.h>

#include "spatial/grid_locator/grid_locator.hpp"

using namespace plainstep;

namespace {

std::string show(const std::optional<std::string>& s) { return s ? "'" + *s + "'" : "null"; }

std::string show(const ParsedTarget& p) {
  return "{anchor " + show(p.anchor_text) + ", rel " + show(p.rel_strategy) + ", type " +
         show(p.type_filter) + ", ordinal " + (p.ordinal ? std::to_string(*p.ordinal) : "null") +
         ", search " + show(p.search_text) + ", target " + show(p.target_text) + "}";
}

struct PhraseCase {
  const char* phrase;
  ParsedTarget want;
};

class TargetPhrase : public ::testing::TestWithParam<PhraseCase> {};

TEST_P(TargetPhrase, Splits) {
  ParsedTarget got = _parse_target(GetParam().phrase);
  EXPECT_EQ(got, GetParam().want) << "phrase '" << GetParam().phrase << "'\n got  " << show(got)
                                  << "\n want " << show(GetParam().want);
}

using S = std::optional<std::string>;
using N = std::optional<int>;
const S none;
const N no_ordinal;

INSTANTIATE_TEST_SUITE_P(
    Cases, TargetPhrase,
    ::testing::Values(
        PhraseCase{"second button below total", {"total", "below", "button", 2, none, none}},
        PhraseCase{"the field right of the email address",
                   {"email address", "right", "input", no_ordinal, none, "the"}},
        PhraseCase{"link under the logo", {"logo", "below", "link", no_ordinal, none, none}},
        PhraseCase{"first item", {none, none, none, 1, "item", none}},
        PhraseCase{"2nd submit btn", {none, none, "button", 2, "submit", none}},
        PhraseCase{"third button next to", {"", "next_to", "button", 3, none, none}},
        PhraseCase{"submit", {none, none, none, no_ordinal, none, none}},
        // A keyword inside a word still counts, and the split happens there.
        PhraseCase{"thunder button under x", {"button under x", "below", "button", no_ordinal, none, "th"}},
        PhraseCase{"the nearest link", {"est link", "near", "link", no_ordinal, none, "the"}},
        // The type word may come after the keyword; table order picks it.
        PhraseCase{"field next to the submit button",
                   {"submit button", "next_to", "button", no_ordinal, none, "field"}},
        // Table order decides between ordinals, not phrase order.
        PhraseCase{"third or first button", {none, none, "button", 1, "third or", none}},
        PhraseCase{"the red button below total", {"total", "below", "button", no_ordinal, none, "the red"}},
        // Each article is stripped once, in the order the, a, an.
        PhraseCase{"button above the a an x", {"x", "above", "button", no_ordinal, none, none}},
        PhraseCase{"button above an a x", {"a x", "above", "button", no_ordinal, none, none}},
        PhraseCase{"Dropdown LEFT OF   Country ", {"country", "left", "select", no_ordinal, none, none}},
        PhraseCase{"5th anchor", {none, none, "link", 5, none, none}},
        PhraseCase{"sixth button", {none, none, "button", no_ordinal, none, none}},
        PhraseCase{"second near", {"", "near", none, 2, none, none}},
        PhraseCase{"", {none, none, none, no_ordinal, none, none}}),
    [](const auto& info) {
      std::string n;
      for (const char* c = info.param.phrase; *c; ++c) n += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
      return n.empty() ? std::string("empty") : n + "_" + std::to_string(info.index);
    });

TEST(TargetPhrase, LongerRelationKeywordsAreTriedFirst) {
  // "left of" (7) outranks "below" (5) though "below" comes first in the table.
  ParsedTarget p = _parse_target("link below left of logo");
  EXPECT_EQ(p.rel_strategy, "left");
  EXPECT_EQ(p.anchor_text, "logo");
  EXPECT_EQ(p.target_text, "below");
}

TEST(TargetPhrase, TablesHoldTheKnownWords) {
  EXPECT_EQ(_RELATIONS.size(), 7u);
  EXPECT_EQ(_ORDINALS.size(), 10u);
  EXPECT_EQ(_TYPE_KEYWORDS.size(), 9u);
  EXPECT_EQ(_RELATIONS.front().first, "next to");
  EXPECT_EQ(_TYPE_KEYWORDS.back(), (std::pair<std::string, std::string>{"dropdown", "select"}));
}

TEST(TargetPhrase, InvalidUtf8IsAValueError) {
  EXPECT_THROW(_parse_target("button below \xff"), std::invalid_argument);
}

}  // namespace
