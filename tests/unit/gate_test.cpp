// The version gate: every way a machine can meet it, seen as a person and the
// machine see it (boxes, programs started, report lines, restart, exit status).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "hotfix/form1.h"
#include "machines.h"

namespace {

using namespace testing_machines;
using platform::Long;
using platform::Text;

const Text kTrk = u"C:\\Program Files\\Orvane\\Firewall\\trk.exe";
const Long kHklm = platform::kHkeyLocalMachine;
const Text kWarningTitle = u"Orvane Firewall v3.03 Hotfix (CR 40517)";
const Text kWarning =
    u"Questo aggiornamento rapido si applica solo alle installazioni di Orvane Firewall v3.03 su "
    u"Windows XP.\r\rPer stabilire quale versione di Firewall \u00E8 installata, fare riferimento "
    u"a Informazioni su Orvane Firewall.  Se \u00E8 installata una versione precedente di Orvane "
    u"Firewall v3.x, \u00E8 possibile aggiornarla eseguendo Brisk Updater.\r\rPer ulteriori "
    u"informazioni, visitare http://www.orvane.it/supporto";
const sim::BoxShown kWarningBox{kWarningTitle, kWarning, 48, platform::kIdOk};
const sim::BoxShown kNoticeBox{u"Hotfix", u"No Version Info available!", 0, platform::kIdOk};
const sim::BoxShown kRebootBox{
    u"Reboot", u"Riavviare Windows per rendere effettive le modifiche apportate. Riavviare adesso?",
    292, platform::kIdNo};
const std::vector<Text> kBothInstallers = {u"C:\\Hotfix\\40517.exe", u"C:\\Hotfix\\40517-2.exe"};

std::vector<Text> Report(const Text& full_name, const Text& version = u"3.3.1000.0") {
  const bool decoded = !version.empty();
  return {u"Full filename: " + full_name,
          u"File version: " + version,
          u"Product version: " + version,
          u"File flags: ",
          decoded ? Text(u"File OS: NT-Win32") : Text(u"File OS: "),
          decoded ? Text(u"File type: App") : Text(u"File type: ")};
}


struct Case {
  const char* name;
  std::function<void(sim::Machine&)> change;
  std::vector<sim::BoxShown> boxes;
  std::vector<Text> started;
  std::vector<Text> report;
  Long exit_code;
};

void SetVersion(sim::Machine& m, std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d) {
  m.AddVersionedFile(kTrk, sim::MakeVersionResource(sim::FixedFileInfo(a, b, c, d)));
}

std::vector<Case> Cases() {
  const std::vector<Text> none;
  return {
      {"fix applies", [](sim::Machine&) {}, {kRebootBox}, kBothInstallers, Report(kTrk), 3010},
      {"no uninstall entry",
       [](sim::Machine& m) { m.registry.DeleteKey(kHklm, registry::kFirewallUninstallKey); },
       {kWarningBox}, none, {}, 1642},
      {"uninstall entry without DisplayName",
       [](sim::Machine& m) {
         m.registry.DeleteValue(kHklm, registry::kFirewallUninstallKey, registry::kDisplayName);
       },
       {kWarningBox}, none, {}, 1642},
      {"DisplayName empty but stored with its NUL counts as installed",
       [](sim::Machine& m) {
         m.registry.SetString(kHklm, registry::kFirewallUninstallKey, registry::kDisplayName, u"");
       },
       {kRebootBox}, kBothInstallers, Report(kTrk), 3010},
      {"DisplayName blank without NUL is not installed",
       [](sim::Machine& m) {
         m.registry.SetString(kHklm, registry::kFirewallUninstallKey, registry::kDisplayName, u"  ",
                              platform::kRegSz, false);
       },
       {kWarningBox}, none, {}, 1642},
      {"DisplayName REG_DWORD 0 counts as installed",
       [](sim::Machine& m) { m.registry.SetDword(kHklm, registry::kFirewallUninstallKey, registry::kDisplayName, 0); },
       {kRebootBox}, kBothInstallers, Report(kTrk), 3010},
      {"DisplayName REG_EXPAND_SZ is not installed",
       [](sim::Machine& m) {
         m.registry.SetString(kHklm, registry::kFirewallUninstallKey, registry::kDisplayName,
                              u"Orvane Firewall v3.03", platform::kRegExpandSz);
       },
       {kWarningBox}, none, {}, 1642},
      {"uninstall key readable but not writable",
       [](sim::Machine& m) { m.registry.FindKey(kHklm, registry::kFirewallUninstallKey)->may_write = false; },
       {kWarningBox}, none, {}, 1642},
      {"Installpath missing",
       [](sim::Machine& m) {
         m.registry.DeleteValue(kHklm, registry::kFirewallKey, registry::kFirewallInstallPathValue);
       },
       {kNoticeBox, kWarningBox}, none, Report(u"No! Value or Key Doesn't existtrk.exe", u""), 1642},
      {"Installpath without trailing backslash",
       [](sim::Machine& m) {
         m.registry.SetString(kHklm, registry::kFirewallKey, registry::kFirewallInstallPathValue,
                              u"C:\\Program Files\\Orvane\\Firewall");
       },
       {kNoticeBox, kWarningBox}, none, Report(u"C:\\Program Files\\Orvane\\Firewalltrk.exe", u""), 1642},
      {"Installpath REG_EXPAND_SZ reads as missing",
       [](sim::Machine& m) {
         m.registry.SetString(kHklm, registry::kFirewallKey, registry::kFirewallInstallPathValue,
                              u"C:\\Program Files\\Orvane\\Firewall\\", platform::kRegExpandSz);
       },
       {kNoticeBox, kWarningBox}, none, Report(u"No! Value or Key Doesn't existtrk.exe", u""), 1642},
      {"version 3.3.1000.1", [](sim::Machine& m) { SetVersion(m, 3, 3, 1000, 1); },
       {kWarningBox}, none, Report(kTrk, u"3.3.1000.1"), 1642},
      {"version 3.3.1001.0", [](sim::Machine& m) { SetVersion(m, 3, 3, 1001, 0); },
       {kWarningBox}, none, Report(kTrk, u"3.3.1001.0"), 1642},
      {"version 3.30.1000.0", [](sim::Machine& m) { SetVersion(m, 3, 30, 1000, 0); },
       {kWarningBox}, none, Report(kTrk, u"3.30.1000.0"), 1642},
      {"trk.exe without version resource",
       [](sim::Machine& m) { m.files[kTrk].version_resource.reset(); },
       {kNoticeBox, kWarningBox}, none, Report(kTrk, u""), 1642},
      {"trk.exe missing", [](sim::Machine& m) { m.files.erase(kTrk); },
       {kNoticeBox, kWarningBox}, none, Report(kTrk, u""), 1642},
      {"Windows 2000", [](sim::Machine& m) { m.windows = *sim::WindowsVersionNamed("win2k"); },
       {kWarningBox}, none, Report(kTrk), 1642},
      {"Windows 7 (NT 6.1)", [](sim::Machine& m) { m.windows = *sim::WindowsVersionNamed("win7"); },
       {kWarningBox}, none, Report(kTrk), 1642},
      {"Windows 98", [](sim::Machine& m) { m.windows = *sim::WindowsVersionNamed("win98"); },
       {kWarningBox}, none, Report(kTrk), 1642},
      {"Windows version query fails", [](sim::Machine& m) { m.windows.query_fails = true; },
       {kWarningBox}, none, Report(kTrk), 1642},
      {"NT 5.2 passes as Windows XP", [](sim::Machine& m) { m.windows = *sim::WindowsVersionNamed("winxp64"); },
       {kRebootBox}, kBothInstallers, Report(kTrk), 3010},
  };
}

TEST(VersionGate, EveryOutcomeShowsWhatItShouldAndStartsOnlyWhatItShould) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    sim::Machine m = ApplicableMachine();
    c.change(m);
    const bool asks = std::any_of(c.boxes.begin(), c.boxes.end(),
                                  [](const sim::BoxShown& b) { return b.title == u"Reboot"; });
    if (asks) m.answers = {sim::AnswerNo()};
    const auto seen = sim::RunProgram(m).seen;

