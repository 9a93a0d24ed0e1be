// Answering Yes asks Windows to restart. Under Wine, ExitWindowsEx starts
// "wineboot --end-session" and returns TRUE; the harness waits for that
// to end before the next case.
#include <gtest/gtest.h>

#include <algorithm>

#include "hotfix_words.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

class RestartNow : public HotfixWineTest {};

size_t position_of(const HotfixRun& run, const std::string& function) {
  const auto it = std::find_if(run.calls.begin(), run.calls.end(),
                               [&](const Call& call) { return call.function == function; });
  return static_cast<size_t>(it - run.calls.begin());
}

TEST_P(RestartNow, AnsweringYesRestartsWindowsAndReportsRestartInitiated) {
  const HotfixRun run = hotfix_case().answers({"yes"}).trace_calls().run();

  ASSERT_EQ(run.boxes.size(), 1u) << run.transcript;
  EXPECT_EQ(run.boxes[0].title, kRestartTitle);
  EXPECT_EQ(run.boxes[0].pressed, "Yes");

  const auto exits = run.calls_to("ExitWindowsEx");
  ASSERT_EQ(exits.size(), 1u) << run.transcript;
  EXPECT_EQ(exits[0].dword(0), 3u) << "EWX_SHUTDOWN | EWX_REBOOT";
  EXPECT_EQ(exits[0].dword(1), 0xFFFFFFFFu) << "reason";
  ASSERT_TRUE(exits[0].retval) << run.transcript;
  EXPECT_NE(*exits[0].retval & 0xFFFFFFFFu, 0u) << "Wine accepts the restart";
  EXPECT_EQ(run.exit_code, kRestartInitiated) << run.transcript;
  EXPECT_TRUE(run.problems.empty()) << run.transcript;
}

TEST_P(RestartNow, TheShutdownPrivilegeIsEnabledBeforeTheRestart) {
  const HotfixRun run = hotfix_case().answers({"yes"}).trace_calls().run();

  bool looked_up = false;
  for (const char* lookup : {"LookupPrivilegeValueA", "LookupPrivilegeValueW"})
    for (const auto& call : run.calls_to(lookup))
      looked_up = looked_up || call.text(1) == "SeShutdownPrivilege";
  EXPECT_TRUE(looked_up) << run.transcript;

  const auto adjusts = run.calls_to("AdjustTokenPrivileges");
  ASSERT_FALSE(adjusts.empty()) << run.transcript;
  ASSERT_EQ(run.calls_to("ExitWindowsEx").size(), 1u) << run.transcript;
  EXPECT_EQ(adjusts[0].dword(1), 0u) << "DisableAllPrivileges";
  EXPECT_LT(position_of(run, "AdjustTokenPrivileges"), position_of(run, "ExitWindowsEx"))
      << run.transcript;
}

// When Windows refuses (here: the program that ends the session is gone),
// Hotfix says a restart is still required.
TEST_P(RestartNow, ARefusedRestartReportsRestartRequired) {
  const HotfixRun run = hotfix_case()
                            .answers({"yes"})
                            .trace_calls()
                            .hide_file("C:\\windows\\system32\\wineboot.exe")
                            .run();

  const auto exits = run.calls_to("ExitWindowsEx");
  ASSERT_EQ(exits.size(), 1u) << run.transcript;
  ASSERT_TRUE(exits[0].retval) << run.transcript;
  EXPECT_EQ(*exits[0].retval & 0xFFFFFFFFu, 0u) << "the restart must be refused for this case";
  EXPECT_EQ(run.exit_code, kRestartRequired) << run.transcript;
}

HOTFIX_WINE_TEST_SUITE(RestartNow);

}  // namespace
}  // namespace wine_harness
