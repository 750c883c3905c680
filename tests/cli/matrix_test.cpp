// plainstep matrix and plainstep resolve --strategy spatial on a saved
// checkout page.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

#include "support/run_cli.hpp"

using plainstep::testing::run_cli;
using json = nlohmann::ordered_json;

namespace cli_matrix_test {

const std::string SNAPSHOT = std::string(PLAINSTEP_FIXTURES) + "/snapshots/spatial_checkout.json";

json parse_or_fail(const std::string& out) {
  try {
    return json::parse(out);
  } catch (const json::parse_error& e) {
    ADD_FAILURE() << "not JSON: " << out;
    return json();
  }
}

TEST(CliMatrix, PrintsEntriesInReadingOrderWithTheirRecords) {
  auto r = run_cli({"matrix", "--snapshot", SNAPSHOT});
  ASSERT_EQ(r.status, 0) << r.err;
  json m = parse_or_fail(r.out);
  ASSERT_TRUE(m.is_array());
  // Eight descriptors (one without a box) and three texts.
  ASSERT_EQ(m.size(), 10u);
  std::vector<std::string> rows;
  for (const auto& e : m)
    rows.push_back(std::to_string(e["index"].get<int>()) + " " + e["element_type"].get<std::string>() + " " +
                   std::to_string(e["order_in_type"].get<int>()) + " " + e["text"].get<std::string>());
  EXPECT_EQ(rows, (std::vector<std::string>{"0 link 1 Home", "1 link 2 Shop", "2 input 1 ", "3 button 1 Apply",
                                            "4 text 1 Email", "5 text 2 Total", "6 text 3 12.50",
                                            "7 button 2 Pay now", "8 button 3 Cancel", "9 select 1 "}));
  std::vector<std::string> keys;
  for (auto it = m[2].begin(); it != m[2].end(); ++it) keys.push_back(it.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"index", "tag", "element_type", "text", "label", "searchable",
                                            "is_enabled", "is_anchor_only", "order_in_type", "position",
                                            "element"}));
  EXPECT_EQ(m[2]["searchable"], "Email you@example.com");
  EXPECT_EQ(m[2]["position"]["x2"], 320.0);
  EXPECT_EQ(m[2]["element"]["xpath"], "/html[1]/body[1]/form[1]/input[1]");
  EXPECT_EQ(m[8]["is_enabled"], false);
  EXPECT_EQ(m[5]["is_anchor_only"], true);
}

TEST(CliMatrix, ElementListsWithAndWithoutTexts) {
  std::string dir = ::testing::TempDir();
  std::string els = dir + "/spatial_els.json", texts = dir + "/spatial_texts.json";
  std::ofstream(els) << R"([{"tag":"button","text":"B","bounding_box":{"x":0,"y":50,"width":5,"height":5}},
                            {"tag":"a","text":"A","bounding_box":{"x":9,"y":10,"width":5,"height":5}}])";
  std::ofstream(texts) << R"([{"tag":"p","text":"T","bounding_box":{"x":0,"y":0,"width":5,"height":5}}])";
  auto only = run_cli({"matrix", "--elements", els});
  ASSERT_EQ(only.status, 0) << only.err;
  json m = parse_or_fail(only.out);
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0]["text"], "A");
  auto both = run_cli({"matrix", "--elements", els, "--texts", texts});
  ASSERT_EQ(both.status, 0) << both.err;
  EXPECT_EQ(parse_or_fail(both.out)[0]["element_type"], "text");
  std::remove(els.c_str());
  std::remove(texts.c_str());
}

TEST(CliMatrix, BadInputIsStatusTwoNamingTheFile) {
  std::string bad = ::testing::TempDir() + "/spatial_bad.json";
  std::ofstream(bad) << R"({"elements": [{"tag": 7}]})";
  struct Case {
    std::vector<std::string> args;
    std::string names;
  };
  for (const Case& c : std::vector<Case>{{{"matrix", "--snapshot", "/nonexistent/snap.json"}, "/nonexistent/snap.json"},
                                         {{"matrix", "--snapshot", bad}, bad},
                                         {{"matrix", "--elements", bad}, bad},
                                         {{"matrix"}, "--snapshot"}}) {
    auto r = run_cli(c.args);
    EXPECT_EQ(r.status, 2) << c.names;
    EXPECT_NE(r.err.find(c.names), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
  std::remove(bad.c_str());
}

struct SpatialStep {
  const char* step;
  const char* xpath;  // nullptr: not resolved
  size_t candidates;
};

TEST(CliResolveSpatial, StepsResolveOverTheSnapshot) {
  const std::vector<SpatialStep> steps = {
      {"type ada@example.com into the field right of Email", "/html[1]/body[1]/form[1]/input[1]", 1},
      {"click the second button below Total", "/html[1]/body[1]/form[1]/button[3]", 1},
      {"click the link near Home", "/html[1]/body[1]/nav[1]/a[2]", 1},
      {"select Spain from the dropdown below Pay now", "/html[1]/body[1]/form[1]/select[1]", 1},
      {"click the button right of Email", "/html[1]/body[1]/form[1]/button[1]", 1},
      {"click the third button", "/html[1]/body[1]/form[1]/button[3]", 3},
      {"click the link below Country", nullptr, 0},
  };
  for (const auto& s : steps) {
    auto r = run_cli({"resolve", "--strategy", "spatial", "--step", s.step, "--snapshot", SNAPSHOT});
    ASSERT_EQ(r.status, 0) << s.step << ": " << r.err;
    json j = parse_or_fail(r.out);
    EXPECT_EQ(j["resolved"], s.xpath != nullptr) << s.step;
    if (s.xpath) {
      EXPECT_EQ(j["element"]["xpath"], s.xpath) << s.step;
    }
    EXPECT_EQ(j["candidates"].size(), s.candidates) << s.step;
  }
}

TEST(CliResolveSpatial, SpatialSuccessCarriesTheAnchorAndTypeDetails) {
  auto r = run_cli({"resolve", "--strategy", "spatial", "--step", "click the second button below Total",
                    "--snapshot", SNAPSHOT});
  ASSERT_EQ(r.status, 0) << r.err;
  json j = parse_or_fail(r.out);
  std::vector<std::string> keys;
  for (auto it = j.begin(); it != j.end(); ++it) keys.push_back(it.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"resolved", "confidence", "element", "anchor_text", "ordinal",
                                            "type_relaxed", "actual_type", "candidates"}));
  EXPECT_EQ(j["anchor_text"], "Total");
  EXPECT_EQ(j["ordinal"], 2);
  EXPECT_EQ(j["type_relaxed"], false);
  EXPECT_EQ(j["actual_type"], "button");

  // No dropdown stands on Shop's row, but a button does: the type word gives way.
  auto relaxed = run_cli({"resolve", "--strategy", "spatial", "--step", "click the dropdown right of Shop",
                          "--snapshot", SNAPSHOT});
  json k = parse_or_fail(relaxed.out);
  EXPECT_EQ(k["type_relaxed"], true) << relaxed.out;
  EXPECT_EQ(k["actual_type"], "button");
  EXPECT_EQ(k["element"]["text"], "Apply");
}

}  // namespace cli_matrix_test
