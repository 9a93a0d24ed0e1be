// A described machine: the scenario folders support staff and the tests use.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/simulated/machine.h"
#include "platform/simulated/reg_file.h"
#include "simulator/machine_inputs.h"

namespace simulator {

// What the scenario says must come out of a run; unset parts are not checked.
struct Expectation {
  std::optional<int> exit_code;
  std::optional<std::vector<platform::Text>> box_titles;
  std::optional<std::vector<platform::Text>> started;  // command lines
  std::optional<bool> restart;                         // a restart was requested
};

struct Scenario {
  std::string name;
  std::string description;
  std::string windows_name;  // as Wine spells it, when the scenario names one
  bool simulated_only = false;  // describes what no real machine can be made to hold
  sim::Machine machine;
  Expectation expect;
  std::vector<sim::RegWarning> reg_warnings;  // lines of machine.reg that were skipped
};

// Reads DIR/scenario.toml and, when present, DIR/machine.reg. Throws
// sim::InputError naming the file (and line) for anything malformed.
Scenario LoadScenario(const std::filesystem::path& dir);

// "3.3.1000.0" -> a version resource with that file and product version.
std::vector<std::uint8_t> VersionResourceFor(const std::string& version, const std::string& where);

}  // namespace simulator
