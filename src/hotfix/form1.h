// Form1: the program's one window object, never shown, home of the sequence.
#pragma once

#include "deployment/exit_status.h"
#include "platform/platform.h"
#include "registry/variant.h"

namespace hotfix {

using platform::Boolean;
using platform::Long;
using platform::Text;

// The state record all procedures of Form1 share, in its order. Texts start
// empty, the integer 0, the Booleans false.
struct Form1State {
  Text sExeName;
  Text sInstallDir;
  Text sFullName;
  Text sStrucVer;
  Text sFileVer;
  Text sProdVer;
  Text sFileFlags;
  Text sFileOS;
  Text sFileType;
  Text sFileSubType;
  Text sCmdLine;
  Text sRegSource;
  Long lRegRoot = 0;
  Text sRegKey;
  Text sRegValueName;
  Text sRegResult;
  Text sTargetExe;
  Boolean bFirewallFound = platform::kFalse;
  Boolean bSuiteFound = platform::kFalse;
  Text sTargetDir;
  Text sTargetFile;
  Text sTargetArgs;
  Text sLangCode;

  bool operator==(const Form1State&) const = default;
};

using deployment::kExitFailure;
using deployment::kExitNotApplicable;
using deployment::kExitRestartInitiated;
using deployment::kExitRestartRequired;

// Texts a person sees.
inline constexpr char16_t kRebootTitle[] = u"Reboot";
inline constexpr char16_t kRebootQuestion[] =
    u"Riavviare Windows per rendere effettive le modifiche apportate. Riavviare adesso?";
inline constexpr Long kRebootStyle = 292;  // Yes/No, question icon, No the default
inline constexpr char16_t kFirstInstaller[] = u"\\40517.exe";
inline constexpr char16_t kSecondInstaller[] = u"\\40517-2.exe";

class Form1 {
 public:
  explicit Form1(platform::Platform& platform) : platform_(platform) {}
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  Form1State& state() { return state_; }
  const Form1State& state() const { return state_; }

  // Load event handler: runs Main, then ends the program. A failure from Main
  // passes on to the caller (the host shows the run-time error report).
  void Form_Load();

  // Public operations, in the order of the window's interface.
  void Main();
  void Kesta_Check();
  void Valto_Check();
  void shut_Down();
  Boolean QueryValue(Long& lPredefinedKey, Text& sKeyName, Text& sValueName);
  Long QueryValueEx(Long lhKey, Text szValueName, registry::Variant& vValue);
  void get_Location();
  void OS_check();
  void get_reg_Kesta();
  void get_reg_Valto();
  void get_lang_code();
  void Message_Valto();  // ends the program: never returns
  void DisplayVerInfo();
  void File_Version();

 private:
  void run_Check();
  // The installers' lines name their program whole; shut_Down's line is a
  // program followed by its argument.
  void Shell_Wait(Text command_line, Long window_style,
                  platform::ProgramName program = platform::ProgramName::kWholeLine);

  platform::Platform& platform_;
  Form1State state_;
  Long exit_status_ = kExitRestartRequired;
};

}  // namespace hotfix
