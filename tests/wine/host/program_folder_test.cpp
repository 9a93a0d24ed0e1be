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

// Left to CreateProcess, "C:\hf test\app\40517.exe" unquoted would start
// C:\hf.exe first. A canary there leaves a marker if it is ever started.
TEST_P(ProgramFolder, AProgramNamedLikeTheFolderBeforeTheBlankIsNotStarted) {
  const std::filesystem::path marker = prefix().drive_c() / "hf.exe.ran";
  std::filesystem::remove(marker);
  bool marker_after_run = true;
  bool canary_works = false;
  const HotfixRun run =
      hotfix_case()
          .folder("C:\\hf test\\app")
          .file("C:\\hf.exe", builds().dir / "marker.exe")
          .answers({"no"})
          .on_ended([&] {
            marker_after_run = std::filesystem::exists(marker);
            // The control: started, the canary does leave its marker.
            prefix().wine({"C:\\hf.exe"}, {}, {}, {}, std::chrono::seconds(60));
            canary_works = std::filesystem::exists(marker);
          })
          .run();
  std::filesystem::remove(marker);

  EXPECT_FALSE(marker_after_run) << "C:\\hf.exe was started\n" << run.transcript;
  EXPECT_TRUE(canary_works) << "the canary left no marker when started directly";
  ASSERT_EQ(run.installers.size(), 2u) << run.transcript;
  expect_started_hidden(run.installers[0], "C:\\hf test\\app\\40517.exe");
  expect_started_hidden(run.installers[1], "C:\\hf test\\app\\40517-2.exe");
  EXPECT_EQ(run.exit_code, kRestartRequired) << run.transcript;
}

HOTFIX_WINE_TEST_SUITE(ProgramFolder);

}  // namespace
}  // namespace wine_harness
