// What both a scenario folder and hotfix-sim's command line give: the bare
// machine, files with real version resources, and the words for answers,
// another copy, the kinds of path and a pinned build's installers.
#pragma once

#include <filesystem>
#include <string>
#include <toml++/toml.h>

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

// [payload]: the record a pinned build carries for both installers, and what
// each installer file in the program folder holds: a file of the scenario
// folder, or 'missing'. Applied once the installers are in the folder.
void ApplyPayload(const toml::node& node, const std::filesystem::path& file,
                  const std::filesystem::path& dir, sim::Machine& machine);

}  // namespace simulator
