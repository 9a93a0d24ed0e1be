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
  EXPECT_EQ(run.installers.size(), 2u) << run.transcript;
  EXPECT_EQ(run.report_lines().size(), 6u) << run.transcript;

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

  // On the local system (an empty name, not a null pointer).
  bool looked_up = false;
  for (const auto& call : run.calls_to("LookupPrivilegeValueA"))
    looked_up = looked_up || (call.number(0) != 0 && call.text(0).empty() &&
                              call.text(1) == "SeShutdownPrivilege");
  EXPECT_TRUE(looked_up) << run.transcript;

  // The current-process pseudo handle, TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY.
  bool opened = false;
  for (const auto& call : run.calls_to("OpenProcessToken"))
    opened = opened || (call.dword(0) == 0xFFFFFFFFu && call.dword(1) == 0x28u);
  EXPECT_TRUE(opened) << run.transcript;

  const auto adjusts = run.calls_to("AdjustTokenPrivileges");
  ASSERT_FALSE(adjusts.empty()) << run.transcript;
  ASSERT_EQ(run.calls_to("ExitWindowsEx").size(), 1u) << run.transcript;
  EXPECT_EQ(adjusts[0].dword(1), 0u) << "DisableAllPrivileges";
  EXPECT_NE(adjusts[0].number(2), 0u) << "NewState";
  EXPECT_EQ(adjusts[0].dword(3), 16u) << "BufferLength";
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
