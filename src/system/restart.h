// Restart with the shutdown privilege.
#pragma once

#include "platform/platform.h"

namespace sys {

// Enables "SeShutdownPrivilege" in the own process's token. Tests no result:
// a failed step leaves its output zero and the next step goes on with it.
void set_Privilege(platform::Platform& platform);

// Requests the restart: directly on the Windows 95 family, after
// set_Privilege on every other name. Returns what ExitWindowsEx returned
// (non-zero: Windows accepted the request), which decides nothing but the
// program's exit status.
platform::Long restart_Windows(platform::Platform& platform);

}  // namespace sys
