// Geometry of spatial relations: overlap bands, distances, normalising,
// and the ranking rules of each relation.
#include <gtest/gtest.h>

#include "grid_assembler/spatial_builders.hpp"
#include "spatial/grid_assembler/grid_assembler.hpp"
#include "spatial/grid_locator/grid_locator.hpp"

using namespace plainstep;

namespace {

MatrixEntry at(Box b, int index = 0) {
  MatrixEntry m;
  m.index = index;
  m.position = _position(b);
  m.element = spatial_test::el("button", "", b);
  return m;
}

struct OverlapCase {
  const char* name;
  Box a, b;
  bool same_row, same_column;
};

class Overlap : public ::testing::TestWithParam<OverlapCase> {};

TEST_P(Overlap, BandsAllowAGapUnderTheTolerance) {
  const auto& c = GetParam();
  EXPECT_EQ(_overlaps_vertically(at(c.a), at(c.b)), c.same_row);
  EXPECT_EQ(_overlaps_vertically(at(c.b), at(c.a)), c.same_row);
  EXPECT_EQ(_overlaps_horizontally(at(c.a), at(c.b)), c.same_column);
  EXPECT_EQ(_overlaps_horizontally(at(c.b), at(c.a)), c.same_column);
}

// `a` spans x 100..150, y 100..120 throughout.
INSTANTIATE_TEST_SUITE_P(
    Cases, Overlap,
    ::testing::Values(OverlapCase{"same_box", {100, 100, 50, 20}, {100, 100, 50, 20}, true, true},
                      OverlapCase{"gap_35_above", {100, 100, 50, 20}, {300, 45, 10, 20}, true, false},
                      OverlapCase{"gap_exactly_40_above", {100, 100, 50, 20}, {300, 40, 10, 20}, false, false},
                      OverlapCase{"gap_45_above", {100, 100, 50, 20}, {300, 35, 10, 20}, false, false},
                      OverlapCase{"gap_39_below", {100, 100, 50, 20}, {300, 159, 10, 20}, true, false},
                      OverlapCase{"gap_35_right", {100, 100, 50, 20}, {185, 400, 10, 10}, false, true},
                      OverlapCase{"gap_40_left", {100, 100, 50, 20}, {50, 400, 10, 10}, false, false},
                      OverlapCase{"touching_right", {100, 100, 50, 20}, {150, 100, 10, 20}, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CentreDistance, IsEuclideanBetweenCentres) {
  EXPECT_DOUBLE_EQ(_centre_distance(at({0, 0, 10, 10}), at({30, 40, 10, 10})), 50.0);
  EXPECT_DOUBLE_EQ(_centre_distance(at({0, 0, 10, 10}), at({0, 0, 30, 10})), 10.0);
}

TEST(Normalize, DropsPlainSpacesAndHyphensOnly) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Sign-in Button", "signinbutton"},
      {"signin button", "signinbutton"},
      {"a\tb\nc", "a\tb\nc"},
      {"--  --", ""},
      {"Ünïcode ÄÖ", "ünïcodeäö"},
      {"\u00a0x", "\u00a0x"},  // no-break space is not a plain space
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(_normalize(in), want) << in;
}

TEST(DomDistance, CountsEqualStepsAtEveryPosition) {
  struct Case {
    const char* a;
    const char* b;
    int want;
  };
  const std::vector<Case> cases = {
      {"/html/body/div[2]/span", "/html/body/div[3]/span", 2},
      {"/html[1]/body[1]/div[1]", "/html[1]/body[1]/div[1]", 0},
      {"/html[1]/body[1]/", "html[1]/body[1]", 0},
      {"/html[1]/body[1]", "/html[1]/body[1]/div[1]/p[2]", 2},
      {"a/b/c", "a/x/c/d", 3},
      {"", "", 0},
      {"", "/html[1]", 2},
      {"/a//b", "/a/b", 3},  // the empty step between the slashes counts
  };
  for (const auto& c : cases) {
    EXPECT_EQ(_dom_distance(c.a, c.b), c.want) << c.a << " vs " << c.b;
    EXPECT_EQ(_dom_distance(c.b, c.a), c.want) << c.b << " vs " << c.a;
  }
}

// Ranking straight on entries: the anchor spans x 100..150, y 100..120.
struct RankCase {
  const char* name;
  const char* strategy;
  std::vector<Box> candidates;
  std::optional<int> ordinal;
  std::vector<int> want;  // indexes of the entries kept, in rank order
};

class Rank : public ::testing::TestWithParam<RankCase> {};

TEST_P(Rank, KeepsAndOrdersByTheRelation) {
  const auto& c = GetParam();
  const MatrixEntry anchor = at({100, 100, 50, 20}, 99);
  std::vector<MatrixEntry> entries;
  for (size_t i = 0; i < c.candidates.size(); ++i) entries.push_back(at(c.candidates[i], static_cast<int>(i)));
  std::vector<const MatrixEntry*> pool;
  for (const auto& e : entries) pool.push_back(&e);
  std::vector<int> got;
  for (const MatrixEntry* m : GridLocator::_rank(pool, anchor, c.strategy ? std::optional<std::string>(c.strategy)
                                                                           : std::nullopt,
                                                 c.ordinal))
    got.push_back(m->index);
  EXPECT_EQ(got, c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Rank,
    ::testing::Values(
        RankCase{"right_touching_edge_counts_overlap_does_not", "right",
                 {{200, 100, 10, 20}, {150, 100, 10, 20}, {140, 100, 10, 20}}, {}, {1, 0}},
        RankCase{"right_row_slack", "right", {{300, 45, 10, 20}, {200, 35, 10, 20}}, {}, {0}},
        RankCase{"left_rightmost_edge_first", "left",
                 {{10, 100, 40, 20}, {60, 100, 40, 20}, {70, 100, 40, 20}}, {}, {1, 0}},
        RankCase{"below_column_slack", "below",
                 {{200, 130, 50, 20}, {185, 200, 10, 20}, {100, 120, 50, 20}}, {}, {2, 1}},
        RankCase{"below_overlapping_the_anchor_is_not_below", "below", {{100, 110, 50, 20}}, {}, {}},
        RankCase{"above_lowest_bottom_first", "above",
                 {{100, 10, 50, 20}, {100, 80, 50, 20}, {100, 85, 50, 20}}, {}, {1, 0}},
        RankCase{"near_by_distance", "near",
                 {{300, 100, 50, 20}, {100, 200, 50, 20}, {500, 100, 50, 20}}, {}, {1, 0}},
        RankCase{"near_exactly_300_counts", "near", {{400, 100, 50, 20}, {401, 100, 50, 20}}, {}, {0}},
        RankCase{"ties_keep_candidate_order", "below",
                 {{100, 200, 10, 10}, {120, 200, 10, 10}, {110, 150, 10, 10}}, {}, {2, 0, 1}},
        RankCase{"ordinal_takes_only_the_nth", "below",
                 {{100, 200, 10, 10}, {100, 300, 10, 10}, {100, 150, 10, 10}}, 2, {0}},
        RankCase{"ordinal_beyond_the_list_is_nothing", "below", {{100, 200, 10, 10}}, 2, {}},
        RankCase{"next_to_is_one_in_matrix_order", "next_to",
                 {{400, 100, 10, 20}, {200, 110, 10, 20}, {300, 95, 10, 20}}, {}, {0}},
        RankCase{"next_to_with_ordinal", "next_to",
                 {{400, 100, 10, 20}, {200, 110, 10, 20}, {300, 95, 10, 20}}, 3, {2}},
        RankCase{"next_to_nothing_right", "next_to", {{10, 100, 10, 20}}, {}, {}},
        RankCase{"unknown_strategy_keeps_nothing", "diagonal", {{200, 100, 10, 20}}, {}, {}},
        RankCase{"no_strategy_keeps_nothing", nullptr, {{200, 100, 10, 20}}, {}, {}},
        RankCase{"ordinal_zero_is_nothing", "right", {{200, 100, 10, 20}}, 0, {}},
        // A form: the field of the row above starts at the same x as the
        // field beside the anchor and is within the slack of the row test.
        RankCase{"right_own_row_before_the_row_above", "right",
                 {{160, 60, 250, 30}, {160, 95, 250, 30}}, {}, {1, 0}},
        RankCase{"right_own_row_beats_a_nearer_slack_entry", "right",
                 {{160, 70, 50, 20}, {400, 100, 50, 20}}, {}, {1, 0}},
        RankCase{"left_own_row_before_the_row_below", "left",
                 {{10, 130, 80, 30}, {10, 95, 80, 30}}, {}, {1, 0}},
        RankCase{"next_to_own_row_before_the_row_above", "next_to",
                 {{160, 60, 250, 30}, {160, 95, 250, 30}}, {}, {1}},
        RankCase{"next_to_second_counts_own_row_first", "next_to",
                 {{160, 60, 250, 30}, {160, 95, 250, 30}}, 2, {0}},
        RankCase{"touching_the_band_is_slack", "right",
                 {{300, 80, 10, 20}, {400, 100, 10, 20}}, {}, {1, 0}},
        RankCase{"columns_keep_their_order", "below",
                 {{60, 150, 45, 20}, {100, 200, 50, 20}}, {}, {0, 1}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
