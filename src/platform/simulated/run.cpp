#include "platform/simulated/run.h"

#include <string>

#include "platform/entry.h"
#include "platform/failure.h"

namespace sim {

RunResult RunProgram(Machine& machine, UnusedAnswers unused) {
  SimulatedPlatform host(machine);
  try {
    platform::ProgramMain(host, host);
  } catch (const platform::EndProgram&) {
    // The program ended; End recorded the status.
  }
  if (host.unused_answers() != 0 && unused == UnusedAnswers::kAreAnError) {
    throw ScriptError(std::to_string(host.unused_answers()) +
                      " scripted answer(s) left unused");
  }
  return RunResult{host.observations(), host.unused_answers()};
}

}  // namespace sim
