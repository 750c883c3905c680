// plainstep parse and validate: steps in, JSON lines out.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/run_cli.hpp"

using plainstep::testing::run_cli;
using json = nlohmann::ordered_json;

namespace cli_parse_test {

std::vector<std::string> lines_of(const std::string& out) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < out.size()) {
    size_t end = out.find('\n', at);
    if (end == std::string::npos) end = out.size();
    lines.push_back(out.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

TEST(CliParse, OneJsonLinePerStep) {
  auto r = run_cli({"parse", "click second \"Add to cart\"", "accept dialog"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(lines_of(r.out),
            (std::vector<std::string>{
                R"({"action":"click","target":"Add to cart","value":null,"ordinal":2,"_literal_target":true})",
                R"({"action":"accept_dialog","target":null,"value":null,"_literal_target":false})"}));
}

TEST(CliParse, AFailedStepIsAnErrorLineAndStatusTwo) {
  auto r = run_cli({"parse", "click Save", "jump", "type into X", "wait 5"});
  EXPECT_EQ(r.status, 2);
  auto lines = lines_of(r.out);
  ASSERT_EQ(lines.size(), 4u) << r.out;
  EXPECT_EQ(json::parse(lines[0])["action"], "click");
  for (int i : {1, 2}) {
    auto error = json::parse(lines[i]);
    ASSERT_EQ(error.size(), 1u) << lines[i];
    EXPECT_EQ(error["error"].get<std::string>().rfind("Unrecognised instruction: '", 0), 0u)
        << lines[i];
  }
  EXPECT_EQ(json::parse(lines[3])["target"], "5");
}

TEST(CliParse, DashReadsOneStepPerLineOfStandardInput) {
  auto r = run_cli({"parse", "-"}, "click Save\r\npress Enter\n\nhover İstanbul\n");
  EXPECT_EQ(r.status, 2) << r.err;  // the blank line is a step and does not parse
  auto lines = lines_of(r.out);
  ASSERT_EQ(lines.size(), 4u) << r.out;
  EXPECT_EQ(json::parse(lines[0])["target"], "Save");
  EXPECT_EQ(json::parse(lines[1])["target"], "Enter");
  EXPECT_TRUE(json::parse(lines[2]).contains("error"));
  EXPECT_EQ(json::parse(lines[3])["target"], "İstanbul");
  EXPECT_EQ(run_cli({"parse", "-"}, "click Save\nwait 10").status, 0);
}

TEST(CliParse, StepThatIsNotUtf8IsAnErrorNotACrash) {
  auto r = run_cli({"parse", "click \xff"});
  EXPECT_EQ(r.status, 2);
  auto line = json::parse(lines_of(r.out).at(0));
  EXPECT_NE(line["error"].get<std::string>().find("not valid UTF-8"), std::string::npos);
}

TEST(CliParse, NoStepsIsAUsageError) {
  auto r = run_cli({"parse"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.out.empty() || r.out.find("action") == std::string::npos);
}

TEST(CliValidate, IssuesKeyedByStepNumber) {
  auto r = run_cli({"validate", "click Save", "", "wait x"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(json::parse(r.out),
            json::parse(R"({"2":["Instruction is empty."],)"
                        R"("3":["`wait` value must be a number in milliseconds. Got: 'x'"]})"));
  auto clean = run_cli({"validate", "click Save", "select Red from Colour"});
  EXPECT_EQ(clean.status, 0) << clean.err;
  EXPECT_EQ(json::parse(clean.out), json::object());
}

TEST(CliValidate, EveryFaultyStepIsReported) {
  auto r = run_cli({"validate", "-"}, "type into X\nclick \xff\nselect Red Colour\n");
  EXPECT_EQ(r.status, 1) << r.err;
  auto found = json::parse(r.out);
  EXPECT_EQ(found.size(), 3u) << r.out;
  EXPECT_EQ(found["2"], json::parse(R"(["Instruction is not valid UTF-8."])"));
}

}  // namespace cli_parse_test
