// The unattended switches: what an administrator's deployment tool passes.
#pragma once

#include <optional>
#include <variant>
#include <vector>

#include "platform/text.h"
#include "platform/win_types.h"

namespace deployment {

struct Switches {
  bool quiet = false;          // no box, unless a restart switch asks for one
  bool passive = false;        // no box; a progress window while the installers run
  bool norestart = false;      // no restart question, no restart
  bool forcerestart = false;   // no restart question, the restart is requested
  bool promptrestart = false;  // the restart question, even under /quiet or /passive
  std::optional<platform::Long> warnrestart;  // a countdown of these seconds before restarting
  bool check = false;          // the checks only: nothing is started or restarted
  bool help = false;           // list the switches and end
  std::optional<platform::Text> log;  // append a log of the run to this file

  bool any() const {
    return quiet || passive || norestart || forcerestart || promptrestart ||
           warnrestart.has_value() || check || help || log.has_value();
  }
  // No box of its own is shown: each goes to the log.
  bool silent() const { return quiet || passive; }
  bool operator==(const Switches&) const = default;
};

// The countdown of /warnrestart without its seconds, and of /passive.
inline constexpr platform::Long kDefaultCountdownSeconds = 30;

// Why a command line cannot be used, in words for the person or the log.
struct BadCommandLine {
  platform::Text reason;
  bool quiet = false;  // /quiet or /passive was among the arguments: show no box
  bool operator==(const BadCommandLine&) const = default;
};

// Switches start with "/" or "-" and are matched without regard to case:
// /quiet, /passive, /norestart, /forcerestart, /promptrestart,
// /warnrestart[:SECONDS] (0 to 3600, 30 when not given), /check, /log:FILE
// (or /log FILE), /? and /help. Anything else, a stray argument, /norestart
// with another restart switch, /promptrestart with /warnrestart or
// /forcerestart, /check with a restart switch, or /quiet with /passive is bad.
std::variant<Switches, BadCommandLine> ParseSwitches(const std::vector<platform::Text>& args);

// The list of switches, for the help box and the bad-command-line box.
platform::Text SwitchesHelp();

}  // namespace deployment
