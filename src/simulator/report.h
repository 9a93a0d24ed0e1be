// What hotfix-sim prints: what a person saw, what ran, why.
#pragma once

#include <string>
#include <vector>

#include "platform/simulated/machine.h"
#include "platform/simulated/simulated_platform.h"

namespace simulator {

// One sentence: why the hotfix did or did not apply on this machine.
std::string Explain(const sim::Machine& machine, const sim::Observations& seen);

// Meaning of an exit status, after the Windows Installer conventions.
std::string ExitMeaning(int exit_code);

// Remarks about the run itself (answers left over, lines of an export that
// were skipped), shown with the report.
using ReportNotes = std::vector<std::string>;

// The run in order, for a person: boxes with their answers, programs started,
// report lines, the restart request, the exit status, the explanation, the
// notes and what the run appended to its log.
std::string TextReport(const sim::Machine& machine, const sim::Observations& seen, bool trace,
                       const ReportNotes& notes = {});

// The same as one JSON object.
std::string JsonReport(const sim::Machine& machine, const sim::Observations& seen, bool trace,
                       const ReportNotes& notes = {});

}  // namespace simulator
