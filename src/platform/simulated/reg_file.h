// Regedit exports (.reg) loaded into the simulated registry, as importing the
// file into Windows would leave it.
//
// Accepted: "Windows Registry Editor Version 5.00" files in UTF-16LE (with
// BOM, as regedit writes them) or in 8-bit text, and "REGEDIT4" files in
// Windows-1252. A UTF-8 BOM makes the text UTF-8. Without a BOM a REGEDIT4
// file is Windows-1252; a version 5 file is UTF-8, except that a line which
// is not valid UTF-8 is read as Windows-1252 (hand-edited ANSI files).
//
// Lines are applied in order; a file with an error leaves the registry with
// what came before the bad line, as regedit does.
#pragma once

#include <istream>
#include <string>

#include "platform/simulated/input_error.h"
#include "platform/simulated/machine.h"

namespace sim {

// Throws InputError ("FILE:LINE: what is wrong") for a file that cannot be
// read or is malformed.
void LoadRegFile(const std::string& path, Registry& registry);

// The same for a stream opened in binary mode; `source` names it in errors.
// The stream is read in pieces, never whole.
void LoadRegText(std::istream& in, const std::string& source, Registry& registry);

}  // namespace sim
