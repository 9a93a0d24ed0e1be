#include "deployment/deployment_layer.h"

#include <algorithm>
#include <string>
#include <variant>

#include "deployment/arguments.h"
#include "deployment/exit_status.h"
#include "platform/buttons.h"
#include "platform/failure.h"
#include "system/os_version.h"

namespace deployment {
namespace {

using platform::Concat;
using platform::Decimal;
using platform::Text;
using Part = platform::TextPart;  // a literal in a choice: its length counted where it is written

constexpr char16_t kTitle[] = u"Hotfix";
constexpr char16_t kProgram[] = u"Hotfix.exe 1.00 (CR40517)";
// Named after the change request, so that another fix's wrapper does not
// collide with it; Global\ reaches every session (fast user switching,
// Terminal Services).
constexpr char16_t kMutexName[] = u"Global\\Hotfix-CR40517";
// For the person who started the program a second time: Italian, like the
// restart question.
constexpr char16_t kAlreadyRunning[] =
    u"L'aggiornamento CR40517 \u00E8 gi\u00E0 in corso: un'altra copia di Hotfix.exe "
    u"\u00E8 in esecuzione su questo computer.\r\n\r\n"
    u"Attendere che termini. Non occorre avviarlo di nuovo.";

// The countdown and the progress window: for the person at the machine,
// Italian like the restart question.
constexpr char16_t kCountdownText[] =
    u"Windows verr\u00E0 riavviato per completare l'aggiornamento CR40517.\r\n\r\n"
    u"Riavvio tra {} secondi. Salvare il lavoro e chiudere i programmi aperti.";
constexpr char16_t kRestartNow[] = u"Riavvia ora";
constexpr char16_t kCancel[] = u"Annulla";
constexpr char16_t kProgressHeading[] =
    u"Installazione dell'aggiornamento CR40517 in corso. Attendere.";
// The longest one sleep of the wait lasts: a bound in case a wake-up is lost.
constexpr Long kWaitSliceMs = 1000;
// The fix runs two installers, one after the other.
constexpr std::size_t kInstallerCount = 2;

Text HexNumber(std::uint32_t value) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  Text out;
  do {
    out.insert(out.begin(), kDigits[value % 16]);
    value /= 16;
  } while (value != 0);
  out.insert(0, u"0x");
  return out;
}

Text ButtonName(Long code) {
  const std::u16string_view name = platform::ButtonName(code);
  return name.empty() ? Concat({"button ", Decimal(code)}) : Text(name);
}

Text ExitCodeText(Long code) {
  return Concat({"exit code ", Decimal(static_cast<std::uint32_t>(code)),
                 InstallerSucceeded(code) ? Part(" (success)") : Part(" (failure)")});
}

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
  desktop_visible_ = inner_.GetProcessWindowStationFlags(flags) == 0 ||
                     (flags & platform::kWsfVisible) != 0;
  const Text command_line = inner_.GetCommandLine();
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
  log_.Write(Concat({kProgram, " started on ", inner_.GetComputerNameW(), " by ",
                     inner_.GetUserNameW(), switches_.check ? Part(", mode check") : Part(", mode install")}));
  log_.Write(Concat({"Command line: ", command_line}));
  log_.Write(Concat({"Switches: ", SwitchList(switches_)}));
  if (log_.is_open())
    log_.Write(Concat({"Log file: ", log_.full_path(), " (current folder: ",
                       inner_.GetCurrentDirectoryW(), ")"}));
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
  const Long mutex = inner_.CreateMutexW(kMutexName, error);
  // Another account's copy (SYSTEM under a deployment tool) refuses access
  // to its mutex: that copy runs all the same.
  if (error == platform::kErrorAlreadyExists ||
      (mutex == 0 && error == platform::kErrorAccessDenied)) {
    log_.Write(Concat({"Another copy of Hotfix.exe is running (it holds ", kMutexName,
                       mutex == 0 ? Part("; access denied") : Part(""), "): nothing was read or started"}));
    MsgBox(kAlreadyRunning, platform::kMbIconExclamation, Text(kTitle));
    End(kExitAlreadyRunning);
  }
  if (mutex == 0)
    log_.Write(Concat({"The single-instance mutex ", kMutexName,
                       " cannot be created (Windows error ", Decimal(error),
                       "); the run goes on without it"}));
}

