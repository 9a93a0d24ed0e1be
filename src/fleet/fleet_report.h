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

enum class CsvForm {
  // UTF-16 LE with a byte-order mark, the fields apart by tabs: the one form
  // that Excel, from Excel 2003 on, opens right with a double-click. It
  // reads a file without a mark in the ANSI code page (Excel 2003 even
  // when a UTF-8 mark is there), and splits a comma-separated one on the
  // locale's list separator, ";" in Italian or Polish.
  kExcel,
  // UTF-8 without a mark, commas, kCsvHeader exactly: for strict readers.
  kPlain,
};
// The header line, after the byte-order mark in the Excel form.
void WriteCsvHeader(std::ostream& out, CsvForm form);
void WriteCsvRow(std::ostream& out, const Row& row, CsvForm form);

void WriteHtml(std::ostream& out, const Counts& counts, const std::vector<Row>& rows);

// hotfix-sim fleet DIR... [--csv FILE [--plain-csv]] [--html FILE]
int FleetMain(int argc, char** argv);

}  // namespace fleet
