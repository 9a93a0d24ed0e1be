// What hotfix-sim prints: what a person saw, what ran, why.
#pragma once

#include <string>
#include <vector>

#include "platform/simulated/machine.h"
#include "platform/simulated/reg_file.h"
#include "platform/simulated/simulated_platform.h"
#include "simulator/explain.h"

namespace simulator {

// Remarks about the run itself, shown with the report.
struct ReportNotes {
  std::vector<std::string> notes;  // "Note:" lines (answers left over)
  // Lines of the exports that were skipped or read otherwise, as Describe
  // gives them; printed to standard error before the run, in the JSON too.
  std::vector<std::string> warnings;
  // Said after "Why:": a skipped line lay in a key the hotfix reads.
  std::string caveat;
};

// The run in order, for a person: boxes with their answers, programs started,
// report lines, the restart request, the exit status, the explanation, the
// notes and what the run appended to its log.
std::string TextReport(const sim::Machine& machine, const sim::Observations& seen, bool trace,
                       const ReportNotes& notes = {});

// The same as one JSON object.
std::string JsonReport(const sim::Machine& machine, const sim::Observations& seen, bool trace,
                       const ReportNotes& notes = {});

}  // namespace simulator
