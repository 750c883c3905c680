// Which files a suite runs: folders expanded, shards sliced, files selected
// by path and tags. No browser.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "run_plan.hpp"
#include "step_file.hpp"

using namespace plainstep::host;
namespace fs = std::filesystem;

namespace {

// ---- --shard K/N -----------------------------------------------------------

struct ShardText {
  const char* text;
  std::optional<Shard> shard;  // nullopt: refused
};

class ShardParsing : public ::testing::TestWithParam<ShardText> {};

TEST_P(ShardParsing, ReadsKOfNOrSaysWhatIsWrong) {
  const auto& c = GetParam();
  if (c.shard) {
    Shard s = parse_shard(c.text);
    EXPECT_EQ(s.index, c.shard->index) << c.text;
    EXPECT_EQ(s.count, c.shard->count) << c.text;
    return;
  }
  try {
    parse_shard(c.text);
    FAIL() << "accepted " << c.text;
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("--shard must be K/N"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("'" + std::string(c.text) + "'"), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ShardParsing,
    ::testing::Values(ShardText{"1/1", Shard{1, 1}}, ShardText{"2/4", Shard{2, 4}}, ShardText{"4/4", Shard{4, 4}},
                      ShardText{"12/30", Shard{12, 30}}, ShardText{"0/2", std::nullopt},
                      ShardText{"3/2", std::nullopt}, ShardText{"1/0", std::nullopt},
                      ShardText{"-1/2", std::nullopt}, ShardText{"+1/2", std::nullopt},
                      ShardText{"a/b", std::nullopt}, ShardText{"2", std::nullopt},
                      ShardText{"/2", std::nullopt}, ShardText{"1/", std::nullopt},
                      ShardText{" 1/2", std::nullopt}, ShardText{"1/2/3", std::nullopt},
                      ShardText{"1.0/2", std::nullopt}, ShardText{"99999999999/2", std::nullopt}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

// The slices of N shards cover every file exactly once, in order, and none
// is more than one file larger than another, whatever the counts.
class ShardSlices : public ::testing::TestWithParam<int> {};

TEST_P(ShardSlices, CoverEveryFileOnceInOrderAndEvenly) {
  const int n = GetParam();
  for (size_t total = 0; total <= 25; ++total) {
    std::vector<int> covered(total, 0);
    size_t expected_first = 0, smallest = total, largest = 0;
    for (int k = 1; k <= n; ++k) {
      auto [first, last] = shard_range(total, Shard{k, n});
      ASSERT_EQ(first, expected_first) << k << "/" << n << " of " << total;
      ASSERT_LE(first, last);
      for (size_t i = first; i < last; ++i) ++covered[i];
      expected_first = last;
      smallest = std::min(smallest, last - first);
      largest = std::max(largest, last - first);
    }
    EXPECT_EQ(expected_first, total) << n << " shards of " << total;
    for (size_t i = 0; i < total; ++i) EXPECT_EQ(covered[i], 1) << "file " << i << " of " << total;
    EXPECT_LE(largest - smallest, 1u) << n << " shards of " << total;
  }
}

INSTANTIATE_TEST_SUITE_P(Counts, ShardSlices, ::testing::Values(1, 2, 3, 4, 5, 7, 30));

TEST(ShardSlices, SevenFilesInThreeShards) {
  EXPECT_EQ(shard_range(7, {1, 3}), (std::pair<size_t, size_t>{0, 3}));
  EXPECT_EQ(shard_range(7, {2, 3}), (std::pair<size_t, size_t>{3, 5}));
  EXPECT_EQ(shard_range(7, {3, 3}), (std::pair<size_t, size_t>{5, 7}));
  EXPECT_THROW(shard_range(7, {4, 3}), std::invalid_argument);
}

// ---- paths and folders -----------------------------------------------------

class PathExpansion : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = fs::path(::testing::TempDir()) / ("plainstep-paths-" + std::to_string(getpid()));
    fs::remove_all(root_);
    for (const char* f : {"b.steps", "a.steps", "sub/c.steps", "sub/deeper/d.steps", "sub/readme.txt",
                          ".hidden/h.steps", "node_modules/pkg/n.steps", "notes.txt", "other/o.steps"}) {
      fs::create_directories((root_ / f).parent_path());
      std::ofstream(root_ / f) << "url: x.html\nclick A\n";
    }
    fs::create_directories(root_ / "empty" / "inner");
    fs::create_directory_symlink(root_ / "other", root_ / "sub" / "link");
  }
  static void TearDownTestSuite() { fs::remove_all(root_); }

  // The entries as "path" or "path !error-part".
  static std::vector<std::string> expand(const std::vector<std::string>& args) {
    std::vector<std::string> out;
    for (const auto& e : expand_paths(args)) {
      std::string p = fs::path(e.path).lexically_normal().lexically_relative(root_).generic_string();
      if (e.error) p += " !" + *e.error;
      out.push_back(p + (e.in_folder ? "" : " (named)"));
    }
    return out;
  }
  static std::string at(const std::string& rel) { return (root_ / rel).string(); }
  static fs::path root_;
};
fs::path PathExpansion::root_;

TEST_F(PathExpansion, AFolderGivesEveryStepFileBelowItInPathOrder) {
  // hidden folders, node_modules and links to folders are left out
  EXPECT_EQ(expand({at("")}),
            (std::vector<std::string>{"a.steps", "b.steps", "other/o.steps", "sub/c.steps", "sub/deeper/d.steps"}));
}

TEST_F(PathExpansion, ArgumentsKeepTheirOrderAndAFileComesOnce) {
  EXPECT_EQ(expand({at("sub"), at("b.steps"), at("."), at("sub/../a.steps")}),
            (std::vector<std::string>{"sub/c.steps", "sub/deeper/d.steps", "b.steps (named)", "a.steps",
                                      "other/o.steps"}));
}

TEST_F(PathExpansion, AFileNamedIsTakenWhateverItsExtension) {
  EXPECT_EQ(expand({at("notes.txt"), at("sub/link/o.steps")}),
            (std::vector<std::string>{"notes.txt (named)", "sub/link/o.steps (named)"}));
}

TEST_F(PathExpansion, APathThatGivesNoFileIsAnErrorOfItsOwnAndTheRestStays) {
  auto got = expand({at("missing.steps"), at("empty"), at("a.steps")});
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0], "missing.steps !cannot read step file: No such file or directory (named)");
  EXPECT_EQ(got[1], "empty !no step files (*.steps) in this folder or below it (named)");
  EXPECT_EQ(got[2], "a.steps (named)");
}

// ---- --grep and --tag ------------------------------------------------------

struct SelectionCase {
  const char* path;
  std::vector<std::string> tags;
  Selection selection;
  bool selected;
};

class Selecting : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(Selecting, ByPathTagsLineAndTags) {
  const auto& c = GetParam();
  StepFile f;
  f.path = c.path;
  f.tags = c.tags;
  EXPECT_EQ(c.selection.selects(f), c.selected) << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    Files, Selecting,
    ::testing::Values(
        SelectionCase{"t/login.steps", {}, {}, true},
        SelectionCase{"t/login.steps", {}, {{"login"}, {}}, true},
        SelectionCase{"t/Login.steps", {}, {{"LOGIN"}, {}}, true},  // any case
        SelectionCase{"t/login.steps", {}, {{"checkout"}, {}}, false},
        SelectionCase{"t/pay.steps", {"smoke", "checkout"}, {{"checkout"}, {}}, true},  // the tags line
        SelectionCase{"t/pay.steps", {"smoke"}, {{"check", "nothing"}, {}}, false},
        SelectionCase{"t/pay.steps", {"smoke"}, {{"nothing", "pay"}, {}}, true},  // any grep text
        SelectionCase{"t/pay.steps", {"smoke", "checkout"}, {{}, {"Smoke"}}, true},
        SelectionCase{"t/smoke.steps", {}, {{}, {"smoke"}}, false},  // a tag is no path
        SelectionCase{"t/pay.steps", {"smoketest"}, {{}, {"smoke"}}, false},  // whole tags only
        SelectionCase{"t/pay.steps", {"smoke"}, {{}, {"slow", "smoke"}}, true},
        SelectionCase{"t/pay.steps", {"smoke"}, {{"login"}, {"smoke"}}, false},  // both must hold
        SelectionCase{"t/login.steps", {"smoke"}, {{"login"}, {"smoke"}}, true}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

// ---- "# tags:" lines -------------------------------------------------------

struct TagsLine {
  const char* line;
  std::optional<std::vector<std::string>> tags;
};

class TagsLines : public ::testing::TestWithParam<TagsLine> {};

TEST_P(TagsLines, AreReadFromCommentsOnly) {
  EXPECT_EQ(tags_of_line(GetParam().line), GetParam().tags) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TagsLines,
    ::testing::Values(TagsLine{"# tags: smoke checkout", std::vector<std::string>{"smoke", "checkout"}},
                      TagsLine{"#tags:a,b", std::vector<std::string>{"a", "b"}},
                      TagsLine{"# Tags: Slow,  nightly ,", std::vector<std::string>{"Slow", "nightly"}},
                      TagsLine{"# tags:", std::vector<std::string>{}},
                      TagsLine{"# tag: smoke", std::nullopt}, TagsLine{"# a comment", std::nullopt},
                      TagsLine{"tags: smoke", std::nullopt}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(TagsLines, OnlyBeforeTheFirstStepAndAllOfThem) {
  StepFile f = parse_step_file("# tags: smoke\n# about the file\n#tags: checkout\nurl: a.html\nclick A\n"
                               "# tags: late\nclick B\n",
                               "t.steps");
  EXPECT_EQ(f.tags, (std::vector<std::string>{"smoke", "checkout"}));
  EXPECT_EQ(f.steps.size(), 2u);
}

}  // namespace
