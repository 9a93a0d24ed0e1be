// The restart countdown: a modal dialog box that counts down to the restart.
#pragma once

#include "platform/win32/windows_h.h"

#include "platform/text.h"

namespace platform::win32 {

// IDOK or IDCANCEL as pressed, kIdTimeout (32000) when the time ran out, 0
// when the box could not be created. `prompt` holds "{}" for the seconds.
int ShowRestartCountdown(HINSTANCE instance, const Text& title, const Text& prompt, DWORD seconds,
                         const Text& ok_label, const Text& cancel_label);

}  // namespace platform::win32