    EXPECT_EQ(seen.boxes, c.boxes);
    EXPECT_EQ(CommandLines(seen), c.started);
    EXPECT_EQ(seen.printed, c.report);
    EXPECT_FALSE(seen.restart.has_value());
    EXPECT_EQ(seen.exit_code, c.exit_code);
    if (!asks) {
      EXPECT_FALSE(seen.unloaded);
    }
  }
}

TEST(VersionGate, WarningHasFourCarriageReturnsAndNoLineFeed) {
  sim::Machine m = ApplicableMachine();
  m.windows = *sim::WindowsVersionNamed("win2k");
  const auto seen = sim::RunProgram(m).seen;
  ASSERT_EQ(seen.boxes.size(), 1u);
  const Text& text = seen.boxes[0].text;
  EXPECT_EQ(std::count(text.begin(), text.end(), u'\r'), 4);
  EXPECT_EQ(text.find(u'\n'), Text::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), u'\u00E8'), 3);
  EXPECT_TRUE(text.ends_with(u"visitare http://www.orvane.it/supporto"));
}

TEST(VersionGate, NothingIsStartedOrReadAfterTheWarning) {
  sim::Machine m = ApplicableMachine();
  SetVersion(m, 3, 3, 1000, 1);
  const auto seen = sim::RunProgram(m).seen;
  // The warning is followed by the end of the program and nothing else.
  ASSERT_GE(seen.trace.size(), 2u);
  EXPECT_EQ(seen.trace[seen.trace.size() - 2].call, "MsgBox");
  EXPECT_EQ(seen.trace.back().call, "End");
  EXPECT_TRUE(CallsNamed(seen, "GetVersionExA").empty());  // the Windows test never ran
}

