// Hotfix runs the update programs next to itself, wherever it was put.
#include <gtest/gtest.h>

#include "expectations.h"
#include "hotfix_words.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

class ProgramFolder : public HotfixWineTest {};

TEST_P(ProgramFolder, AFolderWithBlanksRunsTheUpdatesFromThere) {
  const HotfixRun run = hotfix_case().folder("C:\\hf test\\app").answers({"no"}).run();

  ASSERT_EQ(run.installers.size(), 2u) << run.transcript;
  expect_started_hidden(run.installers[0], "C:\\hf test\\app\\40517.exe");
  expect_started_hidden(run.installers[1], "C:\\hf test\\app\\40517-2.exe");
  EXPECT_EQ(run.exit_code, kRestartRequired) << run.transcript;
}

// Given no application name, Wine puts quotes around a program path with
// blanks before the started program sees its command line (Windows does
// not), so what Hotfix passed is read from the call.
TEST_P(ProgramFolder, AFolderWithBlanksIsPassedUnquoted) {
  const HotfixRun run =
      hotfix_case().folder("C:\\hf test\\app").answers({"no"}).trace_calls().run();

  const auto starts = run.calls_to("CreateProcessW");
  ASSERT_EQ(starts.size(), 2u) << run.transcript;
  EXPECT_EQ(starts[0].text(1), "C:\\hf test\\app\\40517.exe");
  EXPECT_EQ(starts[1].text(1), "C:\\hf test\\app\\40517-2.exe");
}

HOTFIX_WINE_TEST_SUITE(ProgramFolder);

}  // namespace
}  // namespace wine_harness
