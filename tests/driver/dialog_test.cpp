// Dialogs reach the page's handler; without one they are dismissed.
#include <gtest/gtest.h>

#include "driver/browser_env.hpp"

namespace plainstep::testing {
namespace {

using pw::json;

struct DialogRow {
  const char* open;  // page script that opens the dialog
  const char* type, *message, *default_value;
  bool accept;
  std::optional<std::string> prompt;
  const char* answer;  // what the page recorded, as JSON
};

class DialogTest : public PageTest {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    open("dialogs.html");
  }
  // Lets the driver deliver events until `done` holds or two seconds pass.
  template <class F>
  bool wait_until(F done) {
    for (int i = 0; i < 100 && !done(); ++i) page->wait_for_timeout(20);
    return done();
  }
  json answers() { return page->evaluate("window.answers"); }
  void answer(const DialogRow& row);
};


const DialogRow _DIALOG_ROWS[] = {
    {"openAlert('Saved!')", "alert", "Saved!", "", true, std::nullopt, "\"alert done\""},
    {"openConfirm('Delete?')", "confirm", "Delete?", "", true, std::nullopt, "true"},
    {"openConfirm('Delete?')", "confirm", "Delete?", "", false, std::nullopt, "false"},
    {"openPrompt('Name?', 'Ada')", "prompt", "Name?", "Ada", true, "Grace", "\"Grace\""},
    {"openPrompt('Name?', 'Ada')", "prompt", "Name?", "Ada", true, std::nullopt, "\"Ada\""},
    {"openPrompt('Name?', 'Ada')", "prompt", "Name?", "Ada", false, "x", "null"},
};

TEST_F(DialogTest, DialogsReachTheHandlerAndItsAnswerThePage) {
  for (const auto& row : _DIALOG_ROWS) {
    SCOPED_TRACE(row.open);
    open("dialogs.html");
    answer(row);
  }
}

void DialogTest::answer(const DialogRow& row) {
  std::shared_ptr<pw::Dialog> seen;
  page->on_dialog([&](std::shared_ptr<pw::Dialog> d) { seen = std::move(d); });
  page->evaluate(row.open);
  ASSERT_TRUE(wait_until([&] { return seen != nullptr; })) << "no dialog arrived";
  EXPECT_EQ(seen->type(), row.type);
  EXPECT_EQ(seen->message(), row.message);
  EXPECT_EQ(seen->default_value(), row.default_value);
  EXPECT_EQ(seen->page(), page);
  if (row.accept)
    seen->accept(row.prompt);
  else
    seen->dismiss();
  EXPECT_EQ(answers(), json::parse(std::string("[") + row.answer + "]"));
  page->on_dialog(nullptr);
}

TEST_F(DialogTest, WithoutAHandlerDialogsAreDismissedAndThePageGoesOn) {
  page->evaluate("openConfirm('Really?')");
  page->evaluate("openPrompt('Name?', 'Ada')");
  ASSERT_TRUE(wait_until([&] { return answers().size() == 2; })) << answers().dump();
  EXPECT_EQ(answers(), json::parse("[false, null]"));
}

TEST_F(DialogTest, RemovingTheHandlerRestoresDismissal) {
  int calls = 0;
  page->on_dialog([&](std::shared_ptr<pw::Dialog> d) {
    ++calls;
    d->accept();
  });
  page->evaluate("openConfirm('one')");
  ASSERT_TRUE(wait_until([&] { return answers().size() == 1; }));
  page->on_dialog(nullptr);
  page->evaluate("openConfirm('two')");
  ASSERT_TRUE(wait_until([&] { return answers().size() == 2; }));
  EXPECT_EQ(answers(), json::parse("[true, false]"));
  EXPECT_EQ(calls, 1);
}

TEST_F(DialogTest, AHandlerThatThrowsStillLetsThePageGoOn) {
  page->on_dialog([](std::shared_ptr<pw::Dialog>) { throw std::runtime_error("handler bug"); });
  page->evaluate("openConfirm('x')");
  ASSERT_TRUE(wait_until([&] { return answers().size() == 1; }));
  EXPECT_EQ(answers(), json::parse("[false]"));
}

}  // namespace
}  // namespace plainstep::testing
