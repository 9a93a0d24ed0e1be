// The Windows version name.
#pragma once

#include "platform/platform.h"

namespace sys {

// "Windows 95", "Windows 98", "Windows Mellinnium", "Windows NT 3.51",
// "Windows NT 4.0", "Windows 2000", "Windows XP", "Failed" (the query failed
// or named an unknown platform) or the empty text (a version this program
// does not know, NT 6 and later among them). Asks Windows on every call.
platform::Text get_OS(platform::Platform& platform);

// The name for a version record as GetVersionExA left it (platform id 0
// after a failed query).
platform::Text OsName(const platform::OSVERSIONINFOA& info);

}  // namespace sys
