#include "deployment/deployment_layer.h"

#include <variant>

#include "deployment/arguments.h"
#include "deployment/exit_status.h"
#include "deployment/layer_common.h"
#include "platform/buttons.h"

namespace deployment {
namespace {

constexpr char16_t kProgram[] = u"Hotfix.exe 1.00 (CR40517)";
// Named after the change request, so that another fix's wrapper does not
// collide with it; Global\ reaches every session (fast user switching,
// Terminal Services).
constexpr char16_t kMutexName[] = u"Global\\Hotfix-CR40517";
// For the person who started the program a second time: Italian, like the
// restart question.
constexpr platform::Latin1 kAlreadyRunning{
    "L'aggiornamento CR40517 \xE8 gi\xE0 in corso: un'altra copia di Hotfix.exe "
    "\xE8 in esecuzione su questo computer.\r\n\r\n"
    "Attendere che termini. Non occorre avviarlo di nuovo."};


Text SwitchList(const Switches& s) {
  Text out;
  auto add = [&](std::u16string_view word) {
    if (!out.empty()) out += u' ';
    out += word;
  };
  if (s.quiet) add(u"/quiet");
  if (s.passive) add(u"/passive");
  if (s.norestart) add(u"/norestart");
  if (s.forcerestart) add(u"/forcerestart");
  if (s.promptrestart) add(u"/promptrestart");
  if (s.warnrestart) add(Concat({"/warnrestart:", Decimal(*s.warnrestart)}));
  if (s.check) add(u"/check");
  if (s.log) add(Concat({"/log:", *s.log}));
  return out.empty() ? Text(u"none") : out;
}

}  // namespace

void DeploymentLayer::Begin() {
  // Under a deployment tool running as SYSTEM the window station has no
  // visible desktop: a box there waits for an answer that cannot come.
  Long flags = 0;
  desktop_visible_ = services_.GetProcessWindowStationFlags(flags) == 0 ||
                     (flags & platform::kWsfVisible) != 0;
  const Text command_line = services_.GetCommandLine();
  const auto parsed = ParseSwitches(SplitArguments(command_line));
  if (const auto* bad = std::get_if<BadCommandLine>(&parsed)) {
    switches_.quiet = bad->quiet;
    EndBefore(kExitInvalidCommandLine, Concat({bad->reason, "\r\n\r\n", SwitchesHelp()}),
              platform::kMbIconExclamation);
  }
  switches_ = std::get<Switches>(parsed);
  if (switches_.help) {
    switches_.quiet = false;  // asked for: shown even with /quiet
    EndBefore(kExitHelpShown, SwitchesHelp(), platform::kMbIconInformation);
  }
  if (switches_.log) OpenLog();
  log_.Write(Concat({kProgram, " started on ", services_.GetComputerNameW(), " by ",
                     services_.GetUserNameW(), switches_.check ? Part(", mode check") : Part(", mode install")}));
  log_.Write(Concat({"Command line: ", command_line}));
  log_.Write(Concat({"Switches: ", SwitchList(switches_)}));
  LogPinnedInstallers();
  if (log_.is_open())
    log_.Write(Concat({"Log file: ", log_.full_path(), " (current folder: ",
                       services_.GetCurrentDirectoryW(), ")"}));
  if (!desktop_visible_)
    log_.Write(u"No visible desktop (a service session): no box or window is shown; each box is answered "
               u"by the switches, or else by its default button");
  TakeMutex();
}

void DeploymentLayer::OpenLog() {
  Text reason;
  const RunLog::Opening opening = log_.Open(*switches_.log, reason);
  if (opening == RunLog::Opening::kOpened) return;
  EndBefore(kExitLogFailure,
            Concat({opening == RunLog::Opening::kRefused
                        ? Part("The log file is refused: ")
                        : Part("The log file cannot be opened for appending: "),
                    reason, ".\r\n\r\n", log_.full_path(),
                    "\r\n\r\nNothing was changed on this computer."}),
            platform::kMbIconExclamation);
}

// One copy at a time: a second one would start the installers again while
// the first copy's run, or ask its restart question in the middle of them.
void DeploymentLayer::TakeMutex() {
  Long error = 0;
  const Long mutex = services_.CreateMutexW(kMutexName, error);
  // Another account's copy (SYSTEM under a deployment tool) refuses access
  // to its mutex: that copy runs all the same.
  if (error == platform::kErrorAlreadyExists ||
      (mutex == 0 && error == platform::kErrorAccessDenied)) {
    log_.Write(Concat({"Another copy of Hotfix.exe is running (it holds ", kMutexName,
                       mutex == 0 ? Part("; access denied") : Part(""), "): nothing was read or started"}));
    MsgBox(Concat({kAlreadyRunning}), platform::kMbIconExclamation, Text(kTitle));
    End(kExitAlreadyRunning);
  }
  if (mutex == 0)
    log_.Write(Concat({"The single-instance mutex ", kMutexName,
                       " cannot be created (Windows error ", Decimal(error),
                       "); the run goes on without it"}));
}

void DeploymentLayer::EndBefore(Long status, const Text& box_text, Long style) {
  if (!switches_.silent() && desktop_visible_) inner().MsgBox(box_text, style, Text(kTitle));
  End(status);
}

}  // namespace deployment
