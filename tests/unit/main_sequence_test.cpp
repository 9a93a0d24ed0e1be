// The main sequence as a person sees it: installers, the restart question and
// how the run ends.
#include <gtest/gtest.h>

#include "hotfix/form1.h"
#include "machines.h"

namespace {

using namespace testing_machines;
using platform::Text;

const Text kRebootText =
    u"Riavviare Windows per rendere effettive le modifiche apportate. Riavviare adesso?";

TEST(MainSequence, NoToTheRestartQuestionUnloadsAndEndsWithoutRestart) {
  sim::Machine m = ApplicableMachine();
  m.answers = {sim::AnswerNo()};
  const auto seen = sim::RunProgram(m).seen;

  EXPECT_EQ(CommandLines(seen),
            (std::vector<Text>{u"C:\\Hotfix\\40517.exe", u"C:\\Hotfix\\40517-2.exe"}));
  for (const auto& p : seen.started) EXPECT_EQ(p.window_style, 0);  // hidden
  ASSERT_EQ(seen.boxes.size(), 1u);
  EXPECT_EQ(seen.boxes[0], (sim::BoxShown{u"Reboot", kRebootText, 292, platform::kIdNo}));
  EXPECT_TRUE(seen.unloaded);
  EXPECT_FALSE(seen.restart.has_value());
  EXPECT_EQ(seen.exit_code, 3010);
}

TEST(MainSequence, EnterAtTheRestartQuestionMeansNo) {
  sim::Machine m = ApplicableMachine();
  m.answers = {sim::AnswerEnter()};
  const auto seen = sim::RunProgram(m).seen;

  ASSERT_EQ(seen.boxes.size(), 1u);
  EXPECT_EQ(seen.boxes[0].answer, platform::kIdNo);
  EXPECT_TRUE(seen.unloaded);
  EXPECT_FALSE(seen.restart.has_value());
  EXPECT_EQ(seen.exit_code, 3010);
}

TEST(MainSequence, YesRequestsTheRestartExactlyOnceWithThePrivilege) {
  sim::Machine m = ApplicableMachine();
  m.answers = {sim::AnswerYes()};
  const auto seen = sim::RunProgram(m).seen;

  EXPECT_EQ(CallsNamed(seen, "ExitWindowsEx").size(), 1u);
  ASSERT_TRUE(seen.restart.has_value());
  EXPECT_EQ(seen.restart->flags, 3);
  EXPECT_EQ(static_cast<std::uint32_t>(seen.restart->reason), 0xFFFFFFFFu);
  EXPECT_TRUE(seen.restart->privilege_enabled);
  EXPECT_FALSE(seen.unloaded);
  EXPECT_EQ(seen.exit_code, 1641);
  // Nothing runs after the request but closing the installers' handles and
  // the end of the program.
  std::vector<std::string> after;
  bool requested = false;
  for (const auto& e : seen.trace) {
    if (requested) after.push_back(e.call);
    requested = requested || e.call == "ExitWindowsEx";
  }
  EXPECT_EQ(after, (std::vector<std::string>{"CloseHandle", "CloseHandle", "End"}));
}

TEST(MainSequence, YesThatWindowsRefusesStillEndsNormallyAsRestartRequired) {
  sim::Machine m = ApplicableMachine();
  m.security.refuse_restart = true;
  m.answers = {sim::AnswerYes()};
  const auto seen = sim::RunProgram(m).seen;

  ASSERT_TRUE(seen.restart.has_value());
  EXPECT_FALSE(seen.restart->accepted);
  EXPECT_EQ(seen.boxes.size(), 1u);  // no message about it
  EXPECT_EQ(seen.exit_code, 3010);
}

TEST(MainSequence, MissingSecondInstallerGivesTheErrorReportAndNoQuestion) {
  sim::Machine m = ApplicableMachine();
  m.files.erase(u"C:\\Hotfix\\40517-2.exe");
  const auto seen = sim::RunProgram(m).seen;

  EXPECT_EQ(CommandLines(seen), std::vector<Text>{u"C:\\Hotfix\\40517.exe"});
  ASSERT_EQ(seen.boxes.size(), 1u);
  EXPECT_EQ(seen.boxes[0].title, u"Hotfix");
  EXPECT_EQ(seen.boxes[0].text, u"Run-time error '53':\r\n\r\nFile not found");
  EXPECT_EQ(seen.boxes[0].style & 0xF, 0);  // OK only
  EXPECT_FALSE(seen.restart.has_value());
  EXPECT_EQ(seen.exit_code, 1603);
  EXPECT_EQ(seen.printed.size(), 6u);  // the report was written before
}

TEST(MainSequence, ProgramFolderWithBlanksGivesExactUnquotedCommandLines) {
  sim::Machine m = ApplicableMachine(u"C:\\hf test\\app");
  m.answers = {sim::AnswerNo()};
  const auto seen = sim::RunProgram(m).seen;

  EXPECT_EQ(CommandLines(seen), (std::vector<Text>{u"C:\\hf test\\app\\40517.exe",
                                                   u"C:\\hf test\\app\\40517-2.exe"}));
  EXPECT_EQ(seen.started[1].application, u"C:\\hf test\\app\\40517-2.exe");
  EXPECT_EQ(seen.started[1].arguments, u"");
}

TEST(MainSequence, ScriptThatLeavesAnswersUnusedFailsLoudly) {
  sim::Machine m = ApplicableMachine();
  m.answers = {sim::AnswerNo(), sim::AnswerYes()};
  EXPECT_THROW(sim::RunProgram(m), sim::ScriptError);
}

TEST(MainSequence, QuestionWithoutScriptedAnswerFailsLoudly) {
  sim::Machine m = ApplicableMachine();
  EXPECT_THROW(sim::RunProgram(m), sim::ScriptError);
}

TEST(MainSequence, StateRecordStartsAtInitialValues) {
  sim::Machine m;
  sim::SimulatedPlatform p(m);
  hotfix::Form1 form(p);
  EXPECT_EQ(form.state(), hotfix::Form1State{});
  EXPECT_EQ(form.state().lRegRoot, 0);
  EXPECT_EQ(form.state().bFirewallFound, 0);
  EXPECT_TRUE(form.state().sFullName.empty());
}

}  // namespace
