// Where the program name ends in an unquoted command line.
#pragma once

#include <functional>
#include <optional>

#include "platform/platform.h"
#include "platform/text.h"

namespace platform {

struct ProgramSplit {
  Text application;  // the program file, as found
  Text arguments;    // what follows the program name, without the separator
};

// Left to itself, Windows tries the shortest leading part of an unquoted
// command line first, with ".exe" added, so "C:\hf test\app\x.exe" runs
// "C:\hf.exe" when such a file exists. Here a line that starts with a quote
// names the program between the quotes; otherwise kWholeLine takes the whole
// line and kLeadingPart the longest leading part, ending at a blank or at
// the end, for which is_file holds. Nothing is ever added to a name. No such
// file: nullopt.
std::optional<ProgramSplit> ResolveProgram(
    const Text& command_line, ProgramName program,
    const std::function<bool(const Text&)>& is_file);

}  // namespace platform
