// Deployment runs of the real Hotfix.exe: the switches a deployment tool
// passes, the log it keeps, the exit status it reads.
#include <gtest/gtest.h>

#include <algorithm>

#include "expectations.h"
#include "hotfix_words.h"
#include "process.h"
#include "trk_variant.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

namespace fs = std::filesystem;

class Unattended : public HotfixWineTest {
 protected:
  // A log for this case in its own folder on drive C:.
  std::string log_path(const HotfixCase& hotfix) const {
    return prefix().windows_path(hotfix.work_dir() / "hotfix.log");
  }
  // The log's entries without their time stamps.
  static std::vector<std::string> log_entries(const HotfixCase& hotfix) {
    const std::string bytes = read_text(hotfix.work_dir() / "hotfix.log");
    std::vector<std::string> entries;
    size_t begin = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    for (size_t end; (end = bytes.find("\r\n", begin)) != std::string::npos; begin = end + 2)
      entries.push_back(bytes.substr(begin, end - begin).substr(std::min<size_t>(25, end - begin)));
    return entries;
  }
  static bool has(const std::vector<std::string>& entries, const std::string& entry) {
    return std::find(entries.begin(), entries.end(), entry) != entries.end();
  }
};

TEST_P(Unattended, QuietWhereTheFixAppliesShowsNoBoxAndRestarts) {
  auto hotfix = hotfix_case();
  const HotfixRun run =
      hotfix.arguments({"/quiet", "/log:" + log_path(hotfix)}).trace_calls().run();

  EXPECT_TRUE(run.boxes.empty()) << run.transcript;
  EXPECT_TRUE(run.calls_to("MessageBoxW").empty()) << run.transcript;
  ASSERT_EQ(run.installers.size(), 2u) << run.transcript;
  expect_started_hidden(run.installers[0], "C:\\hotfix\\40517.exe");
  expect_started_hidden(run.installers[1], "C:\\hotfix\\40517-2.exe");
  EXPECT_EQ(run.calls_to("ExitWindowsEx").size(), 1u) << run.transcript;
  EXPECT_EQ(run.exit_code, kRestartInitiated) << run.transcript;
  const auto log = log_entries(hotfix);
  EXPECT_TRUE(has(log, "Windows: \"Windows XP\" (version 5.1, build 2600)") ||
              has(log, "Windows: \"Windows XP\" (version 5.2, build 3790)"))
      << read_text(hotfix.work_dir() / "hotfix.log");
  EXPECT_TRUE(has(log, "Installer ended: C:\\hotfix\\40517-2.exe, exit code 0 (success)"));
  EXPECT_TRUE(has(log, "Exit status 1641: the fix is installed and Windows is restarting"));
  EXPECT_TRUE(run.problems.empty()) << run.transcript;
}

TEST_P(Unattended, QuietNoRestartInstallsAndLeavesTheRestartToTheAdministrator) {
  const HotfixRun run = hotfix_case().arguments({"/quiet", "/norestart"}).trace_calls().run();

  EXPECT_TRUE(run.boxes.empty()) << run.transcript;
  EXPECT_EQ(run.installers.size(), 2u) << run.transcript;
  EXPECT_TRUE(run.calls_to("ExitWindowsEx").empty()) << run.transcript;
  EXPECT_EQ(run.exit_code, kRestartRequired) << run.transcript;
  EXPECT_TRUE(run.problems.empty()) << run.transcript;
}

TEST_P(Unattended, QuietWhereTheFixDoesNotApplyLogsWhy) {
  const auto variant = fs::path(HOTFIX_BINARY_DIR) / "wine-fixtures" /
                       ("trk_3_3_1000_1_" + arch_name(GetParam()) + ".exe");
  ASSERT_EQ(write_trk_with_version(builds().trk, variant, 3, 3, 1000, 1), "");
  auto hotfix = hotfix_case().file(kTrkWindowsPath, variant);
  const HotfixRun run = hotfix.arguments({"-QUIET", "/log", log_path(hotfix)}).run();

  EXPECT_TRUE(run.boxes.empty()) << run.transcript;
  EXPECT_TRUE(run.installers.empty()) << run.transcript;
  EXPECT_EQ(run.exit_code, kNotApplicable) << run.transcript;
  const auto log = log_entries(hotfix);
  EXPECT_TRUE(has(log, "Report: File version: 3.3.1000.1")) << read_text(hotfix.work_dir() / "hotfix.log");
  EXPECT_TRUE(has(log, std::string("Message box not shown (/quiet), taken as OK: \"") +
                           kWarningTitle + "\""));
  EXPECT_TRUE(has(log, "Exit status 1642: the fix does not apply to this computer, nothing was done"));
  EXPECT_TRUE(run.problems.empty()) << run.transcript;
}

// 1618: another installation is in progress, a code Hotfix.exe never makes itself.
TEST_P(Unattended, AFailingInstallersExitCodeBecomesTheExitStatus) {
  const HotfixRun run =
      hotfix_case().env("HOTFIX_STUB_EXIT_CODE", "40517.exe=1618").answers({"no"}).run();

  ASSERT_EQ(run.installers.size(), 2u) << run.transcript;  // the sequence goes on
  ASSERT_TRUE(run.installers[0].exit_code) << run.transcript;
  EXPECT_EQ(*run.installers[0].exit_code, 1618u);
  ASSERT_EQ(run.boxes.size(), 1u) << run.transcript;
  EXPECT_EQ(run.boxes[0].title, kRestartTitle);
  EXPECT_EQ(run.exit_code, 1618u) << run.transcript;
  EXPECT_TRUE(run.problems.empty()) << run.transcript;
}

TEST_P(Unattended, ALogThatCannotBeOpenedStopsTheRunBeforeAnythingStarts) {
  const HotfixRun run =
      hotfix_case().arguments({"/log:C:\\no-such-folder\\hotfix.log"}).answers({"ok"}).run();

  ASSERT_EQ(run.boxes.size(), 1u) << run.transcript;
  EXPECT_NE(run.boxes[0].text.find("C:\\no-such-folder\\hotfix.log"), std::string::npos)
      << run.boxes[0].text;
  EXPECT_NE(run.boxes[0].text.find("(Windows error 3)"), std::string::npos) << run.boxes[0].text;
  EXPECT_TRUE(run.installers.empty()) << run.transcript;
  EXPECT_EQ(run.exit_code, 1622u) << run.transcript;
  EXPECT_TRUE(run.problems.empty()) << run.transcript;
}

TEST_P(Unattended, AnUnknownSwitchIsNamedAndNothingStarts) {
  const HotfixRun run = hotfix_case().arguments({"/silent"}).answers({"ok"}).run();

  ASSERT_EQ(run.boxes.size(), 1u) << run.transcript;
  EXPECT_EQ(run.boxes[0].title, "Hotfix");
  EXPECT_TRUE(run.boxes[0].text.starts_with("Unknown switch: /silent\r\n")) << run.boxes[0].text;
  EXPECT_NE(run.boxes[0].text.find("/norestart"), std::string::npos) << "lists the switches";
  EXPECT_TRUE(run.installers.empty()) << run.transcript;
  EXPECT_EQ(run.exit_code, 87u) << run.transcript;
  EXPECT_TRUE(run.problems.empty()) << run.transcript;
}

HOTFIX_WINE_TEST_SUITE(Unattended);

}  // namespace
}  // namespace wine_harness
