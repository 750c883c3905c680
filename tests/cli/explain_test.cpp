// plainstep explain on the live demo sign-in page: for each step the parsed
// instruction, the route, the result and its candidates, and a screenshot.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/run_cli.hpp"

using plainstep::testing::CliResult;
using plainstep::testing::names_element;
using plainstep::testing::run_cli;
namespace fs = std::filesystem;

namespace cli_explain_test {

const fs::path ROOT = plainstep::testing::repo_root();

// The block explain prints for step `n`, up to the next step.
std::string block_of(const std::string& out, int n) {
  std::string head = "step " + std::to_string(n) + ": ";
  size_t from = out.find(head);
  if (from == std::string::npos) return "";
  size_t to = out.find("\nstep " + std::to_string(n + 1) + ": ", from);
  return out.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

struct ExplainRun {
  std::string shot = (fs::path(::testing::TempDir()) / "plainstep-explain.png").string();
  CliResult result;
  ExplainRun() {
    fs::remove(shot);
    result = run_cli({"explain", "--url", "examples/site/index.html", "--timeout", "2500",
                      "--screenshot", shot, "type secret into the field right of Password",
                      "click I accept the terms", "click Sign out"},
                     "", {}, ROOT.string());
  }
  ~ExplainRun() { fs::remove(shot); }
};

const ExplainRun& run() {
  static ExplainRun r;
  return r;
}

TEST(Explain, SpatialStepShowsParseRouteAnchorAndCandidates) {
  std::string b = block_of(run().result.out, 1);
  ASSERT_NE(b, "") << run().result.out << run().result.err;
  for (const char* want :
       {"parsed:     {\"action\":\"type\",\"target\":\"field right of Password\",\"value\":\"secret\"",
        "grid given: 'field right of Password'", "route:      spatial (grid)", "resolved:   yes",
        "element:    input [aria-label=Password] at (160, 165)  /html[1]/body[1]/main[1]/form[1]/div[2]/input[1]",
        "anchor:     'Password', ordinal 1, type input",
        // the caption's own row first, the Email field of the row above second
        "1. input [aria-label=Password]", "2. input [_label=Email]", "outcome:    PASS"})
    EXPECT_TRUE(names_element(b, want)) << want << "\n" << b;
}

TEST(Explain, FieldFoundByItsLabelSaysSo) {
  std::string b = block_of(run().result.out, 2);
  EXPECT_NE(b.find("route:      lexical (no element shows the words; the field they label)"),
            std::string::npos)
      << b;
  EXPECT_NE(b.find("element:    input [_label=I accept the terms]"), std::string::npos) << b;
  EXPECT_NE(b.find("outcome:    PASS"), std::string::npos) << b;
}

TEST(Explain, AMissFailsWithTheClosestCandidatesAndExitsOne) {
  EXPECT_EQ(run().result.status, 1) << run().result.err;
  std::string b = block_of(run().result.out, 3);
  EXPECT_NE(b.find("resolved:   no"), std::string::npos) << b;
  EXPECT_NE(b.find("candidates: 0"), std::string::npos) << b;
  EXPECT_NE(b.find("outcome:    FAIL"), std::string::npos) << b;
  EXPECT_NE(b.find("found no 'Sign out' within 2500 ms"), std::string::npos) << b;
  EXPECT_NE(b.find("closest candidates:"), std::string::npos) << b;
  EXPECT_NE(b.find("a 'Sign in'"), std::string::npos) << b;
}

TEST(Explain, ScreenshotIsAPng) {
  EXPECT_NE(run().result.out.find("screenshot: " + run().shot), std::string::npos) << run().result.out;
  std::ifstream png(run().shot, std::ios::binary);
  char magic[8] = {};
  png.read(magic, 8);
  EXPECT_EQ(std::string(magic + 1, 3), "PNG");
}

TEST(Explain, NeedsAnAddressThatExists) {
  auto r = run_cli({"explain", "--url", "examples/site/missing.html", "click Login"}, "", {},
                   ROOT.string());
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_NE(r.err.find("missing.html"), std::string::npos) << r.err;
}

}  // namespace cli_explain_test
