// After the two update programs have run, Hotfix asks whether to restart
// Windows now.
#include <gtest/gtest.h>

#include "expectations.h"
#include "hotfix_words.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

class RestartQuestion : public HotfixWineTest {};

void expect_restart_question(const Box& box) {
  EXPECT_EQ(box.title, kRestartTitle);
  EXPECT_EQ(box.text, kRestartText);
  EXPECT_EQ(box.buttons, (std::vector<std::string>{"Yes", "No"}));
  EXPECT_EQ(box.default_button, "No");
  EXPECT_EQ(box.owner, "none");
}

TEST_P(RestartQuestion, AnsweringNoRunsBothUpdatesHiddenThenReportsRestartRequired) {
  const HotfixRun run = hotfix_case().answers({"no"}).run();

  ASSERT_EQ(run.installers.size(), 2u) << run.transcript;
  expect_started_hidden(run.installers[0], "C:\\hotfix\\40517.exe");
  expect_started_hidden(run.installers[1], "C:\\hotfix\\40517-2.exe");

  ASSERT_EQ(run.boxes.size(), 1u) << run.transcript;
  expect_restart_question(run.boxes[0]);
  EXPECT_EQ(run.boxes[0].pressed, "No");
  EXPECT_EQ(run.exit_code, kRestartRequired) << run.transcript;
  EXPECT_TRUE(run.problems.empty()) << run.transcript;
}

TEST_P(RestartQuestion, PressingEnterTakesNoTheDefault) {
  const HotfixRun run = hotfix_case().answers({"enter"}).run();

  ASSERT_EQ(run.boxes.size(), 1u) << run.transcript;
  expect_restart_question(run.boxes[0]);
  EXPECT_EQ(run.exit_code, kRestartRequired) << run.transcript;
  EXPECT_TRUE(run.problems.empty()) << run.transcript;
}

// Wine cannot tell another process which icon a box shows, so the icon is
// read from the call that makes the box.
TEST_P(RestartQuestion, IsAQuestionMarkBoxOfItsOwn) {
  const HotfixRun run = hotfix_case().answers({"no"}).trace_calls().run();

  const auto boxes = run.calls_to("MessageBoxW");
  ASSERT_EQ(boxes.size(), 1u) << run.transcript;
  EXPECT_EQ(boxes[0].number(0), 0u) << "owner window";
  EXPECT_EQ(boxes[0].text(2), kRestartTitle);
  EXPECT_EQ(boxes[0].dword(3), kRestartStyle);
}

HOTFIX_WINE_TEST_SUITE(RestartQuestion);

}  // namespace
}  // namespace wine_harness
