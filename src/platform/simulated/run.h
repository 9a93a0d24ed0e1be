// The simulated host: runs Hotfix on a machine as Windows would run
// Hotfix.exe, and keeps what happened.
#pragma once

#include "platform/simulated/machine.h"
#include "platform/simulated/simulated_platform.h"

namespace sim {

struct RunResult {
  Observations seen;  // exit_code always set: every run ends through End
};

// Runs the whole program on `machine` (whose scripted answers it consumes).
// Throws ScriptError when the program asked a question no answer was
// scripted for, or ended with answers unused.
RunResult RunProgram(Machine& machine);

}  // namespace sim