void DeploymentLayer::EndBefore(Long status, const Text& box_text, Long style) {
  if (!switches_.silent() && desktop_visible_) inner_.MsgBox(box_text, style, Text(kTitle));
  End(status);
}

// ---- message boxes --------------------------------------------------------------

Long DeploymentLayer::MsgBox(const Text& prompt, Long buttons, const std::optional<Text>& title) {
  // The restart question is the program's one Yes/No box.
  const bool restart_question = (buttons & 0xF) == platform::kMbYesNo;
  if (restart_question && !switches_.norestart && !switches_.promptrestart)
    if (const auto seconds = CountdownSeconds()) return WarnBeforeRestart(*seconds, title);
  std::optional<Long> answer;
  Text why;
  if (restart_question && switches_.norestart) {
    answer = platform::kIdNo, why = u"/norestart";
  } else if (restart_question && switches_.promptrestart && desktop_visible_) {
    // asked for: shown even under /quiet or /passive
  } else if (restart_question && switches_.forcerestart) {
    answer = platform::kIdYes, why = u"/forcerestart";
  } else if (switches_.silent() && !(restart_question && switches_.promptrestart)) {
    answer = restart_question ? platform::kIdYes : platform::kIdOk;
    why = switches_.quiet ? u"/quiet" : u"/passive";
  } else if (!desktop_visible_) {
    // As if nobody answered: the default button, so the restart question is
    // No and a run without switches never restarts Windows unasked.
    answer = platform::DefaultButton(buttons), why = u"no visible desktop";
  }
  const Long result = answer ? *answer : inner_.MsgBox(prompt, buttons, title);
  log_.Write(Concat({answer ? Part("Message box not shown (") : Part("Message box shown, answered "), why,
                     answer ? Part("), taken as ") : Part(""), ButtonName(result), ": \"",
                     title ? platform::TextPart(*title) : platform::TextPart("(default title)"),
                     "\"\n", prompt}));
  return result;
}

// /warnrestart, and /passive when no other restart switch says otherwise,
// as the Windows update packages do.
std::optional<Long> DeploymentLayer::CountdownSeconds() const {
  if (switches_.warnrestart) return switches_.warnrestart;
  if (switches_.passive && !switches_.forcerestart) return kDefaultCountdownSeconds;
  return std::nullopt;
}

// Stands in for the restart question: Riavvia ora, or the end of the
// countdown, is Yes; Annulla, or closing the box, is No.
Long DeploymentLayer::WarnBeforeRestart(Long seconds, const std::optional<Text>& title) {
  log_.Write(Concat({"Restart countdown: ", Decimal(seconds), " s"}));
  Long result = desktop_visible_ ? inner_.RestartCountdown(title.value_or(kTitle), kCountdownText,
                                                           seconds, kRestartNow, kCancel)
                                 : 0;
  if (result == 0) {
    // Not shown (no visible desktop, or no window could be made): as if
    // nobody answered, the time passes, then the restart.
    inner_.Sleep(seconds * 1000);
    result = platform::kIdTimeout;
  }
  const bool restart = result != platform::kIdCancel;
  log_.Write(result == platform::kIdOk       ? u"Restart countdown answered Riavvia ora: restart"
             : result == platform::kIdCancel ? u"Restart countdown answered Annulla: no restart"
             : desktop_visible_              ? u"Restart countdown ran out: restart"
                                             : u"Restart countdown not shown (no visible desktop); "
                                               u"its time passed: restart");
  return restart ? platform::kIdYes : platform::kIdNo;
}

// ---- installers -------------------------------------------------------------------

