// What both a scenario folder and hotfix-sim's command line give: the bare
// machine, files with real version resources, and the words for answers,
// another copy and the kinds of path.
#pragma once

#include <filesystem>
#include <string>

#include "platform/simulated/machine.h"

namespace simulator {

// The machine a bare run starts from: Windows XP, the program in C:\Hotfix
// with both installers ending at once, an empty registry.
sim::Machine BaseMachine();

// Adds a file with a version resource read from a real PE file.
void AddFileFromPe(sim::Machine& machine, const platform::Text& windows_path,
                   const std::filesystem::path& local_file);

// yes | no | enter (also ok, cancel).
sim::Answer ParseAnswer(const std::string& word, const std::string& where);

// running | other-account (none too).
sim::OtherCopy ParseOtherCopy(const std::string& word, const std::string& where);

// folder | hardlink | reparse-point (file too).
sim::PathKind ParsePathKind(const std::string& word, const std::string& where);

}  // namespace simulator
