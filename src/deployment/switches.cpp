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
    if (colon != std::u16string_view::npos) {
      fail(platform::Concat({"Unknown switch: ", arg}));
    } else if (SameName(name, u"quiet")) {
      out.quiet = true;
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
  if (!problem && out.norestart && out.forcerestart)
    problem = u"/norestart and /forcerestart cannot be used together.";
  if (problem) return BadCommandLine{*problem, out.quiet};
  return out;
}

Text SwitchesHelp() {
  return platform::Concat(
      {"Hotfix.exe [/quiet] [/norestart | /forcerestart] [/log:FILE]\r\n"
       "\r\n"
       "/quiet - no message boxes; Windows is restarted when the fix is installed, "
       "unless /norestart is given\r\n"
       "/norestart - no restart question, Windows is not restarted\r\n"
       "/forcerestart - no restart question, the restart is requested\r\n"
       "/log:FILE - append a log of the run to FILE\r\n"
       "/? or /help - show this list\r\n"
       "\r\n"
       "Exit status: 3010 installed, restart needed; 1641 installed, restarting; "
       "1642 does not apply to this computer; 1618 another copy is running; 1603 error; "
       "1622 the log cannot be opened or is refused (a folder, a device, a link); "
       "87 invalid command line; 0 this list; any other: the exit code of the installer "
       "that failed."});
}

}  // namespace deployment
