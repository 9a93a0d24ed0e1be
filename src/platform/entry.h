// The program's entry, as the hosts see it. Both hosts (WinMain on Windows,
// the simulated run elsewhere) create their platform, which serves both
// doors, and call this; the program defines it. Ends the program through
// Platform::End; never returns.
#pragma once

#include "platform/deployment_services.h"
#include "platform/platform.h"

namespace platform {

[[noreturn]] void ProgramMain(Platform& platform, DeploymentServices& services);

}  // namespace platform
