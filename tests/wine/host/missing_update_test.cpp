// Without an update program next to it, Hotfix reports the run-time error
// and fails without asking to restart.
#include <gtest/gtest.h>

#include "hotfix_words.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

class MissingUpdate : public HotfixWineTest {};

void expect_file_not_found_report(const HotfixRun& run) {
  ASSERT_EQ(run.boxes.size(), 1u) << run.transcript;
  const Box& report = run.boxes[0];
  EXPECT_EQ(report.title, kErrorTitle);
  EXPECT_EQ(report.text, kFileNotFoundText);
  EXPECT_EQ(report.buttons, std::vector<std::string>{"OK"});
  EXPECT_EQ(run.exit_code, kInstallFailure) << run.transcript;
  EXPECT_TRUE(run.problems.empty()) << run.transcript;
}

TEST_P(MissingUpdate, WithoutTheSecondItReportsFileNotFoundAfterTheFirst) {
  const HotfixRun run = hotfix_case().without_installer("40517-2.exe").answers({"ok"}).run();

  ASSERT_EQ(run.installers.size(), 1u) << run.transcript;
  EXPECT_EQ(run.installers[0].module, "C:\\hotfix\\40517.exe");
  expect_file_not_found_report(run);
}

TEST_P(MissingUpdate, WithoutTheFirstItReportsFileNotFoundAndRunsNothing) {
  const HotfixRun run = hotfix_case().without_installer("40517.exe").answers({"ok"}).run();

  EXPECT_TRUE(run.installers.empty()) << run.transcript;
  expect_file_not_found_report(run);
}

TEST_P(MissingUpdate, TheReportIsAStopBoxOfItsOwn) {
  const HotfixRun run =
      hotfix_case().without_installer("40517-2.exe").answers({"ok"}).trace_calls().run();

  const auto boxes = run.calls_to("MessageBoxW");
  ASSERT_EQ(boxes.size(), 1u) << run.transcript;
  EXPECT_EQ(boxes[0].number(0), 0u) << "owner window";
  EXPECT_EQ(boxes[0].dword(3), kErrorStyle);
  // The check had passed, so the file it checked was reported.
  EXPECT_EQ(run.report_lines().size(), 6u) << run.transcript;
  EXPECT_TRUE(run.calls_to("ExitWindowsEx").empty()) << run.transcript;
}

HOTFIX_WINE_TEST_SUITE(MissingUpdate);

}  // namespace
}  // namespace wine_harness