double DeploymentLayer::Shell(const Text& pathName, Long windowStyle,
                              platform::ProgramName program) {
  if (switches_.check) ChecksPassed(pathName);
  double id = 0;
  try {
    id = inner_.Shell(pathName, windowStyle, program);
  } catch (const platform::RuntimeFailure& failure) {
    log_.Write(Concat({"Program not started: ", pathName, ": run-time error ",
                       Decimal(failure.number()), ", ", failure.description()}));
    throw;
  }
  const Long process_id = id >= 0 && id <= 2147483647.0 ? static_cast<Long>(id) : 0;
  installers_.push_back({process_id, pathName, false, std::nullopt});
  const Text program_file = inner_.StartedProgramFile(process_id);
  log_.Write(Concat({"Installer started: ", pathName, " (program file ", program_file,
                     ", process ", Decimal(process_id), ")"}));
  if (switches_.passive) ShowProgressFor(program_file);
  return id;
}

// /check: the first installer is where the checks end, all passed.
void DeploymentLayer::ChecksPassed(const Text& first_installer) {
  checks_passed_ = true;
  log_.Write(Concat({"Check passed; not started: ", first_installer}));
  MsgBox(Concat({"The fix CR40517 applies to this computer.\r\n\r\nNothing was installed (/check)."}),
         platform::kMbIconInformation, Text(kTitle));
  End(kExitChecksPassed);
}

// Which installer of the two runs: the installers report no progress, so
// the bar shows only activity.
void DeploymentLayer::ShowProgressFor(const Text& program_file) {
  if (!desktop_visible_ || installers_.size() > kInstallerCount) return;
  const std::size_t slash = program_file.find_last_of(u'\\');
  const Text step = Concat({installers_.size() == 1 ? Part("Passo 1 di 2: ") : Part("Passo 2 di 2: "),
                            std::u16string_view(program_file).substr(slash + 1)});
  progress_shown_ = inner_.ShowProgress(kTitle, kProgressHeading, step) != 0;
  log_.Write(Concat({progress_shown_ ? Part("Progress window shows: ") : Part("Progress window failed: "), step}));
}

void DeploymentLayer::CloseProgressWindow() {
  if (!progress_shown_) return;
  progress_shown_ = false;
  inner_.CloseProgress();
  log_.Write(u"Progress window closed");
}

DeploymentLayer::Installer* DeploymentLayer::Waiting(Long process_id) {
  for (auto& installer : installers_)
    if (installer.process_id == process_id && !installer.ended) return &installer;
  return nullptr;
}

// The wait has seen the installer end: its exit code is read now, through
// the handle the platform kept since the start.
void DeploymentLayer::Ended(Installer& installer) {
  installer.ended = true;
  Long code = 0;
  const bool known = inner_.GetExitCodeProcess(installer.process_id, code) != 0;
  if (known && code != platform::kStillActive) {
    installer.exit_code = code;
    log_.Write(Concat({"Installer ended: ", installer.command_line, ", ", ExitCodeText(code)}));
  } else if (known) {
    log_.Write(Concat({"Installer no longer waited for: ", installer.command_line,
                       " still runs but cannot be opened to wait for it; exit code unknown"}));
  } else {
    log_.Write(Concat({"Installer ended: ", installer.command_line, ", exit code unknown"}));
  }
  if (installers_.size() >= kInstallerCount &&
      std::all_of(installers_.begin(), installers_.end(), [](const Installer& i) { return i.ended; }))
    CloseProgressWindow();
}

Long DeploymentLayer::OpenProcess(Long dwDesiredAccess, Long bInheritHandle, Long dwProcessId) {
  const Long handle = inner_.OpenProcess(dwDesiredAccess, bInheritHandle, dwProcessId);
  if (Installer* installer = Waiting(dwProcessId)) {
    if (handle == 0) Ended(*installer);
    else wait_handles_.emplace_back(handle, dwProcessId);
  }
  return handle;
}

Long DeploymentLayer::WaitForSingleObject(Long hHandle, Long dwMilliseconds) {
  const Long result = inner_.WaitForSingleObject(hHandle, dwMilliseconds);
  if (result == platform::kWaitObject0)
    for (const auto& [handle, process_id] : wait_handles_)
      if (handle == hHandle)
        if (Installer* installer = Waiting(process_id)) Ended(*installer);
  return result;
}

