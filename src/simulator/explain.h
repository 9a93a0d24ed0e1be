// Why a simulated run went as it did, in words for support staff.
#pragma once

#include <string>
#include <vector>

#include "platform/simulated/machine.h"
#include "platform/simulated/reg_file.h"
#include "platform/simulated/simulated_platform.h"

namespace simulator {

// One sentence: why the hotfix did or did not apply on this machine.
std::string Explain(const sim::Machine& machine, const sim::Observations& seen);

// Meaning of an exit status, after the Windows Installer conventions.
std::string ExitMeaning(int exit_code);

// The meaning of this run's exit status: an installer's code passed on is
// the installer's, whatever Hotfix.exe's own status of that number means.
std::string RunExitMeaning(const sim::Machine& machine, const sim::Observations& seen);

// The caveat for skipped export lines in keys the hotfix reads, or "".
std::string CaveatFor(const std::vector<sim::RegWarning>& warnings);

// A /check run, which ends with 0 where the fix applies.
bool IsCheckRun(const sim::Machine& machine);

// A text shown on one line: control characters made visible.
std::string OneLine(const platform::Text& text);

}  // namespace simulator
