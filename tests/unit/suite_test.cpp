// Detection of either product and the product's shut-down command. Nothing in
// a run reaches these operations, so they are driven directly.
#include <gtest/gtest.h>

#include "hotfix/form1.h"
#include "machines.h"
#include "platform/failure.h"

namespace {

using namespace testing_machines;
using platform::Long;
using platform::Text;

const Long kHklm = platform::kHkeyLocalMachine;
const Text kSuiteDir = u"C:\\Program Files\\Orvane\\Internet Security\\";

sim::Machine SuiteMachine(bool suite, bool firewall) {
  sim::Machine m;
  if (suite) {
    m.registry.SetString(kHklm, registry::kSuiteUninstallKey, registry::kDisplayName, u"Orvane Internet Security");
    m.registry.SetString(kHklm, registry::kSuiteSetupKey, registry::kSuiteLocationValue, kSuiteDir);
    m.AddProgram(kSuiteDir + u"Pellion.exe");
  }
  if (firewall) {
    m.registry.SetString(kHklm, registry::kFirewallUninstallKey, registry::kDisplayName, u"Orvane Firewall v3.03");
    m.registry.SetString(kHklm, registry::kFirewallKey, registry::kFirewallInstallPathValue, kFirewallDir);
    m.AddProgram(Text(kFirewallDir) + u"TRK.EXE");
  }
  return m;
}

struct Outcome {
  hotfix::Form1State state;
  sim::Observations seen;
  std::optional<Long> ended;
};

Outcome RunKestaCheck(sim::Machine& m, const std::function<void(hotfix::Form1State&)>& before = {}) {
  sim::SimulatedPlatform p(m);
  hotfix::Form1 form(p);
  if (before) before(form.state());
  std::optional<Long> ended;
  try {
    form.Kesta_Check();
  } catch (const platform::EndProgram& end) {
    ended = end.exit_code;
  }
  return {form.state(), p.observations(), ended};
}

TEST(SuiteOperations, BothInstalledHandlesOnlyTheSuite) {
  sim::Machine m = SuiteMachine(true, true);
  const Outcome o = RunKestaCheck(m, [](hotfix::Form1State& s) { s.bFirewallFound = 7; });
  EXPECT_EQ(o.state.bSuiteFound, platform::kTrue);
  EXPECT_EQ(o.state.bFirewallFound, 7);  // its entry was not even read
  EXPECT_EQ(o.state.sTargetExe, u"Pellion.exe");
  EXPECT_EQ(o.state.sRegSource, u"get_reg_Kesta");
  EXPECT_EQ(o.state.sCmdLine, kSuiteDir + u"Pellion.exe /Uninstall");
  EXPECT_EQ(CommandLines(o.seen), std::vector<Text>{kSuiteDir + u"Pellion.exe /Uninstall"});
  EXPECT_EQ(o.seen.started[0].window_style, 0);
  EXPECT_EQ(CallsNamed(o.seen, "RegOpenKeyExA").size(), 1u);
  EXPECT_FALSE(o.ended);
}

TEST(SuiteOperations, FirewallOnlyRunsTrkWithUninstall) {
  sim::Machine m = SuiteMachine(false, true);
  const Outcome o = RunKestaCheck(m);
  EXPECT_EQ(o.state.bSuiteFound, platform::kFalse);
  EXPECT_EQ(o.state.bFirewallFound, platform::kTrue);
  EXPECT_EQ(o.state.sRegSource, u"get_reg_Valto");
  EXPECT_EQ(o.state.sTargetExe, u"TRK.EXE");
  EXPECT_EQ(o.state.sTargetDir, kFirewallDir);
  EXPECT_EQ(o.state.sTargetFile, u"TRK.EXE");
  EXPECT_EQ(o.state.sTargetArgs, u"/Uninstall");
  EXPECT_EQ(CommandLines(o.seen), std::vector<Text>{Text(kFirewallDir) + u"TRK.EXE /Uninstall"});
}

TEST(SuiteOperations, NeitherInstalledWarnsAndEndsWithoutStartingAnything) {
  sim::Machine m = SuiteMachine(false, false);
  const Outcome o = RunKestaCheck(m);
  EXPECT_EQ(o.state.bSuiteFound, platform::kFalse);
  EXPECT_EQ(o.state.bFirewallFound, platform::kFalse);
  ASSERT_EQ(o.seen.boxes.size(), 1u);
  EXPECT_EQ(o.seen.boxes[0].text,
            u"Orvane Internet Security or Orvane Firewall are not installed, Hotfix will now terminate. ");
  EXPECT_EQ(o.seen.boxes[0].title, u"Terminating Orvane Hotfix ");
  EXPECT_EQ(o.seen.boxes[0].style, 48);
  EXPECT_TRUE(o.seen.started.empty());
  EXPECT_TRUE(CallsNamed(o.seen, "RegOpenKeyA").empty());  // no location read
  EXPECT_EQ(o.ended, 1642);
}

TEST(SuiteOperations, SuiteEntryWithEmptyDisplayNameStoredWithNulCountsAsInstalled) {
  sim::Machine m = SuiteMachine(true, false);
  m.registry.SetString(kHklm, registry::kSuiteUninstallKey, registry::kDisplayName, u"");
  const Outcome o = RunKestaCheck(m);
  EXPECT_EQ(o.state.bSuiteFound, platform::kTrue);
  EXPECT_EQ(o.seen.started.size(), 1u);
}

TEST(SuiteOperations, LocationWithoutBackslashRunsTogetherAndBlanksAreNotQuoted) {
  sim::Machine m = SuiteMachine(true, false);
  m.registry.SetString(kHklm, registry::kSuiteSetupKey, registry::kSuiteLocationValue, u"C:\\Orvane Suite");
  m.AddProgram(u"C:\\Orvane SuitePellion.exe");
  const Outcome o = RunKestaCheck(m);
  EXPECT_EQ(CommandLines(o.seen), std::vector<Text>{u"C:\\Orvane SuitePellion.exe /Uninstall"});
  EXPECT_EQ(o.seen.started[0].application, u"C:\\Orvane SuitePellion.exe");
}

TEST(SuiteOperations, SelectorIsComparedExactly) {
  for (const Text& selector : {Text(u"GET_REG_KESTA"), Text(u"get_reg_kesta"), Text(u"x"), Text()}) {
    SCOPED_TRACE(platform::ToUtf8(selector));
    sim::Machine m = SuiteMachine(true, true);
    sim::SimulatedPlatform p(m);
    hotfix::Form1 form(p);
    form.state().sRegSource = selector;
    form.get_Location();
    EXPECT_EQ(form.state().sRegKey, u"Software\\Orvane\\Orvane firewall");
    EXPECT_EQ(form.state().sTargetDir, kFirewallDir);
  }
}

TEST(SuiteOperations, ShutDownBeforeKestaCheckUsesTheFirewallLookupAndNoFileName) {
  sim::Machine m = SuiteMachine(false, true);
  sim::SimulatedPlatform p(m);
  hotfix::Form1 form(p);
  try {
    form.shut_Down();
    FAIL() << "the folder itself is no program";
  } catch (const platform::RuntimeFailure& f) {
    EXPECT_EQ(f.number(), 53);
  }
  EXPECT_EQ(form.state().sCmdLine, Text(kFirewallDir) + u" /Uninstall");
}

TEST(SuiteOperations, MissingLocationRaisesFileNotFoundThroughKestaCheck) {
  sim::Machine m = SuiteMachine(true, false);
  m.registry.DeleteValue(kHklm, registry::kSuiteSetupKey, registry::kSuiteLocationValue);
  sim::SimulatedPlatform p(m);
  hotfix::Form1 form(p);
  try {
    form.Kesta_Check();
    FAIL() << "expected failure 53";
  } catch (const platform::RuntimeFailure& f) {
    EXPECT_EQ(f.number(), 53);
  }
  EXPECT_EQ(form.state().sCmdLine, u"No! Value or Key Doesn't existPellion.exe /Uninstall");
}

TEST(ProductLookups, EachLookupSetsItsLocationAndItsResultField) {
  sim::Machine m = SuiteMachine(true, true);
  m.registry.SetString(kHklm, registry::kUpdaterProgramKey, registry::kLanguageValue, u"ita");
  sim::SimulatedPlatform p(m);
  hotfix::Form1 form(p);
  const auto& s = form.state();

  form.get_reg_Kesta();
  EXPECT_EQ(s.lRegRoot, kHklm);
  EXPECT_EQ(s.sRegKey, u"Software\\Orvane\\Orvane Internet Security\\CurrentVersion\\Setup");
  EXPECT_EQ(s.sRegValueName, u"Location");
  EXPECT_EQ(s.sRegResult, kSuiteDir);

  form.get_reg_Valto();  // same result field: the firewall's text replaces the suite's
  EXPECT_EQ(s.sRegKey, u"Software\\Orvane\\Orvane firewall");
  EXPECT_EQ(s.sRegValueName, u"Installpath");
  EXPECT_EQ(s.sRegResult, kFirewallDir);

  form.get_lang_code();
  EXPECT_EQ(s.sRegKey, u"Software\\Orvane\\Orvane Shared Components\\Updater\\Settings\\Products\\Valto\\Program");
  EXPECT_EQ(s.sRegValueName, u"Language");
  EXPECT_EQ(s.sLangCode, u"ita");
  EXPECT_EQ(s.sRegResult, kFirewallDir);  // untouched by the language lookup
}

TEST(ProductLookups, MissingKeyOrValueLeavesTheSentinelText) {
  sim::Machine m;
  sim::SimulatedPlatform p(m);
  hotfix::Form1 form(p);
  form.get_reg_Valto();
  EXPECT_EQ(form.state().sRegResult, u"No! Value or Key Doesn't exist");
  form.get_lang_code();
  EXPECT_EQ(form.state().sLangCode, u"No! Value or Key Doesn't exist");
}

}  // namespace
