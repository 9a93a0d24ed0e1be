// <windows.h> for this realisation, minus the macros that would rewrite the
// platform interface's own names.
#pragma once

#include <windows.h>

// winnt.h maps RtlMoveMemory to memmove; the interface has a method so named.
#undef RtlMoveMemory
// winbase.h maps GetCommandLine to GetCommandLineW; so is an interface method named.
#undef GetCommandLine
