// Files are written whole or not at all: a failed write keeps the file
// that was there before and leaves no temporary file behind.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "file_write.hpp"

namespace plainstep::host {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FileWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) / ("plainstep_write_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  // Everything in the folder: a leftover temporary file shows up here.
  std::vector<std::string> listing() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path dir_;
};

TEST_F(FileWrite, WritesAndReplacesWholeFilesAndLeavesNoTemporaryFile) {
  fs::path target = dir_ / "report.xml";
  write_file_whole(target.string(), "first");
  EXPECT_EQ(slurp(target), "first");
  std::string big(1 << 20, 'x');
  write_file_whole(target.string(), big);
  EXPECT_EQ(slurp(target), big);
  write_file_whole(target.string(), "");
  EXPECT_EQ(slurp(target), "");
  EXPECT_EQ(listing(), (std::vector<std::string>{"report.xml"}));
}

TEST_F(FileWrite, NewFilesGetTheUsualPermissions) {
  fs::path target = dir_ / "shot.png";
  write_file_whole(target.string(), "png");
  mode_t mask = ::umask(022);
  ::umask(mask);
  ASSERT_EQ(mask, 022) << "the test expects the usual umask";
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read);
}

struct Refusal {
  const char* name;
  std::string (*target)(const fs::path& dir);
  const char* reason;
};

class FileWriteRefusals : public FileWrite, public ::testing::WithParamInterface<Refusal> {};

TEST_P(FileWriteRefusals, SayWhichFileAndWhy) {
  std::string target = GetParam().target(dir_);
  try {
    write_file_whole(target, "content");
    FAIL() << "wrote " << target;
  } catch (const std::runtime_error& e) {
    std::string msg = e.what();
    EXPECT_NE(msg.find("cannot write '" + target + "'"), std::string::npos) << msg;
    EXPECT_NE(msg.find(GetParam().reason), std::string::npos) << msg;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FileWriteRefusals,
    ::testing::Values(
        Refusal{"missing_folder", [](const fs::path& d) { return (d / "nope" / "a.json").string(); },
                "No such file or directory"},
        Refusal{"folder_in_the_way",
                [](const fs::path& d) {
                  fs::create_directories(d / "taken");
                  return (d / "taken").string();
                },
                "it is a folder"},
        Refusal{"file_as_folder",
                [](const fs::path& d) {
                  std::ofstream(d / "plain") << "x";
                  return (d / "plain" / "a.json").string();
                },
                "Not a directory"}),
    [](const auto& info) { return std::string(info.param.name); });

// A full disk, as the file-size limit makes one: the write fails half way.
// Run in a child, so the limit binds nobody else.
TEST_F(FileWrite, AFailedWriteKeepsThePreviousFileIntact) {
  fs::path target = dir_ / "junit.xml";
  std::ofstream(target) << "<previous report/>";
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);  // the write returns EFBIG instead of killing
    rlimit lim{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &lim);
    try {
      write_file_whole(target.string(), std::string(100000, 'y'));
      _exit(3);  // written in spite of the limit
    } catch (const std::runtime_error& e) {
      _exit(std::string(e.what()).find("File too large") != std::string::npos ? 0 : 4);
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "3: written anyway, 4: the message lacks the reason";
  EXPECT_EQ(slurp(target), "<previous report/>");
  EXPECT_EQ(listing(), (std::vector<std::string>{"junit.xml"}));
}

}  // namespace
}  // namespace plainstep::host
