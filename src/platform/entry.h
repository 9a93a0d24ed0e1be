// The program's entry, as the hosts see it. Both hosts (WinMain on Windows,
// the simulated run elsewhere) create their platform and call this; the
// program defines it. Ends the program through Platform::End; never returns.
#pragma once

#include "platform/platform.h"

namespace platform {

[[noreturn]] void ProgramMain(Platform& platform);

}  // namespace platform