TEST(VersionGate, StateRecordAfterTheGateHoldsWhatTheStepsWrote) {
  sim::Machine m = ApplicableMachine();
  sim::SimulatedPlatform p(m);
  hotfix::Form1 form(p);
  form.Valto_Check();  // returns: the fix applies and the first installer ended
  const auto& s = form.state();
  EXPECT_EQ(s.bFirewallFound, platform::kTrue);
  EXPECT_EQ(s.sExeName, u"trk.exe");
  EXPECT_EQ(s.sInstallDir, kFirewallDir);
  EXPECT_EQ(s.sFullName, kTrk);
  EXPECT_EQ(s.sStrucVer, u"1.0");
  EXPECT_EQ(s.sFileVer, u"3.3.1000.0");
  EXPECT_EQ(s.lRegRoot, kHklm);
  EXPECT_EQ(s.sRegKey, u"Software\\Orvane\\Orvane firewall");
  EXPECT_EQ(s.sRegValueName, u"Installpath");
  EXPECT_EQ(CommandLines(p.observations()), std::vector<Text>{u"C:\\Hotfix\\40517.exe"});
}

TEST(VersionGate, MissingFirstInstallerEndsWithTheErrorReport) {
  sim::Machine m = ApplicableMachine();
  m.files.erase(u"C:\\Hotfix\\40517.exe");
  const auto seen = sim::RunProgram(m).seen;
  ASSERT_EQ(seen.boxes.size(), 1u);
  EXPECT_EQ(seen.boxes[0].text, u"Run-time error '53':\r\n\r\nFile not found");
  EXPECT_TRUE(seen.started.empty());
  EXPECT_EQ(seen.exit_code, 1603);
}

}  // namespace
