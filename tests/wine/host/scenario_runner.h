// A bundled scenario folder run twice: by the simulator, and as the real
// Hotfix.exe under Wine on a prefix made to hold the same machine. Both give
// an Outcome, which is what a person or an administrator could notice.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "hotfix_case.h"
#include "simulator/scenario.h"
#include "wine_prefix.h"

namespace wine_harness {

struct SeenBox {
  std::string title;
  std::string text;
  std::vector<std::string> buttons;  // labels, left to right
  std::string default_button;
  std::string icon;    // hand, question, exclamation, asterisk, none
  std::string answer;  // label of the button the box returned
};

struct SeenStart {
  std::string command_line;
  int window = -1;  // the show state it was started with; -1: none given
};

struct SeenRestart {
  unsigned long flags = 0;
  unsigned long reason = 0;
  bool accepted = false;
};

struct Outcome {
  std::vector<SeenBox> boxes;
  std::vector<SeenStart> started;
  std::vector<std::string> report;  // without the line end Wine's channel adds
  std::optional<SeenRestart> restart;
  std::optional<unsigned long> exit_code;
};

// One line per thing seen, grouped as boxes, started, report, restart, exit,
// so that two outcomes compare line by line.
std::vector<std::string> describe(const Outcome& outcome);

// Lines of `a` and `b` with "  ", "- " (only in a) or "+ " (only in b) in
// front, in order; empty when they are the same.
std::string line_diff(const std::vector<std::string>& a, const std::vector<std::string>& b);

struct SimulatedRun {
  Outcome outcome;
  std::string report;  // hotfix-sim's text report with the call trace
};

// Throws what sim::RunProgram throws (ScriptError: the answers do not fit).
SimulatedRun run_simulated(const simulator::Scenario& scenario);

struct WineRun {
  Outcome outcome;
  std::vector<std::string> problems;  // anything that makes the run untrustworthy
  std::vector<std::string> notes;     // where the prefix only comes close to the scenario
  std::string transcript;
  std::filesystem::path work_dir;  // logs and traces; the next run of this scenario replaces it
};

// Runs scenarios one after another on one prefix. Each run first undoes what
// the previous one placed (files, registry keys, a hidden wineboot), so the
// prefix need not be made again between scenarios.
class ScenarioRunner {
 public:
  ScenarioRunner(const WinePrefix& prefix, Builds builds);

  // Why this scenario's machine cannot be built on a Wine prefix, if it cannot.
  static std::optional<std::string> not_reproducible(const simulator::Scenario& scenario);

  WineRun run(const std::filesystem::path& dir, const simulator::Scenario& scenario);

 private:
  std::filesystem::path host_path(const std::string& windows_path) const;
  std::filesystem::path manifest() const;
  void undo_previous() const;
  // Copies a file into the prefix and lists it for undo_previous.
  void place(const std::filesystem::path& source, const std::string& windows_path,
             WineRun& run) const;

  const WinePrefix& prefix_;
  Builds builds_;
};

}  // namespace wine_harness
