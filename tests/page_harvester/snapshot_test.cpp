// Snapshot files: off by default, written whole under a fresh name, and
// holding exactly the records the extraction returned.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "browser.hpp"
#include "browser/page_harvester/page_harvester.hpp"
#include "config.hpp"

namespace plainstep {
namespace {

namespace fs = std::filesystem;

class Snapshot : public testing::BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    dir = fs::temp_directory_path() / ("plainstep_snap_" + std::to_string(getpid()));
    fs::remove_all(dir);
    saved_on = settings::SAVE_SNAPSHOTS;
    saved_path = settings::LOG_PATH;
  }
  void TearDown() override {
    settings::SAVE_SNAPSHOTS = saved_on;
    settings::LOG_PATH = saved_path;
    fs::remove_all(dir);
    BrowserTest::TearDown();
  }
  static std::string read(const fs::path& p) {
    std::ifstream f(p);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  std::vector<fs::path> files() const {
    std::vector<fs::path> out;
    if (fs::exists(dir))
      for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
  }
  fs::path dir;
  bool saved_on = false;
  std::string saved_path;
};

TEST_F(Snapshot, OffWritesNothing) {
  open("text.html");
  settings::SAVE_SNAPSHOTS = false;
  settings::LOG_PATH = (dir / "logs").string();
  ::testing::internal::CaptureStdout();
  PageHarvester(page, Extraction::fast).extract_interactable_elements();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(fs::exists(dir));
}

TEST_F(Snapshot, ContentNameAndNotice) {
  open("native.html");
  settings::SAVE_SNAPSHOTS = true;
  settings::LOG_PATH = (dir / "logs").string();
  ::testing::internal::CaptureStdout();
  auto [els, texts] = PageHarvester(page, Extraction::fast).extract_interactable_elements();
  std::string out = ::testing::internal::GetCapturedStdout();
  auto written = files();
  ASSERT_EQ(fs::exists(dir / "logs"), true);
  std::vector<fs::path> snaps;
  for (const auto& e : fs::directory_iterator(dir / "logs")) snaps.push_back(e.path());
  ASSERT_EQ(snaps.size(), 1u) << "no temporary file is left behind";
  std::string name = snaps[0].filename().string();
  // 15-character time stamp, "_", the slug of the file:// address, ".json".
  EXPECT_EQ(name[8], '_');
  EXPECT_EQ(name.substr(15, 7), "_file__");
  EXPECT_TRUE(name.ends_with(".json"));
  EXPECT_EQ(out, "  [DOM snapshot saved \u2192 " + snaps[0].string() + "]\n");
  std::string text = read(snaps[0]);
  json j = json::parse(text);
  EXPECT_EQ(j.dump(2, ' ', true) + "\n", text) << "two-space indent, ASCII only";
  EXPECT_NE(text.find("Caf\\u00e9"), std::string::npos);
  EXPECT_EQ(j["url"], page->url());
  EXPECT_EQ(j["elements"], to_json(els));
  EXPECT_EQ(j["text_elements"], to_json(texts));
}

TEST_F(Snapshot, SameSecondGetsTheNextFreeName) {
  open("text.html");
  settings::SAVE_SNAPSHOTS = true;
  settings::LOG_PATH = dir.string();
  PageHarvester h(page, Extraction::fast);
  for (int attempt = 0; attempt < 3; ++attempt) {
    fs::remove_all(dir);
    ::testing::internal::CaptureStdout();
    for (int i = 0; i < 3; ++i) h._save_snapshot({}, {});
    std::string out = ::testing::internal::GetCapturedStdout();
    auto got = files();
    ASSERT_EQ(got.size(), 3u) << "no snapshot replaces another";
    std::string first = got[0].stem().string();
    if (got[1].stem().string() != first + "_2") continue;  // the second changed meanwhile
    EXPECT_EQ(got[2].stem().string(), first + "_3");
    EXPECT_NE(out.find(got[2].string() + "]"), std::string::npos) << "the notice names the file written";
    return;
  }
  ADD_FAILURE() << "three snapshots never fell in one second";
}

TEST_F(Snapshot, RelativeFolderAndUnwritableFolder) {
  open("text.html");
  settings::SAVE_SNAPSHOTS = true;
  fs::create_directories(dir);
  auto cwd = fs::current_path();
  fs::current_path(dir);
  settings::LOG_PATH = "rel/logs";
  ::testing::internal::CaptureStdout();
  PageHarvester(page, Extraction::fast).extract_interactable_elements();
  ::testing::internal::GetCapturedStdout();
  fs::current_path(cwd);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "rel" / "logs"), fs::directory_iterator()), 1);

  std::ofstream(dir / "plain-file") << "x";
  settings::LOG_PATH = (dir / "plain-file" / "logs").string();
  ::testing::internal::CaptureStdout();
  EXPECT_ANY_THROW(PageHarvester(page, Extraction::fast).extract_interactable_elements());
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

}  // namespace
}  // namespace plainstep