Long DeploymentLayer::CloseHandle(Long hObject) {
  std::erase_if(wait_handles_, [&](const auto& entry) { return entry.first == hObject; });
  return inner_.CloseHandle(hObject);
}

// ---- what the log records besides ------------------------------------------------

Long DeploymentLayer::GetVersionExA(platform::OSVERSIONINFOA& lpVersionInformation) {
  const Long ok = inner_.GetVersionExA(lpVersionInformation);
  if (!windows_logged_) {
    windows_logged_ = true;
    const auto& v = lpVersionInformation;
    windows_name_ = sys::OsName(v);
    if (ok)
      log_.Write(Concat({"Windows: \"", windows_name_, "\" (version ", Decimal(v.dwMajorVersion),
                         ".", Decimal(v.dwMinorVersion), ", build ",
                         Decimal(v.dwBuildNumber & 0xFFFF), ")"}));
    else
      log_.Write(Concat({"Windows: \"", windows_name_, "\" (the version query failed)"}));
  }
  return ok;
}

void DeploymentLayer::Print(const Text& line) {
  inner_.Print(line);
  log_.Write(Concat({"Report: ", line}));
  reported_ = true;
  constexpr std::u16string_view kFileVersion = u"File version: ";
  if (line.starts_with(kFileVersion)) trk_version_ = line.substr(kFileVersion.size());
}

Long DeploymentLayer::ExitWindowsEx(Long uFlags, Long dwReason) {
  const Long accepted = inner_.ExitWindowsEx(uFlags, dwReason);
  restart_refused_ = accepted == 0;
  log_.Write(Concat({"Restart requested (ExitWindowsEx flags ",
                     HexNumber(static_cast<std::uint32_t>(uFlags)), ", reason ",
                     HexNumber(static_cast<std::uint32_t>(dwReason)), "): Windows ",
                     accepted != 0 ? Part("accepted it") : Part("refused it")}));
  return accepted;
}

// ---- the end ---------------------------------------------------------------------------

// The first installer that failed gives its exit code: deployment tools must
// not read success where an installer did not do its work.
const DeploymentLayer::Installer* DeploymentLayer::FailedInstaller() const {
  for (const auto& installer : installers_)
    if (installer.exit_code && !InstallerSucceeded(*installer.exit_code)) return &installer;
  return nullptr;
}

// The log's last line, one fixed form for a program to read (the fleet
// report): what came of the run and why. An installer's code can equal one
// of the program's own, so the verdict is said, not left to the status.
Text DeploymentLayer::ResultLine(Long run_status, bool installer_failed, Long status) const {
  const char* verdict = "failed";
  const char* reason = "run-time-error";
  if (checks_passed_) {
    verdict = "applies", reason = "checks-passed";
  } else if (run_status == kExitNotApplicable) {
    verdict = "not-applicable", reason = "not-windows-xp";
    if (trk_version_ != u"3.3.1000.0") reason = "trk-version";
    if (!reported_) reason = "firewall-not-installed";
  } else if (run_status == kExitAlreadyRunning) {
    verdict = "busy", reason = "another-copy";
  } else if (installer_failed) {
    reason = "installer-failed";
  } else if (run_status == kExitRestartInitiated || run_status == kExitRestartRequired) {
    verdict = "installed", reason = "restart-declined";
    if (restart_refused_) reason = "restart-refused";
    if (run_status == kExitRestartInitiated) reason = "restart-requested";
  }
  return Concat({"Result: verdict=", Part(verdict), "; reason=", Part(reason),
                 "; windows=", windows_name_, "; trk_version=", trk_version_, "; exit_status=",
                 Decimal(static_cast<std::uint32_t>(status))});
}

