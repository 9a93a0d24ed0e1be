// Where the program name ends in an unquoted command line.
#pragma once

#include <functional>
#include <optional>

#include "platform/text.h"

namespace platform {

struct ProgramSplit {
  Text application;  // the program file, as found
  Text arguments;    // what follows the program name, without the separator
};

// Left to itself, Windows tries the shortest leading part of an unquoted
// command line first, so "C:\hf test\app\x.exe" runs "C:\hf.exe" when such a
// file exists. This takes the longest leading part, ending at a blank or at
// the end, for which is_file holds (with ".exe" appended when the part's last
// name has no extension). A line that starts with a quote names the program
// between the quotes. Nothing found: nullopt.
std::optional<ProgramSplit> ResolveProgram(
    const Text& command_line, const std::function<bool(const Text&)>& is_file);

}  // namespace platform
