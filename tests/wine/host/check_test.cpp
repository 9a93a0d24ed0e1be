// /check on the real Hotfix.exe: the checks of an install run, then a verdict;
// nothing is started and nothing restarted.
#include <gtest/gtest.h>

#include <fstream>

#include "hotfix_words.h"
#include "process.h"
#include "trk_variant.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

namespace fs = std::filesystem;

class Check : public HotfixWineTest {};

// Quiet runs: only the exit status and the log's last line tell.
TEST_P(Check, QuietChecksGiveTheVerdictAsStatusAndLastLogLine) {
  const auto other_trk = fs::path(HOTFIX_BINARY_DIR) / "wine-fixtures" /
                         ("trk_3_3_1000_1_" + arch_name(GetParam()) + ".exe");
  ASSERT_EQ(write_trk_with_version(builds().trk, other_trk, 3, 3, 1000, 1), "");
  const struct {
    const char* what;
    std::function<void(HotfixCase&)> change;
    unsigned long exit_code;
    std::string result;  // the log's last line, from "verdict="
  } cases[] = {
      {"the fix applies", [](HotfixCase&) {}, 0,
       "verdict=applies; reason=checks-passed; windows=Windows XP; trk_version=3.3.1000.0; "
       "exit_status=0"},
      {"another trk.exe", [&](HotfixCase& c) { c.file(kTrkWindowsPath, other_trk); }, kNotApplicable,
       "verdict=not-applicable; reason=trk-version; windows=Windows XP; trk_version=3.3.1000.1; "
       "exit_status=1642"},
      {"Windows 2000", [](HotfixCase& c) { c.windows_version("win2k"); }, kNotApplicable,
       "verdict=not-applicable; reason=not-windows-xp; windows=Windows 2000; "
       "trk_version=3.3.1000.0; exit_status=1642"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto hotfix = hotfix_case();
    c.change(hotfix);
    const std::string log = prefix().windows_path(hotfix.work_dir() / "check.log");
    const HotfixRun run = hotfix.arguments({"/check", "/quiet", "/log:" + log}).trace_calls().run();

    EXPECT_TRUE(run.boxes.empty()) << run.transcript;
    EXPECT_TRUE(run.installers.empty()) << run.transcript;
    EXPECT_TRUE(run.calls_to("ExitWindowsEx").empty()) << run.transcript;
    EXPECT_EQ(run.exit_code, c.exit_code) << run.transcript;
    const std::string text = read_text(hotfix.work_dir() / "check.log");
    const std::size_t last = text.rfind("Result: ");
    ASSERT_NE(last, std::string::npos) << text;
    EXPECT_EQ(text.substr(last), "Result: " + c.result + "\r\n") << text;
    EXPECT_NE(text.find(", mode check\r\n"), std::string::npos) << text;
    EXPECT_TRUE(run.problems.empty()) << run.transcript;
  }
}

TEST_P(Check, InteractiveCheckWhereTheFixAppliesShowsOneVerdictBox) {
  const HotfixRun run = hotfix_case().arguments({"/check"}).answers({"ok"}).run();

  ASSERT_EQ(run.boxes.size(), 1u) << run.transcript;
  EXPECT_EQ(run.boxes[0].title, "Hotfix");
  EXPECT_TRUE(run.boxes[0].text.starts_with("The fix CR40517 applies to this computer"))
      << run.boxes[0].text;
  EXPECT_EQ(run.boxes[0].buttons, std::vector<std::string>{"OK"});
  EXPECT_TRUE(run.installers.empty()) << run.transcript;
  EXPECT_EQ(run.exit_code, 0u) << run.transcript;
  EXPECT_TRUE(run.problems.empty()) << run.transcript;
}

TEST_P(Check, InteractiveCheckWithoutTheFirewallShowsTheWarning) {
  const HotfixRun run =
      hotfix_case().arguments({"/check"}).without_registry_key(kUninstallKey).answers({"ok"}).run();

  ASSERT_EQ(run.boxes.size(), 1u) << run.transcript;
  EXPECT_EQ(run.boxes[0].title, kWarningTitle);
  EXPECT_TRUE(run.installers.empty()) << run.transcript;
  EXPECT_EQ(run.exit_code, kNotApplicable) << run.transcript;
  EXPECT_TRUE(run.problems.empty()) << run.transcript;
}

// The fleet report over logs the real program wrote (a check that passes,
// one that fails, an install), beside a file that is no log.
TEST_P(Check, TheFleetReportCountsTheLogsTheseRunsWrote) {
  const fs::path folder = prefix().drive_c() / ("fleet-" + arch_name(GetParam()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const auto log = [&](const std::string& name) {
    return "/log:" + prefix().windows_path(folder / (name + ".log"));
  };
  hotfix_case().arguments({"/check", "/quiet", log("PC-APPLIES")}).run();
  hotfix_case().arguments({"/check", "/quiet", log("PC-W2K")}).windows_version("win2k").run();
  hotfix_case().arguments({"/quiet", "/norestart", log("PC-INSTALL")}).run();
  std::ofstream(folder / "notes.txt") << "not a log\r\n";

  const ProcessResult result = run_process(
      {{std::string(HOTFIX_BINARY_DIR) + "/hotfix-sim", "fleet", folder.string(), "--csv",
        (folder / "fleet.csv").string(), "--plain-csv"},
       {},
       {},
       folder / "fleet.out",
       folder / "fleet.err"});
  ASSERT_EQ(result.exit_code, 0) << read_text(folder / "fleet.err");
  const std::string csv = read_text(folder / "fleet.csv");
  for (const std::string row :
       {",check,applies,checks-passed,", ",check,not-applicable,not-windows-xp,Windows 2000,",
        ",install,installed,restart-declined,", "notes.txt,,,,unreadable,"})
    EXPECT_NE(csv.find(row), std::string::npos) << row << "\n" << csv;
  EXPECT_NE(read_text(folder / "fleet.err").find("notes.txt: unreadable"), std::string::npos);
}

HOTFIX_WINE_TEST_SUITE(Check);

}  // namespace
}  // namespace wine_harness
