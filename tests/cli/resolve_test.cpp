// plainstep resolve: one step against saved page records, printed as JSON.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include <nlohmann/json.hpp>

#include "support/run_cli.hpp"

using plainstep::testing::run_cli;
using json = nlohmann::ordered_json;

namespace cli_resolve_test {

const std::string SHOP = std::string(PLAINSTEP_FIXTURES) + "/snapshots/shop.json";
const std::string SHOP_ELEMENTS = std::string(PLAINSTEP_FIXTURES) + "/snapshots/shop_elements.json";
const std::string SHOP_TEXTS = std::string(PLAINSTEP_FIXTURES) + "/snapshots/shop_texts.json";

json resolve_ok(const std::vector<std::string>& args) {
  std::vector<std::string> full{"resolve"};
  full.insert(full.end(), args.begin(), args.end());
  auto r = run_cli(full);
  EXPECT_EQ(r.status, 0) << r.err;
  try {
    return json::parse(r.out);
  } catch (const json::exception&) {
    ADD_FAILURE() << "not JSON: " << r.out;
    return json();
  }
}

std::string temp_file(const std::string& name, const std::string& content) {
  std::string path = ::testing::TempDir() + "/" + name;
  std::ofstream(path) << content;
  return path;
}

TEST(CliResolve, ChosenElementAndCandidatesInFull) {
  json r = resolve_ok({"--step", "click second Add to cart", "--snapshot", SHOP});
  EXPECT_EQ(r["resolved"], true);
  EXPECT_EQ(r["confidence"], 1.0);
  EXPECT_EQ(r["element"]["attributes"]["data-testid"], "add-mug");
  EXPECT_EQ(r["element"]["xpath"], "/html[1]/body[1]/main[1]/div[1]/article[2]/button[1]");
  ASSERT_EQ(r["candidates"].size(), 3u);
  EXPECT_EQ(r["candidates"][2]["bounding_box"], (json{{"x", 640}, {"y", 420}, {"width", 120},
                                                       {"height", 32}}));
}

TEST(CliResolve, AStepThatResolvesNothingStillExitsZero) {
  json r = resolve_ok({"--step", "click fifth Add to cart", "--snapshot", SHOP});
  EXPECT_EQ(r, (json{{"resolved", false}, {"confidence", 0.0}, {"element", nullptr},
                     {"candidates", json::array()}}));
}

TEST(CliResolve, ElementsAndTextsFilesWorkLikeASnapshot) {
  const std::string step = "verify text right of Total is 16.50";
  json from_snapshot = resolve_ok({"--step", step, "--snapshot", SHOP});
  json from_lists = resolve_ok({"--step", step, "--elements", SHOP_ELEMENTS, "--texts", SHOP_TEXTS});
  EXPECT_EQ(from_snapshot["verified"], true);
  EXPECT_EQ(from_snapshot["state"], (json{{"expected", "16.50"}, {"actual", "$16.50"}}));
  EXPECT_EQ(from_lists, from_snapshot);
  // Without texts the spatial check finds no anchor.
  json no_texts = resolve_ok({"--step", step, "--elements", SHOP_ELEMENTS});
  EXPECT_EQ(no_texts["resolved"], false);
}

// The demo sign-in page as the runner reads it.
const std::string SIGNIN = std::string(PLAINSTEP_FIXTURES) + "/run/signin_page.json";
const std::string FORM = "/html[1]/body[1]/main[1]/form[1]/";

struct AutoCase {
  const char* step;
  const char* strategy;  // nullptr: the default
  const char* xpath;     // nullptr: not resolved
};

class CliResolveAuto : public ::testing::TestWithParam<AutoCase> {};

TEST_P(CliResolveAuto, RoutesAsTheRunnerDoes) {
  const auto& c = GetParam();
  std::vector<std::string> args{"--step", c.step, "--snapshot", SIGNIN};
  if (c.strategy) args.insert(args.end(), {"--strategy", c.strategy});
  json r = resolve_ok(args);
  if (!c.xpath) {
    EXPECT_EQ(r["resolved"], false) << r.dump();
    return;
  }
  ASSERT_EQ(r["resolved"], true) << r.dump();
  std::string want = c.xpath[0] == '/' ? c.xpath : FORM + c.xpath;
  EXPECT_EQ(r["element"]["xpath"], want) << c.step;
}

INSTANTIATE_TEST_SUITE_P(
    SignInPage, CliResolveAuto,
    ::testing::Values(
        // the Email field's row lies within the row slack of the Password caption
        AutoCase{"type secret into the field right of Password", nullptr, "div[2]/input[1]"},
        AutoCase{"type secret into the field right of Password", "spatial", "div[2]/input[1]"},
        AutoCase{"type x into the field next to Email", nullptr, "div[1]/input[1]"},
        // a checkbox is clicked by its label; text matching alone does not count labels
        AutoCase{"click I accept the terms", nullptr, "div[8]/input[1]"},
        AutoCase{"click \"Remember me\"", nullptr, "div[7]/input[1]"},
        AutoCase{"click I accept the terms", "lexical", nullptr},
        AutoCase{"verify the Remember me checkbox is enabled", nullptr, "div[7]/input[1]"},
        // buttons keep their own text ahead of any label they were given
        AutoCase{"click Login", nullptr, "div[9]/button[1]"},
        AutoCase{"click the second button", nullptr, "div[9]/button[2]"},
        // plain text with a tooltip is hovered; clicking it finds nothing
        AutoCase{"hover Help", nullptr, "/html[1]/body[1]/header[1]/span[1]"},
        AutoCase{"click Help", nullptr, nullptr},
        AutoCase{"click Nothing like this", nullptr, nullptr}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(CliResolve, StrategyByName) {
  json r = resolve_ok({"--step", "click Save", "--snapshot", SHOP, "--strategy", "lexical"});
  EXPECT_EQ(r["element"]["text"], "Save");
  auto bad = run_cli({"resolve", "--step", "click Save", "--snapshot", SHOP, "--strategy", "fuzzy"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("unknown strategy 'fuzzy'"), std::string::npos) << bad.err;
  EXPECT_NE(bad.err.find("lexical"), std::string::npos) << bad.err;
  EXPECT_TRUE(bad.out.empty());
}

struct BadInputCase {
  const char* name;
  std::vector<std::string> args;
  std::string message;  // part of the error
};

class CliResolveBadInput : public ::testing::TestWithParam<BadInputCase> {};

TEST_P(CliResolveBadInput, ExitsTwoWithAMessageNamingTheProblem) {
  const auto& c = GetParam();
  std::vector<std::string> full{"resolve"};
  full.insert(full.end(), c.args.begin(), c.args.end());
  auto r = run_cli(full);
  EXPECT_EQ(r.status, 2) << c.name << ": " << r.out;
  EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
  EXPECT_TRUE(r.out.empty()) << c.name;
}

const std::string MISSING = "/nonexistent/shop.json";

INSTANTIATE_TEST_SUITE_P(
    Table, CliResolveBadInput,
    ::testing::Values(
        BadInputCase{"step does not parse", {"--step", "jump around", "--snapshot", SHOP},
                     "Unrecognised instruction"},
        BadInputCase{"step names nothing", {"--step", "accept dialog", "--snapshot", SHOP},
                     "names no element or text"},
        BadInputCase{"unreadable file", {"--step", "click Save", "--snapshot", MISSING}, MISSING},
        BadInputCase{"no records given", {"--step", "click Save"}, "--snapshot"},
        BadInputCase{"not JSON",
                     {"--step", "click Save", "--snapshot", temp_file("broken.json", "{\"url\": ")},
                     "broken.json: not valid JSON"},
        BadInputCase{"record of the wrong kind",
                     {"--step", "click Save", "--elements",
                      temp_file("wrong.json", R"([{"tag": "a", "text": "A"}, {"tag": 3}])")},
                     "wrong.json: record 1: element field 'tag' must be a string"},
        BadInputCase{"snapshot without elements",
                     {"--step", "click Save", "--snapshot", temp_file("empty.json", "{}")},
                     "empty.json"}));

}  // namespace cli_resolve_test
