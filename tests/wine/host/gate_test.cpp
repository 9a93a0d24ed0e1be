// On a machine the fix is not for, Hotfix warns once and changes nothing;
// when it cannot read the firewall file's version it says so first.
#include <gtest/gtest.h>

#include "hotfix_words.h"
#include "trk_variant.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

class Gate : public HotfixWineTest {};

using Lines = std::vector<std::string>;

const Lines kNoReport;

Lines report_of(const std::string& full_name, const std::string& file_version,
                const std::string& product_version, const std::string& os,
                const std::string& type) {
  return {"Full filename: " + full_name + "\n", "File version: " + file_version + "\n",
          "Product version: " + product_version + "\n", "File flags: \n",
          "File OS: " + os + "\n", "File type: " + type + "\n"};
}

Lines fixture_report(const std::string& file_version = "3.3.1000.0") {
  return report_of(kTrkWindowsPath, file_version, "3.3.1000.0", "NT-Win32", "App");
}

// What was read is lost, so every field but the name is empty.
Lines unread_report(const std::string& full_name) { return report_of(full_name, "", "", "", ""); }

void expect_ok_box(const Box& box, const std::string& title, const std::string& text) {
  EXPECT_EQ(box.title, title);
  EXPECT_EQ(box.text, text);
  EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
  EXPECT_EQ(box.default_button, "OK");
  EXPECT_EQ(box.owner, "none");
}

// Runs the case traced and checks everything a person and a monitor see.
void expect_not_applicable(HotfixCase& hotfix, bool notice_first, const Lines& report) {
  const HotfixRun run = hotfix.answers(notice_first ? std::vector<std::string>{"ok", "ok"}
                                                    : std::vector<std::string>{"ok"})
                            .trace_calls()
                            .run();
  const size_t boxes = notice_first ? 2 : 1;
  ASSERT_EQ(run.boxes.size(), boxes) << run.transcript;
  if (notice_first) {
    expect_ok_box(run.boxes[0], kNoticeTitle, kNoVersionInfoText);
  }
  expect_ok_box(run.boxes.back(), kWarningTitle, kWarningText);

  const auto calls = run.calls_to("MessageBoxW");
  ASSERT_EQ(calls.size(), boxes) << run.transcript;
  if (notice_first) {
    EXPECT_EQ(calls[0].dword(3), kNoticeStyle);
  }
  EXPECT_EQ(calls.back().dword(3), kWarningStyle);
  EXPECT_EQ(calls.back().number(0), 0u) << "owner window";

  EXPECT_EQ(run.report_lines(), report) << run.transcript;
  EXPECT_TRUE(run.installers.empty()) << run.transcript;
  EXPECT_TRUE(run.calls_to("CreateProcessW").empty()) << run.transcript;
  EXPECT_TRUE(run.calls_to("ExitWindowsEx").empty()) << run.transcript;
  EXPECT_EQ(run.exit_code, kNotApplicable) << run.transcript;
  EXPECT_TRUE(run.problems.empty()) << run.transcript;
}

TEST_P(Gate, WithoutTheUninstallEntryItWarns) {
  auto hotfix = hotfix_case().without_registry_key(kUninstallKey);
  expect_not_applicable(hotfix, false, kNoReport);
}

TEST_P(Gate, WithoutTheFirewallItWarns) {
  auto hotfix = hotfix_case().without_registry_value(kUninstallKey, "DisplayName");
  expect_not_applicable(hotfix, false, kNoReport);
}

// Only a plain string counts as the product's name.
TEST_P(Gate, ADisplayNameOfTypeExpandSzIsNoFirewall) {
  auto hotfix =
      hotfix_case().registry(kUninstallKey, "DisplayName", "REG_EXPAND_SZ", "Orvane Firewall v3.03");
  expect_not_applicable(hotfix, false, kNoReport);
}

TEST_P(Gate, WithoutInstallpathItCannotReadTheVersion) {
  auto hotfix = hotfix_case().without_registry_value(kFirewallKey, "Installpath");
  expect_not_applicable(hotfix, true, unread_report("No! Value or Key Doesn't existtrk.exe"));
}

// The file name is appended without a separator.
TEST_P(Gate, AnInstallpathWithoutTrailingBackslashMissesTheFile) {
  auto hotfix = hotfix_case().registry(kFirewallKey, "Installpath", "REG_SZ",
                                       "C:\\Program Files\\Orvane\\Firewall");
  expect_not_applicable(hotfix, true, unread_report("C:\\Program Files\\Orvane\\Firewalltrk.exe"));
}

TEST_P(Gate, AMissingFirewallFileHasNoVersion) {
  auto hotfix = hotfix_case().without_file(kTrkWindowsPath);
  expect_not_applicable(hotfix, true, unread_report(kTrkWindowsPath));
}

TEST_P(Gate, AFirewallFileWithoutVersionResourceHasNoVersion) {
  auto hotfix = hotfix_case().file(
      kTrkWindowsPath, std::filesystem::path(HOTFIX_SOURCE_DIR) / "tests/fixtures/no_version_x86.exe");
  expect_not_applicable(hotfix, true, unread_report(kTrkWindowsPath));
}

TEST_P(Gate, AnotherFirewallBuildItWarns) {
  const auto variant = std::filesystem::path(HOTFIX_BINARY_DIR) / "wine-fixtures" /
                       ("trk_3_3_1000_1_" + arch_name(GetParam()) + ".exe");
  ASSERT_EQ(write_trk_with_version(builds().trk, variant, 3, 3, 1000, 1), "");
  auto hotfix = hotfix_case().file(kTrkWindowsPath, variant);
  expect_not_applicable(hotfix, false, fixture_report("3.3.1000.1"));
}

TEST_P(Gate, OnWindows2000ItWarns) {
  auto hotfix = hotfix_case().windows_version("win2k");
  expect_not_applicable(hotfix, false, fixture_report());
}

TEST_P(Gate, OnWindows7ItWarns) {
  auto hotfix = hotfix_case().windows_version("win7");
  expect_not_applicable(hotfix, false, fixture_report());
}

HOTFIX_WINE_TEST_SUITE(Gate);

}  // namespace
}  // namespace wine_harness
