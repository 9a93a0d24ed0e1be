// Regedit exports (.reg) loaded into the simulated registry, as importing the
// file into Windows would leave it.
//
// Accepted: "Windows Registry Editor Version 5.00" files in UTF-16LE (with
// BOM, as regedit writes them) or in 8-bit text, and "REGEDIT4" files in
// Windows-1252. A UTF-8 BOM makes the text UTF-8. Without a BOM a REGEDIT4
// file is Windows-1252; a version 5 file is UTF-8, except that a line which
// is not valid UTF-8 is read as Windows-1252 (hand-edited ANSI files).
//
// Lines are applied in order. A line that cannot be used is skipped, as
// regedit skips it, and every other line loads; each such line is reported.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "platform/simulated/input_error.h"
#include "platform/simulated/machine.h"

namespace sim {

// A line that was skipped, or read otherwise than it is written.
struct RegWarning {
  std::string file;
  std::size_t line = 0;
  std::string reason;
  bool skipped = true;  // false: read, as regedit reads it (a bad escape)
  // The key the line lay in, or the key line named: root 0 when unknown.
  Long root = 0;
  Text path;
};

// "FILE:LINE: line skipped: reason".
std::string Describe(const RegWarning& warning);

// Throws InputError ("FILE:LINE: what is wrong") for a file that cannot be
// read or lacks the header line; lines that cannot be used go to `warnings`.
void LoadRegFile(const std::string& path, Registry& registry,
                 std::vector<RegWarning>* warnings = nullptr);

// The same for a stream opened in binary mode; `source` names it in messages.
// The stream is read in pieces, never whole.
void LoadRegText(std::istream& in, const std::string& source, Registry& registry,
                 std::vector<RegWarning>* warnings = nullptr);

}  // namespace sim
