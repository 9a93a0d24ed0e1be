// The unattended switches: what an administrator's deployment tool passes.
#pragma once

#include <optional>
#include <variant>
#include <vector>

#include "platform/text.h"

namespace deployment {

struct Switches {
  bool quiet = false;         // no message box at all
  bool norestart = false;     // no restart question, no restart
  bool forcerestart = false;  // no restart question, the restart is requested
  bool help = false;          // list the switches and end
  std::optional<platform::Text> log;  // append a log of the run to this file

  bool any() const { return quiet || norestart || forcerestart || help || log.has_value(); }
  bool operator==(const Switches&) const = default;
};

// Why a command line cannot be used, in words for the person or the log.
struct BadCommandLine {
  platform::Text reason;
  bool quiet = false;  // /quiet was among the arguments: show no box
  bool operator==(const BadCommandLine&) const = default;
};

// Switches start with "/" or "-" and are matched without regard to case:
// /quiet, /norestart, /forcerestart, /log:FILE (or /log FILE), /? and /help.
// Anything else, a stray argument, or /norestart with /forcerestart is bad.
std::variant<Switches, BadCommandLine> ParseSwitches(const std::vector<platform::Text>& args);

// The list of switches, for the help box and the bad-command-line box.
platform::Text SwitchesHelp();

}  // namespace deployment
