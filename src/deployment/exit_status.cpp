#include "deployment/exit_status.h"

namespace deployment {

platform::Text ExitStatusMeaning(Long status) {
  switch (status) {
    case kExitHelpShown: return u"the list of switches was shown";
    case kExitInvalidCommandLine: return u"invalid command line, nothing was done";
    case kExitRestartRequired: return u"the fix is installed and Windows must be restarted";
    case kExitRestartInitiated: return u"the fix is installed and Windows is restarting";
    case kExitNotApplicable: return u"the fix does not apply to this computer, nothing was done";
    case kExitFailure: return u"a run-time error ended the run";
    case kExitLogFailure: return u"the log file cannot be opened or is refused, nothing was done";
    case kExitAlreadyRunning: return u"another copy of Hotfix.exe is running, nothing was done";
    default: return u"an installer failed with this exit code";
  }
}

}  // namespace deployment
