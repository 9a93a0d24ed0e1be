// The firewall check and version gate: installed, right version, Windows XP.
#include "hotfix/form1.h"
#include "hotfix/texts.h"
#include "registry/lookups.h"
#include "system/os_version.h"

namespace hotfix {
namespace {
using Part = platform::TextPart;
}  // namespace

void Form1::Valto_Check() {
  Long root = platform::kHkeyLocalMachine;
  Text key = registry::kFirewallUninstallKey;
  Text value = registry::kDisplayName;
  state_.bFirewallFound = QueryValue(root, key, value);
  if (state_.bFirewallFound == platform::kTrue) {
    File_Version();
    return;
  }
  Message_Valto();
}

void Form1::File_Version() {
  get_reg_Valto();
  state_.sExeName = u"trk.exe";
  state_.sInstallDir = state_.sRegResult;
  state_.sFullName = state_.sInstallDir + state_.sExeName;  // no separator added
  DisplayVerInfo();

  platform_.Print(platform::Concat({"Full filename: ", state_.sFullName}));
  platform_.Print(platform::Concat({"File version: ", state_.sFileVer}));
  platform_.Print(platform::Concat({"Product version: ", state_.sProdVer}));
  platform_.Print(platform::Concat({"File flags: ", state_.sFileFlags}));
  platform_.Print(platform::Concat({"File OS: ", state_.sFileOS}));
  const bool sub = !state_.sFileSubType.empty();
  platform_.Print(platform::Concat({"File type: ", state_.sFileType, sub ? Part(" (") : Part(""),
                                    state_.sFileSubType, sub ? Part(")") : Part("")}));

  if (state_.sFileVer == kRequiredFileVersion) {
    OS_check();
    return;
  }
  Message_Valto();
}

void Form1::OS_check() {
  if (sys::get_OS(platform_) == kRequiredWindows) {
    Shell_Wait(platform_.AppPath() + kFirstInstaller, platform::kSwHide);
    return;
  }
  Message_Valto();
}

void Form1::Message_Valto() {
  platform_.MsgBox(ApplicabilityWarning(), platform::kMbIconExclamation,
                   Text(kApplicabilityTitle));
  platform_.End(kExitNotApplicable);
}

}  // namespace hotfix
