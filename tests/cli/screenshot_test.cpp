#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "support/run_cli.hpp"

using plainstep::testing::run_cli;

namespace cli_screenshot_test {

std::string fixture(const std::string& name) {
  return std::string("file://") + PLAINSTEP_FIXTURES + "/session/" + name;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Width and height from a PNG's IHDR chunk; -1 when it is no PNG.
std::pair<long, long> png_size(const std::string& png) {
  if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {-1, -1};
  auto be = [&](size_t at) {
    long v = 0;
    for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(png[at + i]);
    return v;
  };
  return {be(16), be(20)};
}

const std::string OUT = std::string(PLAINSTEP_BINARY_DIR) + "/cli_screenshot_test.png";

TEST(ScreenshotCli, SavesAPngOfTheRequestedViewport) {
  std::remove(OUT.c_str());
  auto r = run_cli({"screenshot", fixture("basic.html"), OUT, "--viewport", "640x480"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("saved " + OUT), std::string::npos) << r.out;
  EXPECT_EQ(png_size(slurp(OUT)), std::make_pair(640L, 480L));

  r = run_cli({"screenshot", fixture("basic.html"), OUT, "--viewport", "640x480", "--full-page"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto full = png_size(slurp(OUT));
  EXPECT_EQ(full.first, 640);
  EXPECT_GT(full.second, 3000);
  std::remove(OUT.c_str());
}

struct Failing {
  std::vector<std::string> args;
  int status;
  const char* says;
};

TEST(ScreenshotCli, FailuresSayWhatWentWrong) {
  const Failing rows[] = {
      {{"screenshot", fixture("missing.html"), OUT}, 1, "net::ERR_FILE_NOT_FOUND"},
      {{"screenshot", fixture("basic.html"), OUT, "--viewport", "wide"}, 2, "'wide'"},
      {{"screenshot", fixture("basic.html"), "/no/such/folder/shot.png"}, 2, "/no/such/folder/shot.png"},
      {{"screenshot", fixture("basic.html")}, 2, "file"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.args.back());
    auto r = run_cli(row.args);
    EXPECT_EQ(r.status, row.status) << r.err;
    EXPECT_NE(r.err.find(row.says), std::string::npos) << r.err;
  }
  std::remove(OUT.c_str());
}

}  // namespace cli_screenshot_test
