// plainstep check: step files in, FILE:LINE: message lines and a count out.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/run_cli.hpp"

using plainstep::testing::run_cli;
namespace fs = std::filesystem;

namespace cli_check_test {

class CliCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("plainstep-check-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string write(const std::string& name, const std::string& content) {
    fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }

  fs::path dir_;
};

TEST_F(CliCheck, CleanFilesGiveACountAndStatusZero) {
  std::string a = write("a.steps", "url: site/index.html\n# sign in\n\nclick Login\n");
  std::string b = write("b.steps", "\xEF\xBB\xBFpress Enter\r\n  wait 500  \r\n");
  auto r = run_cli({"check", a, b});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "no issues in 2 files\n");
}

TEST_F(CliCheck, IssuesCarryTheLineNumberInTheFile) {
  std::string f = write("t.steps",
                        "url: site/index.html\n"
                        "\n"
                        "# comment\n"
                        "click Save\n"
                        "wait 1.5\n"
                        "   \t\n"
                        "jump now\n"
                        "verify the Login button\n");
  auto r = run_cli({"check", f});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.out,
            f + ":5: `wait` value must be a number in milliseconds. Got: '1.5'\n" +
            f + ":7: Unknown action 'jump'. Expected one of: click, type, verify, hover, select, "
                "press, wait, find, extract, sendkeys.\n" +
            f + ":8: `verify` instruction missing state. Expected ending: is present | is visible "
                "| is enabled | is disabled\n"
                "3 issues in 1 file\n");
}

TEST_F(CliCheck, MisplacedUrlAndEmptyFilesAreIssues) {
  std::string late = write("late.steps", "click Save\nurl: site/shop.html\n");
  std::string empty = write("empty.steps", "# nothing yet\n\n");
  auto r = run_cli({"check", late, empty});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.out.find(late + ":2: url: line after the first step"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(empty + ":1: no steps"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("2 issues in 2 files\n"), std::string::npos) << r.out;
}

TEST_F(CliCheck, UnreadableFileIsNamedAndTheOthersAreStillChecked) {
  std::string good = write("good.steps", "wait x\n");
  std::string bad_utf8 = write("bad.steps", "click Save\nclick \xff\n");
  std::string twice = write("twice.steps", "url: a.html\nurl: b.html\nclick Save\n");
  std::string missing = (dir_ / "missing.steps").string();
  fs::create_directories(dir_ / "empty");
  auto r = run_cli({"check", missing, good, bad_utf8, twice, (dir_ / "empty").string()});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find(missing + ": cannot read step file: No such file"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(bad_utf8 + ":2: line is not valid UTF-8"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(twice + ":2: second url: line"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find((dir_ / "empty").string() + ": no step files (*.steps) in this folder or below it"),
            std::string::npos) << r.err;
  EXPECT_EQ(r.out, good + ":1: `wait` value must be a number in milliseconds. Got: 'x'\n"
                   "1 issue in 1 file; 4 files could not be read\n");
}

TEST_F(CliCheck, TheExampleStepFilesAreClean) {
  std::vector<std::string> args{"check"};
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(PLAINSTEP_SOURCE_DIR) / "examples"))
    if (entry.path().extension() == ".steps") args.push_back(entry.path().string()), ++files;
  ASSERT_GT(files, 1u);
  auto r = run_cli(args);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  // the folder gives the same files: its shared steps are checked through them
  auto folder = run_cli({"check", (fs::path(PLAINSTEP_SOURCE_DIR) / "examples").string()});
  EXPECT_EQ(folder.status, 0) << folder.out << folder.err;
  EXPECT_EQ(folder.out, "no issues in " + std::to_string(files) + " files\n");
}

// A shared step file found in a folder is checked where it runs, with what
// the files before it remembered; alone it would use a variable nothing sets.
TEST_F(CliCheck, AFolderChecksSharedStepsThroughTheFilesThatRunThem) {
  fs::create_directories(dir_ / "suite" / "shared");
  write("suite/order.steps", "url: a.html\nremember text right of Order as ORDER\nrun shared/use.steps\n");
  write("suite/shared/use.steps", "type ${ORDER} into Notes\n");
  auto r = run_cli({"check", (dir_ / "suite").string()});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "no issues in 1 file\n");
  auto alone = run_cli({"check", (dir_ / "suite" / "shared" / "use.steps").string()});
  EXPECT_EQ(alone.status, 1) << alone.out;
  EXPECT_NE(alone.out.find("unknown variable ${ORDER}"), std::string::npos) << alone.out;
}

}  // namespace cli_check_test
