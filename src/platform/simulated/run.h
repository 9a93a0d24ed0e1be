// The simulated host: runs Hotfix on a machine as Windows would run
// Hotfix.exe, and keeps what happened.
#pragma once

#include "platform/simulated/machine.h"
#include "platform/simulated/simulated_platform.h"

namespace sim {

struct RunResult {
  Observations seen;  // exit_code always set: every run ends through End
  std::size_t unused_answers = 0;  // scripted answers no question took
};

enum class UnusedAnswers { kAreAnError, kAreAllowed };

// Runs the whole program on `machine` (whose scripted answers it consumes).
// Throws ScriptError when the program asked a question no answer was
// scripted for, or, unless allowed, ended with answers unused.
RunResult RunProgram(Machine& machine, UnusedAnswers unused = UnusedAnswers::kAreAnError);

}  // namespace sim
