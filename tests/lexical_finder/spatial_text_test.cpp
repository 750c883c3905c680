// Verifying and extracting the text beside an anchor text.
#include <gtest/gtest.h>

#include "lexical_finder/records_for_tests.hpp"
#include "lexical_finder/finder_for_tests.hpp"
#include "strategies/lexical_finder/lexical_finder.hpp"

using namespace plainstep;
using plainstep::testing::keys_of;
using plainstep::testing::finder;
using plainstep::testing::Make;
using plainstep::testing::step;
using plainstep::testing::text_at;
using plainstep::testing::texts_of;

namespace {

ResolutionResult verify(const std::string& target, const std::string& expected,
                        const Elements& texts, const Elements& dom = {}) {
  return finder.resolve(step("verify_spatial_text", target, expected), dom, &texts);
}

ResolutionResult extract(const std::string& target, const Elements& texts,
                         const Elements& dom = {}) {
  return finder.resolve(step("extract_text_spatial", target), dom, &texts);
}

// 'Price' at x 100..140, y 200..220; centre (120, 210).
Elements price_row() {
  return {text_at("Price", 120, 210, "span", "/html[1]/body[1]/div[1]/span[1]"),
          text_at("99.00", 500, 210, "span", "/html[1]/body[1]/div[1]/span[3]"),
          text_at("12.50", 300, 210, "span", "/html[1]/body[1]/div[1]/span[2]")};
}

TEST(SpatialText, NearestToTheRightAndAllCandidatesNearestFirst) {
  Elements texts = price_row();
  auto r = verify("right of Price", "12.50", texts);
  ASSERT_TRUE(r.resolved);
  EXPECT_EQ(r.verified, true);
  EXPECT_EQ(r.confidence, 1.0);
  EXPECT_EQ(r.element, texts[2]);
  EXPECT_EQ(r.candidates, (Elements{texts[2], texts[1]}));
  EXPECT_EQ(to_json(*r.state), (json{{"expected", "12.50"}, {"actual", "12.50"}}));
  EXPECT_EQ(keys_of(to_json(r)), (std::vector<std::string>{"resolved", "verified", "confidence",
                                                           "element", "state", "candidates"}));
}

struct VerdictCase {
  const char* expected;
  const char* actual;
  bool verified;
};

class SpatialVerdict : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(SpatialVerdict, ExpectedMustOccurInActual) {
  Elements texts{text_at("Price", 120, 210), text_at(GetParam().actual, 300, 210)};
  auto r = verify("right of Price", GetParam().expected, texts);
  ASSERT_TRUE(r.resolved);
  EXPECT_EQ(r.verified, GetParam().verified)
      << "expected " << GetParam().expected << " actual " << GetParam().actual;
}

INSTANTIATE_TEST_SUITE_P(Table, SpatialVerdict,
                         ::testing::Values(VerdictCase{"$1,234.50", "1234.50 USD", true},
                                           VerdictCase{"12.50", " £12.50 ", true},
                                           VerdictCase{"100", "10", false},  // not the reverse
                                           VerdictCase{"", "10", false},
                                           VerdictCase{"$", "10", false},
                                           VerdictCase{"IN STOCK", "In stock today", true},
                                           VerdictCase{"12.5", "12,50", false}));

struct BandCase {
  const char* target;
  double cx, cy;
  bool qualifies;
};

class SpatialBands : public ::testing::TestWithParam<BandCase> {};

TEST_P(SpatialBands, CentreMustLieInTheAnchorsBandInclusive) {
  Elements texts{text_at("Price", 120, 210), text_at("there", GetParam().cx, GetParam().cy)};
  auto r = extract(GetParam().target, texts);
  EXPECT_EQ(r.resolved, GetParam().qualifies)
      << GetParam().target << " (" << GetParam().cx << ", " << GetParam().cy << ")";
  EXPECT_EQ(*r.extracted, GetParam().qualifies ? "there" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, SpatialBands,
    ::testing::Values(BandCase{"right of Price", 300, 221, false},
                      BandCase{"right of Price", 300, 220, true},
                      BandCase{"right of Price", 300, 200, true},
                      BandCase{"next to Price", 300, 210, true},
                      BandCase{"right of Price", 120, 210, false},  // same centre: not right
                      BandCase{"left of Price", 20, 215, true},
                      BandCase{"left of Price", 300, 210, false},
                      BandCase{"below Price", 140, 400, true},
                      BandCase{"under Price", 100, 400, true},
                      BandCase{"below Price", 141, 400, false},
                      BandCase{"above Price", 110, 20, true},
                      BandCase{"above Price", 110, 400, false}));

TEST(SpatialText, OnlyTheDistanceAlongTheDirectionCounts) {
  Elements texts{text_at("Total", 120, 210), text_at("far across", 139, 300),
                 text_at("near across", 101, 301), text_at("closer", 120, 299)};
  auto r = extract("below Total", texts);
  EXPECT_EQ(texts_of(r.candidates), (std::vector<std::string>{"closer", "far across", "near across"}));
}

TEST(SpatialText, NothingInThatDirection) {
  Elements texts{text_at("Total", 120, 210), text_at("12", 300, 210)};
  auto r = verify("below Total", "12", texts);
  EXPECT_TRUE(r.resolved);
  EXPECT_EQ(r.verified, false);
  EXPECT_EQ(r.confidence, 1.0);
  EXPECT_EQ(r.element, texts[0]);
  EXPECT_TRUE(r.candidates.empty());
  EXPECT_EQ(r.state->actual, "no element below of 'Total'");
}

TEST(SpatialText, ExtractionWithNothingThereIsAFailureNotTheAnchorText) {
  Elements texts{text_at("Total", 120, 210), text_at("12", 300, 210)};
  auto r = extract("below Total", texts);
  EXPECT_FALSE(r.resolved);
  EXPECT_EQ(r.confidence, 0.0);
  EXPECT_EQ(r.element, nullptr);
  EXPECT_EQ(r.extracted, "");
  EXPECT_TRUE(r.candidates.empty());
  EXPECT_EQ(keys_of(to_json(r)), (std::vector<std::string>{"resolved", "confidence", "element",
                                                           "extracted", "candidates"}));
}

TEST(SpatialText, ExtractionGivesTheNearestTextTrimmed) {
  Elements texts{text_at("Total", 120, 210), text_at("  12.50\n", 300, 210),
                 text_at("EUR", 400, 210)};
  auto r = extract("right of Total", texts);
  ASSERT_TRUE(r.resolved);
  EXPECT_EQ(r.extracted, "12.50");
  EXPECT_EQ(r.element, texts[1]);
  EXPECT_EQ(r.candidates.size(), 2u);
}

struct PhraseCase {
  const char* target;
  const char* actual;  // nullptr: state holds only the expected text
};

class SpatialPhrases : public ::testing::TestWithParam<PhraseCase> {};

TEST_P(SpatialPhrases, UnreadablePhraseOrMissingAnchorFails) {
  Elements texts{text_at("Price", 120, 210), text_at("12", 300, 210)};
  auto r = verify(GetParam().target, "12", texts);
  EXPECT_FALSE(r.resolved) << GetParam().target;
  EXPECT_EQ(r.verified, false);
  EXPECT_EQ(r.element, nullptr);
  EXPECT_TRUE(r.candidates.empty());
  EXPECT_EQ(r.state->expected, "12");
  if (GetParam().actual)
    EXPECT_EQ(r.state->actual, GetParam().actual);
  else
    EXPECT_FALSE(r.state->actual.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Table, SpatialPhrases,
    ::testing::Values(PhraseCase{"near Price", nullptr}, PhraseCase{"Price", nullptr},
                      PhraseCase{"right of   ", nullptr}, PhraseCase{"right of the ", "anchor 'the' not found"},
                      PhraseCase{"rightof Price", nullptr},
                      PhraseCase{"left of Cost", "anchor 'Cost' not found"},
                      PhraseCase{"Right Of The COST", "anchor 'COST' not found"},
                      PhraseCase{"below the a an Cost", "anchor 'Cost' not found"}));

TEST(SpatialText, ArticlesAndCaseAreIgnoredInTheAnchor) {
  Elements texts = price_row();
  for (const char* t : {"right of the Price", "RIGHT OF price", "right of a price"})
    EXPECT_EQ(verify(t, "12.50", texts).element, texts[2]) << t;
}

TEST(SpatialText, AnchorTextMayHaveMoreLinesBelowItsFirst) {
  Elements texts{text_at("Price\nincl. VAT", 120, 210), text_at("12.50", 300, 210)};
  EXPECT_EQ(verify("right of Price", "12.50", texts).verified, true);
}

TEST(SpatialText, SmallestAnchorWins) {
  Elements texts{text_at("Price", 120, 210, "div", "/html[1]/body[1]/div[1]", 400, 100),
                 text_at("Price", 120, 410), text_at("Top", 300, 210), text_at("Low", 300, 410)};
  EXPECT_EQ(*extract("right of Price", texts).extracted, "Low");
}

TEST(SpatialText, OnlyTextTagsQualifyAsNeighbours) {
  Elements texts{text_at("Price", 120, 210), text_at("Buy", 200, 210, "button"),
                 text_at("12.50", 300, 210, "td")};
  EXPECT_EQ(*extract("right of Price", texts).extracted, "12.50");
}

TEST(SpatialText, AnyTextButAButtonsMayBeTheNeighbour) {
  for (const char* tag : {"strong", "dd", "code", "small", "em", "summary", "caption"}) {
    Elements texts{text_at("Price", 120, 210, "dt"), text_at("Buy", 200, 210, "button"),
                   text_at("12.50", 300, 210, tag)};
    EXPECT_EQ(*extract("right of Price", texts).extracted, "12.50") << tag;
  }
}

TEST(SpatialText, TheNextAnchorIsTriedWhenTheFirstHasNothingThere) {
  // The sidebar's "Alexander Pierce" is the smaller text but has nothing to
  // its right; the table row's has.
  Elements texts{
      text_at("Alexander Pierce", 600, 400, "td", "/html[1]/body[1]/main[1]/table[1]/tr[2]/td[1]", 120, 20),
      text_at("Admin", 800, 400, "td", "/html[1]/body[1]/main[1]/table[1]/tr[2]/td[2]"),
      text_at("Alexander Pierce", 60, 100, "a", "/html[1]/body[1]/aside[1]/div[1]/a[1]", 100, 16)};
  auto r = verify("right of Alexander Pierce", "Admin", texts);
  ASSERT_TRUE(r.resolved);
  EXPECT_EQ(r.verified, true);
  EXPECT_EQ(r.element, texts[1]);
  EXPECT_EQ(*extract("right of Alexander Pierce", texts).extracted, "Admin");
  // None of them has anything below: the likeliest one is reported.
  auto none = verify("below Alexander Pierce", "Admin", texts);
  EXPECT_EQ(none.element, texts[2]);
  EXPECT_EQ(none.state->actual, "no element below of 'Alexander Pierce'");
}

TEST(SpatialText, OtherAnchorsComeOnlyFromTheSameTier) {
  // A text anchor with nothing beside it; a button reading the same words
  // has a neighbour, but text anchors are the better match.
  Elements texts{text_at("Total", 120, 210), text_at("9.00", 300, 410)};
  Elements dom{Make("button", "Total").at(100, 400).path("/html[1]/body[1]/button[1]")};
  auto r = verify("right of Total", "9.00", texts, dom);
  EXPECT_EQ(r.verified, false);
  EXPECT_EQ(r.element, texts[0]);
}

TEST(SpatialText, NeighboursWithoutPathOrBoxAreSkipped) {
  ElementRef no_path = text_at("A", 200, 210, "span", "");
  Make no_box("span", "B");
  no_box.path("/html[1]/body[1]/span[2]");
  Elements texts{text_at("Price", 120, 210), no_path, no_box, text_at("C", 300, 210)};
  EXPECT_EQ(*extract("right of Price", texts).extracted, "C");
}

TEST(SpatialText, TreeDistanceLimitsTextAnchorsOnly) {
  // 3 steps up from the anchor and 8 down: 11 > 10, ignored though nearest;
  // 3 up and 7 down: exactly 10, kept.
  const std::string deep = "/html[1]/body[1]/div[1]/x[1]/x[1]/x[1]/x[1]/x[1]/x[1]/span[1]";
  const std::string ten = "/html[1]/body[1]/div[1]/x[1]/x[1]/x[1]/x[1]/x[1]/span[1]";
  Elements texts{text_at("Price", 120, 210, "span", "/html[1]/body[1]/main[1]/div[1]/span[1]"),
                 text_at("deep", 200, 210, "span", deep), text_at("ten", 300, 210, "span", ten)};
  EXPECT_EQ(*extract("right of Price", texts).extracted, "ten");

  // A button as anchor (by aria-label): no tree limit.
  Elements near_button{text_at("deep", 200, 210, "span", deep)};
  Elements dom{Make("button").attr("aria-label", " price ").at(100, 200).path("/html[1]/body[1]/b[1]")};
  auto r = extract("right of Price", near_button, dom);
  ASSERT_TRUE(r.resolved);
  EXPECT_EQ(r.extracted, "deep");
}

TEST(SpatialText, DescriptorTextIsTriedBeforeAriaLabel) {
  Elements texts{text_at("left", 200, 210), text_at("right", 200, 410)};
  Elements dom{Make("button").attr("aria-label", "Price").at(100, 400).path("/p[1]"),
               Make("button", "Price").at(100, 200).path("/p[2]")};
  EXPECT_EQ(*extract("right of Price", texts, dom).extracted, "left");
  Elements unplaced{Make("button", "Price").path("/p[2]"),
                    Make("button").attr("aria-label", "Price").at(100, 400).path("/p[1]")};
  EXPECT_EQ(*extract("right of Price", texts, unplaced).extracted, "right");
}

TEST(SpatialText, NullExpectedTextIsATypeError) {
  EXPECT_THROW(finder.resolve(step("verify_spatial_text", "right of Price"), {}, nullptr),
               TypeError);
}

}  // namespace
