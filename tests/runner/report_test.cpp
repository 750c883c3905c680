#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <pugixml.hpp>

#include "run_closest.hpp"
#include "run_report.hpp"

using namespace plainstep;
using namespace plainstep::host;

namespace {

ElementRef el(const char* tag, const char* text, AttributeMap attrs = {}) {
  Element e;
  e.tag = tag;
  e.text = text;
  e.attributes = std::move(attrs);
  e.bounding_box = Box{120.4, 339.6, 80, 30};
  return make_element(e);
}

TEST(Report, DescribesAnElementByTagTextAndPosition) {
  EXPECT_EQ(describe_element(*el("button", "Login")), "button 'Login' at (120, 340)");
  EXPECT_EQ(describe_element(*el("input", "", {{"id", "email"}, {"_label", "Email"}})),
            "input [_label=Email] at (120, 340)");
  auto long_text = describe_element(*el("p", "one two three four five six seven eight nine ten"));
  EXPECT_NE(long_text.find("..."), std::string::npos);
}

TEST(Report, StepLineAndSummary) {
  StepReport pass{1, 2, "click Login", StepStatus::pass, 0.214, "button 'Login' at (1, 2)", {}};
  StepReport fail{2, 3, "click Logout", StepStatus::fail, 5.0, "", {"looked for: 'Logout'"}};
  StepReport skip{3, 4, "accept dialog", StepStatus::skip, 0, "", {}};
  std::ostringstream o;
  for (auto* s : {&pass, &fail, &skip}) print_step(o, *s);
  EXPECT_EQ(o.str(),
            "  1  click Login  PASS  0.21s  button 'Login' at (1, 2)\n"
            "  2  click Logout  FAIL  5.00s\n"
            "       looked for: 'Logout'\n"
            "  3  accept dialog  SKIP\n");

  FileReport good{"a.steps", "u", {pass}, std::nullopt, 1};
  FileReport bad{"b.steps", "u", {pass, fail, skip}, std::nullopt, 6};
  FileReport broken{"c.steps", "u", {}, std::string("browser failed"), 0};
  std::ostringstream sum;
  print_summary(sum, {good, bad, broken}, 7.5);
  EXPECT_EQ(sum.str(), "1 passed, 2 failed\ntotal 7.50s\n");
  EXPECT_EQ(bad.failure_message(), "step 2 (line 3) failed: click Logout: looked for: 'Logout'");
}

TEST(Report, JunitParsesWithOneCasePerFile) {
  StepReport pass{1, 2, "type <a&b> into \"Name\"", StepStatus::pass, 0.1, "", {}};
  StepReport fail{2, 3, "click Logout", StepStatus::fail, 5.0, "", {"found nothing"}};
  std::vector<FileReport> files{{"a.steps", "u", {pass}, std::nullopt, 1},
                                {"b.steps", "u", {pass, fail}, std::nullopt, 6}};
  auto path = std::filesystem::temp_directory_path() / "plainstep-runner-junit.xml";
  write_junit(path.string(), files, 7);
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_file(path.c_str()));
  auto suite = doc.child("testsuite");
  EXPECT_EQ(suite.attribute("tests").as_int(), 2);
  EXPECT_EQ(suite.attribute("failures").as_int(), 1);
  auto first = suite.child("testcase");
  EXPECT_STREQ(first.attribute("name").value(), "a.steps");
  EXPECT_FALSE(first.child("failure"));
  EXPECT_NE(std::string(first.child_value("system-out")).find("type <a&b> into \"Name\""),
            std::string::npos);
  auto second = first.next_sibling("testcase");
  EXPECT_STREQ(second.child("failure").attribute("message").value(),
               "step 2 (line 3) failed: click Logout: found nothing");
  std::filesystem::remove(path);
  EXPECT_THROW(write_junit("/nonexistent-dir/x.xml", files, 1), std::runtime_error);
}

