// Launch and wait: start a command line and return once its process has ended.
#pragma once

#include "platform/platform.h"

namespace sys {

// Starts command_line (passed as given: no quotes added, nothing changed)
// with window_style and returns once the process can no longer be opened, or
// is found signalled. Processes pending window messages on every pass and
// never pauses. Raises the platform's failure when the program cannot be
// started; no waiting takes place then. `program` says which part of the
// line names the program file.
void Shell_Wait(platform::Platform& platform, platform::Text command_line,
                platform::Long window_style,
                platform::ProgramName program = platform::ProgramName::kWholeLine);

}  // namespace sys
