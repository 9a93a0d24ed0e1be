#include "deployment/switches.h"

namespace deployment {
namespace {

using platform::Text;

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool IsSwitch(const Text& arg) { return !arg.empty() && (arg[0] == u'/' || arg[0] == u'-'); }

constexpr platform::Long kLongestCountdown = 3600;

// Whole seconds, 0 to an hour, in decimal digits only.
std::optional<platform::Long> Seconds(std::u16string_view digits) {
  if (digits.empty() || digits.size() > 4) return std::nullopt;
  platform::Long value = 0;
  for (const char16_t c : digits) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
  }
  if (value > kLongestCountdown) return std::nullopt;
  return value;
}

// Which combinations of the display and restart switches mean nothing, as the Windows
// update packages document them.
// Empty when they make sense.
platform::TextPart Conflict(const Switches& s) {
  if (s.quiet && s.passive) return "/quiet and /passive cannot be used together.";
  if (s.check && (s.norestart || s.forcerestart || s.promptrestart || s.warnrestart))
    return "/check cannot be used with a restart switch.";
  if (s.norestart && (s.forcerestart || s.promptrestart || s.warnrestart))
    return "/norestart cannot be used with another restart switch.";
  if (s.promptrestart && s.warnrestart)
    return "/promptrestart and /warnrestart cannot be used together.";
  if (s.promptrestart && s.forcerestart)
    return "/promptrestart and /forcerestart cannot be used together.";
  return "";
}

}  // namespace

std::variant<Switches, BadCommandLine> ParseSwitches(const std::vector<Text>& args) {
  Switches out;
  std::optional<Text> problem;
  auto fail = [&](Text reason) {
    if (!problem) problem = std::move(reason);
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const Text& arg = args[i];
    if (!IsSwitch(arg)) {
      fail(platform::Concat({"Unexpected argument: ", arg}));
      continue;
    }
    const std::u16string_view body = std::u16string_view(arg).substr(1);
    const std::size_t colon = body.find(u':');
    const std::u16string_view name = body.substr(0, colon);
    if (SameName(name, u"log")) {
      Text file;
      if (colon != std::u16string_view::npos) {
        file = Text(body.substr(colon + 1));
      } else if (i + 1 < args.size() && !IsSwitch(args[i + 1])) {
        file = args[++i];
      }
      if (file.empty())
        fail(platform::Concat({"The ", arg, " switch needs a file name: /log:FILE"}));
      else if (out.log && *out.log != file) fail(u"Only one log file can be given.");
      else out.log = file;
      continue;
    }
    if (SameName(name, u"warnrestart")) {
      const auto seconds = colon == std::u16string_view::npos
                               ? std::optional<platform::Long>(kDefaultCountdownSeconds)
                               : Seconds(body.substr(colon + 1));
      if (!seconds)
        fail(platform::Concat({"The countdown of ", arg, " must be 0 to 3600 seconds: /warnrestart:SECONDS"}));
      else out.warnrestart = seconds;
      continue;
    }
    if (colon != std::u16string_view::npos) {
      fail(platform::Concat({"Unknown switch: ", arg}));
    } else if (SameName(name, u"quiet")) {
      out.quiet = true;
    } else if (SameName(name, u"passive")) {
      out.passive = true;
    } else if (SameName(name, u"promptrestart")) {
      out.promptrestart = true;
    } else if (SameName(name, u"check")) {
      out.check = true;
    } else if (SameName(name, u"norestart")) {
      out.norestart = true;
    } else if (SameName(name, u"forcerestart")) {
      out.forcerestart = true;
    } else if (SameName(name, u"?") || SameName(name, u"help")) {
      out.help = true;
    } else {
      fail(platform::Concat({"Unknown switch: ", arg}));
    }
  }
  // Asking for help is answered whatever else the line holds.
  if (out.help) return out;
  if (const platform::TextPart conflict = Conflict(out); !problem && conflict.size() != 0)
    problem = platform::Concat({conflict});
  if (problem) return BadCommandLine{*problem, out.silent()};
  return out;
}

Text SwitchesHelp() {
  return platform::Concat(
      {"Hotfix.exe [/quiet | /passive] [/norestart | /forcerestart | /promptrestart]\r\n"
       "    [/warnrestart[:SECONDS]] [/check] [/log:FILE]\r\n"
       "\r\n"
       "/quiet - no window; the restart follows the install\r\n"
       "/passive - a progress window, no box; a 30 s countdown before the restart\r\n"
       "/norestart - no restart, and no other restart switch\r\n"
       "/forcerestart - the restart, unasked\r\n"
       "/promptrestart - the restart question, even with /quiet\r\n"
       "/warnrestart[:SECONDS] - a countdown (30 s, or 0 to 3600) with Riavvia ora and "
       "Annulla first; not with /promptrestart\r\n"
       "/check - the checks only: 0 if the fix applies, else 1642 (1620); nothing is started\r\n"
       "/log:FILE - append the run's log to FILE\r\n"
       "/? - this list\r\n"
       "\r\n"
       "Exit status: 3010 installed, restart needed; 1641 restarting; "
       "1642 does not apply here; 1618 another copy is running; 1620 the installers "
       "are not the pinned ones; 1603 error; "
       "1622 the log is refused or cannot be opened; 87 invalid command line; 0 this list, "
       "or /check: the fix applies; any other: the code of the installer that failed."});
}

}  // namespace deployment
