// Start-up, the main sequence and the operations that delegate to the
// subsystems.
#include "hotfix/form1.h"

#include "registry/lookups.h"
#include "registry/readers.h"
#include "system/restart.h"
#include "system/shell_wait.h"
#include "version/ver_info.h"

namespace hotfix {

void Form1::Form_Load() {
  Main();
  platform_.End(exit_status_);
}

void Form1::Main() {
  run_Check();
  Shell_Wait(platform_.AppPath() + kSecondInstaller, platform::kSwHide);
  const Long answer = platform_.MsgBox(kRebootQuestion, kRebootStyle, Text(kRebootTitle));
  if (answer == platform::kIdYes) {
    // The request's outcome changes nothing but what deployment tools are told.
    const Long accepted = sys::restart_Windows(platform_);
    exit_status_ = accepted != 0 ? kExitRestartInitiated : kExitRestartRequired;
  } else {
    platform_.Unload();
    exit_status_ = kExitRestartRequired;
  }
}

void Form1::run_Check() { Valto_Check(); }

void Form1::Shell_Wait(Text command_line, Long window_style, platform::ProgramName program) {
  sys::Shell_Wait(platform_, std::move(command_line), window_style, program);
}

Boolean Form1::QueryValue(Long& lPredefinedKey, Text& sKeyName, Text& sValueName) {
  return registry::QueryValue(platform_, lPredefinedKey, sKeyName, sValueName);
}

Long Form1::QueryValueEx(Long lhKey, Text szValueName, registry::Variant& vValue) {
  return registry::QueryValueEx(platform_, lhKey, std::move(szValueName), vValue);
}

void Form1::get_reg_Kesta() {
  state_.sRegResult = registry::get_reg_Kesta(
      platform_, {state_.lRegRoot, state_.sRegKey, state_.sRegValueName});
}

void Form1::get_reg_Valto() {
  state_.sRegResult = registry::get_reg_Valto(
      platform_, {state_.lRegRoot, state_.sRegKey, state_.sRegValueName});
}

void Form1::get_lang_code() {
  state_.sLangCode = registry::get_lang_code(
      platform_, {state_.lRegRoot, state_.sRegKey, state_.sRegValueName});
}

void Form1::DisplayVerInfo() {
  version::DisplayVerInfo(platform_, state_.sFullName,
                          {state_.sStrucVer, state_.sFileVer, state_.sProdVer,
                           state_.sFileFlags, state_.sFileOS, state_.sFileType,
                           state_.sFileSubType});
}

}  // namespace hotfix
