// Detection of either product of the family and the product's shut-down.
#include "hotfix/form1.h"
#include "hotfix/texts.h"
#include "registry/lookups.h"

namespace hotfix {

void Form1::Kesta_Check() {
  Long root = platform::kHkeyLocalMachine;
  Text suite_key = registry::kSuiteUninstallKey;
  Text value = registry::kDisplayName;
  state_.bSuiteFound = QueryValue(root, suite_key, value);
  if (state_.bSuiteFound == platform::kTrue) {
    state_.sTargetExe = kSuiteExe;
    state_.sRegSource = kSuiteLookup;
    shut_Down();
    return;
  }
  Text firewall_key = registry::kFirewallUninstallKey;
  state_.bFirewallFound = QueryValue(root, firewall_key, value);
  if (state_.bFirewallFound == platform::kTrue) {
    state_.sRegSource = kFirewallLookup;
    state_.sTargetExe = kFirewallExe;
    shut_Down();
    return;
  }
  platform_.MsgBox(kNotInstalledWarning, platform::kMbIconExclamation,
                   Text(kNotInstalledTitle));
  platform_.End(kExitNotApplicable);
}

void Form1::shut_Down() {
  get_Location();
  state_.sCmdLine = state_.sTargetDir + state_.sTargetFile + u" " + state_.sTargetArgs;
  Shell_Wait(state_.sCmdLine, platform::kSwHide, platform::ProgramName::kLeadingPart);
}

void Form1::get_Location() {
  if (state_.sRegSource == kSuiteLookup) {
    get_reg_Kesta();
  } else {
    get_reg_Valto();
  }
  state_.sTargetDir = state_.sRegResult;
  state_.sTargetFile = state_.sTargetExe;
  state_.sTargetArgs = kUninstallArgument;
}

}  // namespace hotfix
