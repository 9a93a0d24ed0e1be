#include "deployment/exit_status.h"

namespace deployment {

platform::Text ExitStatusMeaning(Long status) {
  platform::TextPart meaning = "";
  switch (status) {
    case kExitHelpShown: meaning = "the list of switches was shown"; break;
    case kExitInvalidCommandLine: meaning = "invalid command line, nothing was done"; break;
    case kExitRestartRequired:
      meaning = "the fix is installed and Windows must be restarted";
      break;
    case kExitRestartInitiated: meaning = "the fix is installed and Windows is restarting"; break;
    case kExitNotApplicable:
      meaning = "the fix does not apply to this computer, nothing was done";
      break;
    case kExitFailure: meaning = "a run-time error ended the run"; break;
    case kExitLogFailure:
      meaning = "the log file cannot be opened or is refused, nothing was done";
      break;
    case kExitAlreadyRunning:
      meaning = "another copy of Hotfix.exe is running, nothing was done";
      break;
    case kExitPayloadMismatch:
      meaning = "the installers are not as pinned, nothing was started";
      break;
    default: meaning = "an installer failed with this exit code"; break;
  }
  return platform::Concat({meaning});
}

}  // namespace deployment
