// Exit statuses, after the Windows Installer conventions deployment tools read.
#pragma once

#include "platform/text.h"
#include "platform/win_types.h"

namespace deployment {

using platform::Long;

inline constexpr Long kExitHelpShown = 0;
inline constexpr Long kExitChecksPassed = 0;         // /check: the fix applies
inline constexpr Long kExitInvalidCommandLine = 87;  // ERROR_INVALID_PARAMETER
inline constexpr Long kExitRestartRequired = 3010;   // fix installed, restart declined or refused
inline constexpr Long kExitRestartInitiated = 1641;  // restart request accepted
inline constexpr Long kExitNotApplicable = 1642;     // a warning ended the run
inline constexpr Long kExitFailure = 1603;           // run-time error report
inline constexpr Long kExitLogFailure = 1622;        // the log file cannot be opened or is refused
inline constexpr Long kExitAlreadyRunning = 1618;    // another copy runs (ERROR_INSTALL_ALREADY_RUNNING)
inline constexpr Long kExitPayloadMismatch = 1620;   // installers not as pinned (ERROR_INSTALL_PACKAGE_INVALID)

// An installer's exit code that means it did its work.
inline bool InstallerSucceeded(Long code) {
  return code == 0 || code == kExitRestartRequired || code == kExitRestartInitiated;
}

// What an exit status of Hotfix.exe means, in a few words. Codes of its own
// are named; any other is an installer's.
platform::Text ExitStatusMeaning(Long status);

}  // namespace deployment
