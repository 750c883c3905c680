// Step files as the runner and check read them.
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "step_file.hpp"

using namespace plainstep::host;

namespace {

TEST(StepFile, StepsKeepTheirLineNumbersAndTheUrlIsSetApart) {
  StepFile f = parse_step_file(
      "\xEF\xBB\xBF# shop tour\r\n"
      "\r\n"
      "  URL:   site/shop.html  \r\n"
      "click second \"Add to cart\"\r\n"
      "\t# a comment, indented\n"
      "   verify text Total is visible   \n"
      "url: ignored.html\n"
      "\n",
      "tour.steps");
  EXPECT_EQ(f.path, "tour.steps");
  EXPECT_EQ(f.url, "site/shop.html");
  EXPECT_EQ(f.url_line, 3);
  ASSERT_EQ(f.steps.size(), 3u);
  EXPECT_EQ(f.steps[0].line, 4);
  EXPECT_EQ(f.steps[0].text, "click second \"Add to cart\"");
  EXPECT_EQ(f.steps[1].line, 6);
  EXPECT_EQ(f.steps[1].text, "verify text Total is visible");
  // after the first step a url: line is a step, which check reports
  EXPECT_EQ(f.steps[2].line, 7);
  EXPECT_TRUE(is_url_line(f.steps[2].text));
}

TEST(StepFile, NoUrlAndNoSteps) {
  StepFile f = parse_step_file("", "empty.steps");
  EXPECT_FALSE(f.url);
  EXPECT_EQ(f.url_line, 0);
  EXPECT_TRUE(f.steps.empty());
  EXPECT_EQ(parse_step_file("press Enter", "x").steps.at(0).text, "press Enter");
}

// The same file saved with each of the three line endings reads the same.
TEST(StepFile, EveryLineEndingEndsALine) {
  for (const char* eol : {"\n", "\r\n", "\r"}) {
    std::string e = eol;
    StepFile f = parse_step_file("url: shop.html" + e + "# tour" + e + e + "click Buy" + e + "wait 5", "t.steps");
    SCOPED_TRACE(e == "\r" ? "CR" : e == "\n" ? "LF" : "CR LF");
    EXPECT_EQ(f.url, "shop.html");
    ASSERT_EQ(f.steps.size(), 2u);
    EXPECT_EQ(f.steps[0].line, 4);
    EXPECT_EQ(f.steps[0].text, "click Buy");
    EXPECT_EQ(f.steps[1].line, 5);
  }
}

TEST(StepFile, MalformedFilesNameTheFileAndLine) {
  struct Case { const char* content; const char* message; };
  for (const Case& c : std::vector<Case>{
           {"click Save\nclick \xff\n", "t.steps:2: line is not valid UTF-8"},
           {"url:\nclick Save\n", "t.steps:1: url: line without an address"},
           {"url: a.html\n# x\nurl: b.html\n",
            "t.steps:3: second url: line (the start address is already given on line 1)"}}) {
    try {
      parse_step_file(c.content, "t.steps");
      ADD_FAILURE() << "accepted: " << c.content;
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
  EXPECT_THROW(read_step_file("/no/such/dir/t.steps"), std::invalid_argument);
}

TEST(StepArguments, DashStandsForTheLinesOfStandardInput) {
  std::istringstream in("press Tab\r\n\nwait 5");
  EXPECT_EQ(steps_from_arguments({"click A", "-", "click B"}, in),
            (std::vector<std::string>{"click A", "press Tab", "", "wait 5", "click B"}));
}

}  // namespace
