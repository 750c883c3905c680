#include <gtest/gtest.h>

#include "support/run_cli.hpp"

using plainstep::testing::run_cli;

TEST(Cli, VersionAndUsage) {
  auto v = run_cli({"--version"});
  EXPECT_EQ(v.status, 0);
  EXPECT_NE(v.out.find("plainstep "), std::string::npos);
  auto none = run_cli({});
  EXPECT_EQ(none.status, 2) << none.err;
  auto bad = run_cli({"no-such-command"});
  EXPECT_EQ(bad.status, 2);
}