// Step and page texts can hold anything: the terminal never gets a raw
// control character, XML never one it forbids, and both say where one was.
TEST(Report, ControlCharactersShownNotObeyed) {
  struct Case {
    std::string in, terminal, xml;
  };
  for (const Case& c : {
           Case{"plain \xc3\xa9t\xc3\xa9", "plain \xc3\xa9t\xc3\xa9", "plain \xc3\xa9t\xc3\xa9"},
           Case{"a\x01" "b", "a\\x01b", "a\xe2\x90\x81" "b"},  // U+2401
           Case{"\x1b[2Jcleared", "\\x1b[2Jcleared", "\xe2\x90\x9b[2Jcleared"},
           Case{"two\nlines", "two\\nlines", "two\nlines"},
           Case{"tab\tkept", "tab\tkept", "tab\tkept"},
           Case{"c1 \xc2\x9b here", "c1 \\x9b here", "c1 \xc2\x9b here"},
           Case{"cut \xe2\x82", "cut \xef\xbf\xbd\xef\xbf\xbd", "cut \xef\xbf\xbd\xef\xbf\xbd"},
           Case{"\xef\xbf\xbe", "\xef\xbf\xbe", "\xef\xbf\xbd"},
       }) {
    EXPECT_EQ(terminal_safe(c.in), c.terminal) << c.in;
    EXPECT_EQ(xml_safe(c.in), c.xml) << c.in;
  }
  StepReport s{1, 2, "click \x1b[31mRed", StepStatus::fail, 0.1, "", {"page said \x07"}};
  std::ostringstream o;
  print_step(o, s);
  EXPECT_EQ(o.str().find('\x1b'), std::string::npos) << o.str();
  EXPECT_EQ(o.str().find('\x07'), std::string::npos) << o.str();
}

TEST(Report, JunitOfControlCharactersIsWellFormed) {
  StepReport bad{1, 2, "type \x01\x02 into Name", StepStatus::fail, 0.1, "", {"got \x1b[0m"}};
  std::vector<FileReport> files{{"a\x03.steps", "u", {bad}, std::nullopt, 1}};
  auto path = std::filesystem::temp_directory_path() / "plainstep-runner-junit-ctl.xml";
  write_junit(path.string(), files, 1);
  pugi::xml_document doc;
  auto parsed = doc.load_file(path.c_str());
  EXPECT_TRUE(parsed) << parsed.description();
  std::ifstream in(path, std::ios::binary);
  std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (char c : xml) EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t' && c != '\r');
  EXPECT_EQ(xml.find("&#"), std::string::npos) << xml;
  EXPECT_STREQ(doc.child("testsuite").child("testcase").attribute("name").value(), "a\xe2\x90\x83.steps");
  std::filesystem::remove(path);
}

// A report that cannot be written (the disk fills up) leaves the one before
// it whole, and says so.
TEST(Report, JunitWriteFailureKeepsThePreviousReport) {
  auto path = std::filesystem::temp_directory_path() / "plainstep-junit-keep.xml";
  std::vector<FileReport> small{{"a.steps", "u", {}, std::nullopt, 1}};
  write_junit(path.string(), small, 1);
  auto before = std::filesystem::file_size(path);
  std::vector<FileReport> big;
  for (int i = 0; i < 200; ++i) big.push_back({"file" + std::to_string(i) + ".steps", "u", {}, std::nullopt, 1});
  pid_t child = fork();
  if (child == 0) {  // a disk that takes no more than 200 bytes per file
    signal(SIGXFSZ, SIG_IGN);
    rlimit lim{200, 200};
    setrlimit(RLIMIT_FSIZE, &lim);
    try {
      write_junit(path.string(), big, 2);
    } catch (const std::runtime_error&) {
      _exit(0);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the failed write was not reported";
  EXPECT_EQ(std::filesystem::file_size(path), before);
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_file(path.c_str()));
  std::filesystem::remove(path);
}

TEST(Closest, SharedWordsThenSpelling) {
  Elements els{el("button", "Register"), el("button", "Log in"), el("a", "Logout help"),
               el("input", "", {{"placeholder", "Login name"}})};
  Elements texts{el("p", "Welcome"), el("span", "")};
  auto got = closest_candidates("Login", els, texts, 3);
  // "Register", "Logout help" and "Welcome" neither share a word nor come close
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], els[3]);  // shares the word "login"
  EXPECT_EQ(got[1], els[1]);  // "log in" is one edit away
  EXPECT_EQ(closest_candidates("Welcome, Ada", els, texts, 3).size(), 0u);
  EXPECT_EQ(closest_candidates("Welcom", els, texts, 3), Elements{texts[0]});
  EXPECT_EQ(closest_candidates("x", {}, {}).size(), 0u);
  EXPECT_EQ(edit_distance("Kitten", "sitting"), 3u);
}

}  // namespace