void DeploymentLayer::DoEnd(Long exitCode) {
  for (auto& installer : installers_)
    if (!installer.ended) Ended(installer);
  CloseProgressWindow();
  const Installer* failed = FailedInstaller();
  const Long status = failed ? *failed->exit_code : exitCode;
  if (failed)
    log_.Write(Concat({"The run itself ended with ", Decimal(exitCode), " (",
                       ExitStatusMeaning(exitCode),
                       "); an installer failed, so its exit code is reported"}));
  // An installer's code may equal one of Hotfix.exe's own (1642, 1603, ...):
  // the line names whose it is.
  if (failed)
    log_.Write(Concat({"Exit status ", Decimal(static_cast<std::uint32_t>(status)),
                       ": the exit code of the installer ", failed->command_line,
                       ", which failed"}));
  else
    log_.Write(Concat({"Exit status ", Decimal(static_cast<std::uint32_t>(status)), ": ",
                       checks_passed_ ? Concat({"the fix applies, nothing was started"})
                                      : ExitStatusMeaning(status)}));
  if (windows_name_.empty() && log_.is_open()) {
    // The run ended before it asked (the checks before Windows' failed, or
    // another copy runs): the result line names Windows all the same.
    platform::OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(version);  // logged, and kept as a run's own query is
  }
  log_.Write(ResultLine(exitCode, failed != nullptr, status));
  inner_.CloseStartedPrograms();
  log_.Close();
  inner_.End(status);
}

// ---- passed on unchanged ------------------------------------------------------------

