// The fleet report: counts by verdict and reason, one CSV row per log, and a
// page of its own that opens from a share (no file or script beside it).
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "fleet/fleet_log.h"

namespace fleet {

struct Counts {
  std::size_t files = 0;
  std::map<std::string, std::size_t> verdicts;
  std::map<std::string, std::size_t> reasons;  // "verdict: reason"
  void Add(const Row& row);
};

std::string CountsText(const Counts& counts);

inline constexpr char kCsvHeader[] =
    "file,computer,time,mode,verdict,reason,windows,trk_version,exit_status";
void WriteCsvRow(std::ostream& out, const Row& row);

void WriteHtml(std::ostream& out, const Counts& counts, const std::vector<Row>& rows);

// hotfix-sim fleet DIR... [--csv FILE] [--html FILE]
int FleetMain(int argc, char** argv);

}  // namespace fleet
