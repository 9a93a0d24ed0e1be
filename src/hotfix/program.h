// Start-up of the program on any platform.
#pragma once

#include "platform/failure.h"
#include "platform/platform.h"

namespace platform {
class DeploymentServices;  // the program's start passes it to the deployment layer
}  // namespace platform

namespace hotfix {

// Creates Form1, on the deployment layer, and raises its load event. A run-time failure that reaches
// here gets the standard run-time error report and ends the program with
// status 1603. Ends the program in every case; never returns normally.
[[noreturn]] void RunHotfix(platform::Platform& platform,
                            platform::DeploymentServices& services);

// The standard run-time error report: a message box with the failure's
// number and description, titled with the program's name.
void ReportRuntimeError(platform::Platform& platform,
                        const platform::RuntimeFailure& failure);

inline constexpr char16_t kProgramTitle[] = u"Hotfix";

}  // namespace hotfix