platform::AnsiString DeploymentLayer::ToAnsi(std::u16string_view text) const {
  return inner_.ToAnsi(text);
}
Text DeploymentLayer::FromAnsi(std::string_view ansi) const { return inner_.FromAnsi(ansi); }
Long DeploymentLayer::GetFileVersionInfoSizeA(const platform::AnsiString& lptstrFilename,
                                              Long& lpdwHandle) {
  return inner_.GetFileVersionInfoSizeA(lptstrFilename, lpdwHandle);
}
Long DeploymentLayer::GetFileVersionInfoA(const platform::AnsiString& lptstrFilename,
                                          Long dwHandle, Long dwLen, std::uint8_t* lpData) {
  return inner_.GetFileVersionInfoA(lptstrFilename, dwHandle, dwLen, lpData);
}
Long DeploymentLayer::VerQueryValueA(const std::uint8_t* pBlock,
                                     const platform::AnsiString& lpSubBlock,
                                     const std::uint8_t*& lplpBuffer, Long& puLen) {
  return inner_.VerQueryValueA(pBlock, lpSubBlock, lplpBuffer, puLen);
}
void DeploymentLayer::RtlMoveMemory(void* Destination, const void* Source, Long Length) {
  inner_.RtlMoveMemory(Destination, Source, Length);
}
Long DeploymentLayer::RegOpenKeyExA(Long hKey, const platform::AnsiString& lpSubKey,
                                    Long ulOptions, Long samDesired, Long& phkResult) {
  return inner_.RegOpenKeyExA(hKey, lpSubKey, ulOptions, samDesired, phkResult);
}
Long DeploymentLayer::RegOpenKeyA(Long hKey, const platform::AnsiString& lpSubKey,
                                  Long& phkResult) {
  return inner_.RegOpenKeyA(hKey, lpSubKey, phkResult);
}
Long DeploymentLayer::RegQueryValueExA(Long hKey, const platform::AnsiString& lpValueName,
                                       Long lpReserved, Long& lpType, std::uint8_t* lpData,
                                       Long& lpcbData) {
  return inner_.RegQueryValueExA(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
}
Long DeploymentLayer::RegCloseKey(Long hKey) { return inner_.RegCloseKey(hKey); }
Long DeploymentLayer::GetCurrentProcess() { return inner_.GetCurrentProcess(); }
Long DeploymentLayer::OpenProcessToken(Long ProcessHandle, Long DesiredAccess, Long& TokenHandle) {
  return inner_.OpenProcessToken(ProcessHandle, DesiredAccess, TokenHandle);
}
Long DeploymentLayer::LookupPrivilegeValueA(const platform::AnsiString& lpSystemName,
                                            const platform::AnsiString& lpName,
                                            platform::LUID& lpLuid) {
  return inner_.LookupPrivilegeValueA(lpSystemName, lpName, lpLuid);
}
Long DeploymentLayer::AdjustTokenPrivileges(Long TokenHandle, Long DisableAllPrivileges,
                                            const platform::TOKEN_PRIVILEGES& NewState,
                                            Long BufferLength,
                                            platform::TOKEN_PRIVILEGES& PreviousState,
                                            Long& ReturnLength) {
  return inner_.AdjustTokenPrivileges(TokenHandle, DisableAllPrivileges, NewState, BufferLength,
                                      PreviousState, ReturnLength);
}
// Under any switch, each pass of the wait sleeps until the installer ends or
// a message arrives (the progress window's, for one): polling without a
// pause would take a single processor's time from the installer itself.
void DeploymentLayer::DoEvents() {
  inner_.DoEvents();
  if (!switches_.any()) return;
  for (const auto& installer : installers_)
    if (!installer.ended) {
      inner_.WaitForStartedProgramOrMessage(installer.process_id, kWaitSliceMs);
      return;
    }
}
Text DeploymentLayer::AppPath() { return inner_.AppPath(); }
void DeploymentLayer::Unload() { inner_.Unload(); }
Long DeploymentLayer::GetExitCodeProcess(Long dwProcessId, Long& lpExitCode) {
  return inner_.GetExitCodeProcess(dwProcessId, lpExitCode);
}
void DeploymentLayer::CloseStartedPrograms() { inner_.CloseStartedPrograms(); }
Text DeploymentLayer::StartedProgramFile(Long dwProcessId) {
  return inner_.StartedProgramFile(dwProcessId);
}
Text DeploymentLayer::GetCommandLine() { return inner_.GetCommandLine(); }
platform::SYSTEMTIME DeploymentLayer::GetLocalTime() { return inner_.GetLocalTime(); }
Long DeploymentLayer::OpenFileForAppend(const Text& path, Long& lpFileSize, Long& lpError) {
  return inner_.OpenFileForAppend(path, lpFileSize, lpError);
}
Long DeploymentLayer::WriteFile(Long hFile, std::string_view bytes) {
  return inner_.WriteFile(hFile, bytes);
}
Long DeploymentLayer::GetFileType(Long hFile) { return inner_.GetFileType(hFile); }
Long DeploymentLayer::GetFileInformationByHandle(Long hFile,
                                                 platform::FileInformation& lpFileInformation) {
  return inner_.GetFileInformationByHandle(hFile, lpFileInformation);
}
Long DeploymentLayer::GetFileAttributesW(const Text& lpFileName) {
  return inner_.GetFileAttributesW(lpFileName);
}
Long DeploymentLayer::GetFullPathNameW(const Text& lpFileName, Text& lpBuffer) {
  return inner_.GetFullPathNameW(lpFileName, lpBuffer);
}
Text DeploymentLayer::GetCurrentDirectoryW() { return inner_.GetCurrentDirectoryW(); }
Long DeploymentLayer::CreateMutexW(const Text& lpName, Long& lpError) {
  return inner_.CreateMutexW(lpName, lpError);
}
Long DeploymentLayer::GetProcessWindowStationFlags(Long& lpFlags) {
  return inner_.GetProcessWindowStationFlags(lpFlags);
}
Long DeploymentLayer::ShowProgress(const Text& caption, const Text& heading, const Text& step) {
  return inner_.ShowProgress(caption, heading, step);
}
void DeploymentLayer::CloseProgress() { inner_.CloseProgress(); }
Long DeploymentLayer::RestartCountdown(const Text& title, const Text& prompt, Long seconds,
                                       const Text& ok_label, const Text& cancel_label) {
  return inner_.RestartCountdown(title, prompt, seconds, ok_label, cancel_label);
}
Long DeploymentLayer::WaitForStartedProgramOrMessage(Long dwProcessId, Long dwMilliseconds) {
  return inner_.WaitForStartedProgramOrMessage(dwProcessId, dwMilliseconds);
}
void DeploymentLayer::Sleep(Long dwMilliseconds) { inner_.Sleep(dwMilliseconds); }
Text DeploymentLayer::GetComputerNameW() { return inner_.GetComputerNameW(); }
Text DeploymentLayer::GetUserNameW() { return inner_.GetUserNameW(); }

}  // namespace deployment
