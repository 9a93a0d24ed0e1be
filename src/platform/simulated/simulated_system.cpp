// The simulated machine's kernel32, security and restart calls, and the
// interactive services of the sequence's door.
#include "platform/simulated/simulated_platform.h"

#include <algorithm>
#include <cstring>

#include "platform/buttons.h"
#include "platform/command_line.h"
#include "platform/failure.h"
#include "platform/simulated/cp1252.h"

namespace sim {

using platform::AnsiString;

namespace {

constexpr Long kCurrentProcess = -1;
constexpr platform::LUID kShutdownLuid{0x13, 0};

}  // namespace

// ---- kernel32 -----------------------------------------------------------------------

Long SimulatedPlatform::GetVersionExA(platform::OSVERSIONINFOA& info) {
  const std::uint32_t size_in = info.dwOSVersionInfoSize;
  Long ok = 0;
  // 148 is OSVERSIONINFOA, 156 OSVERSIONINFOEXA; any other size is refused.
  if (!FailsNow() && !machine_.windows.query_fails && (size_in == 148 || size_in == 156)) {
    const WindowsVersion& w = machine_.windows;
    info.dwMajorVersion = w.major;
    info.dwMinorVersion = w.minor;
    // Windows 95, 98 and Me keep the version in the high word of the build.
    info.dwBuildNumber = w.platform_id == platform::kVerPlatformWin32Windows
                             ? (w.major & 0xFF) << 24 | (w.minor & 0xFF) << 16 | (w.build & 0xFFFF)
                             : w.build;
    info.dwPlatformId = w.platform_id;
    const std::size_t n = std::min<std::size_t>(w.service_pack.size(), sizeof info.szCSDVersion - 1);
    std::memcpy(info.szCSDVersion, w.service_pack.data(), n);
    info.szCSDVersion[n] = '\0';
    ok = 1;
  }
  Record("GetVersionExA", {"size=" + Dec(size_in)},
         Dec(ok) + (ok ? " platform=" + Dec(info.dwPlatformId) + " version=" +
                             Dec(info.dwMajorVersion) + "." + Dec(info.dwMinorVersion)
                       : ""));
  return ok;
}

// A process object lives while the process runs or anyone holds a handle to it.
bool SimulatedPlatform::ObjectHeld(Long process_id, const Process& process) const {
  if (process.kept_handle != 0 || process.behaviour.held_open_after_end) return true;
  for (const auto& [handle, opened] : process_handles_)
    if (opened.process_id == process_id) return true;
  return false;
}

// An ended process whose object nobody holds frees its identifier, and
// Windows may give it to the next process started anywhere on the machine.
void SimulatedPlatform::ReuseFreedIdentifier(Long process_id, Process& process) {
  if (process.unrelated || process.running() || ObjectHeld(process_id, process) ||
      process.behaviour.identifier_reused_for == 0)
    return;
  Process other;
  other.behaviour.lifetime = process.behaviour.identifier_reused_for;
  other.unrelated = true;
  process = other;
}

Long SimulatedPlatform::OpenProcess(Long dwDesiredAccess, Long bInheritHandle, Long dwProcessId) {
  Long handle = 0;
  const auto it = processes_.find(dwProcessId);
  if (it != processes_.end()) ReuseFreedIdentifier(it->first, it->second);
  if (!FailsNow() && it != processes_.end() && !it->second.behaviour.refuses_open) {
    Process& process = it->second;
    const bool running = process.running();
    if (running) ++process.opens;
    if (running || ObjectHeld(dwProcessId, process)) {
      handle = NewHandle();
      process_handles_[handle] = OpenedProcess{dwProcessId, running};
    }
  }
  Record("OpenProcess",
         {Hex(static_cast<std::uint32_t>(dwDesiredAccess)), Dec(bInheritHandle), Dec(dwProcessId)},
         Hex(static_cast<std::uint32_t>(handle)));
  return handle;
}

Long SimulatedPlatform::WaitForSingleObject(Long hHandle, Long dwMilliseconds) {
  Long result = platform::kWaitFailed;
  const auto it = process_handles_.find(hHandle);
  if (!FailsNow() && it != process_handles_.end()) {
    result = it->second.running ? platform::kWaitTimeout : platform::kWaitObject0;
  }
  Record("WaitForSingleObject",
         {Hex(static_cast<std::uint32_t>(hHandle)), Dec(dwMilliseconds)},
         Hex(static_cast<std::uint32_t>(result)));
  return result;
}

Long SimulatedPlatform::CloseHandle(Long hObject) {
  Long ok = 0;
  if (!FailsNow() && (process_handles_.erase(hObject) > 0 || tokens_.erase(hObject) > 0 ||
                      files_.erase(hObject) > 0)) {
    read_at_.erase(hObject);
    ok = 1;
  }
  Record("CloseHandle", {Hex(static_cast<std::uint32_t>(hObject))}, Dec(ok));
  return ok;
}

Long SimulatedPlatform::GetCurrentProcess() {
  FailsNow();  // cannot fail, but counts, so that fail_call numbers trace positions
  Record("GetCurrentProcess", {}, Hex(static_cast<std::uint32_t>(kCurrentProcess)));
  return kCurrentProcess;
}

// ---- security and restart ------------------------------------------------------------

Long SimulatedPlatform::OpenProcessToken(Long ProcessHandle, Long DesiredAccess,
                                         Long& TokenHandle) {
  Long ok = 0;
  if (!FailsNow() && machine_.security.token_opens && ProcessHandle == kCurrentProcess) {
    TokenHandle = NewHandle();
    tokens_[TokenHandle] = true;
    ok = 1;
  }
  Record("OpenProcessToken",
         {Hex(static_cast<std::uint32_t>(ProcessHandle)), Hex(static_cast<std::uint32_t>(DesiredAccess)),
          "&token"},
         Dec(ok) + (ok ? " token=" + Hex(static_cast<std::uint32_t>(TokenHandle)) : ""));
  return ok;
}

Long SimulatedPlatform::LookupPrivilegeValueA(const AnsiString& lpSystemName,
                                              const AnsiString& lpName, platform::LUID& lpLuid) {
  Long ok = 0;
  if (!FailsNow() && lpSystemName.empty() &&
      FoldCase(DecodeCp1252(lpName)) == u"SESHUTDOWNPRIVILEGE") {
    lpLuid = kShutdownLuid;
    ok = 1;
  }
  Record("LookupPrivilegeValueA", {QuoteAnsi(lpSystemName), QuoteAnsi(lpName), "&luid"},
         Dec(ok) + (ok ? " luid=" + Hex(lpLuid.LowPart) : ""));
  return ok;
}

Long SimulatedPlatform::AdjustTokenPrivileges(Long TokenHandle, Long DisableAllPrivileges,
                                              const platform::TOKEN_PRIVILEGES& NewState,
                                              Long BufferLength,
                                              platform::TOKEN_PRIVILEGES& PreviousState,
                                              Long& ReturnLength) {
  Long ok = 0;
  const auto& entry = NewState.Privileges[0];
  if (!FailsNow() && tokens_.count(TokenHandle) && NewState.PrivilegeCount <= 1 &&
      BufferLength >= static_cast<Long>(sizeof(platform::TOKEN_PRIVILEGES))) {
    const bool was_enabled = shutdown_privilege_enabled_;
    bool changed = false;
    if (DisableAllPrivileges) {
      shutdown_privilege_enabled_ = false;
      changed = was_enabled;
    } else if (NewState.PrivilegeCount == 1 && entry.Luid.LowPart == kShutdownLuid.LowPart &&
               entry.Luid.HighPart == kShutdownLuid.HighPart &&
               machine_.security.holds_shutdown_privilege) {
      // Not held: success all the same, with nothing assigned.
      shutdown_privilege_enabled_ = (entry.Attributes & platform::kSePrivilegeEnabled) != 0;
      changed = true;
    }
    PreviousState = platform::TOKEN_PRIVILEGES{};
    PreviousState.PrivilegeCount = changed ? 1 : 0;
    if (changed) {
      PreviousState.Privileges[0].Luid = kShutdownLuid;
      PreviousState.Privileges[0].Attributes = was_enabled ? platform::kSePrivilegeEnabled : 0;
    }
    ReturnLength = changed ? 16 : 4;
    ok = 1;
  }
  Record("AdjustTokenPrivileges",
         {Hex(static_cast<std::uint32_t>(TokenHandle)), Dec(DisableAllPrivileges),
          "{count=" + Dec(NewState.PrivilegeCount) + " luid=" + Hex(entry.Luid.LowPart) +
              " attributes=" + Dec(entry.Attributes) + "}",
          Dec(BufferLength), "&previous", "&length"},
         Dec(ok));
  return ok;
}

Long SimulatedPlatform::ExitWindowsEx(Long uFlags, Long dwReason) {
  const bool nt = machine_.windows.platform_id != platform::kVerPlatformWin32Windows;
  const bool accepted = !FailsNow() && !machine_.security.refuse_restart &&
                        (!nt || shutdown_privilege_enabled_);
  seen_.restart = RestartRequest{uFlags, dwReason, shutdown_privilege_enabled_, accepted};
  seen_.order.emplace_back(Happening::kRestart, 0);
  Record("ExitWindowsEx", {Hex(static_cast<std::uint32_t>(uFlags)), Hex(static_cast<std::uint32_t>(dwReason))},
         accepted ? "1" : "0");
  return accepted ? 1 : 0;
}

// ---- interactive services ----------------------------------------------------------

Long SimulatedPlatform::MsgBox(const Text& prompt, Long buttons, const std::optional<Text>& title) {
  const Text shown_title = title.value_or(kDefaultTitle);
  const std::vector<Long> offered = platform::ButtonsOf(buttons);
  Long answer = platform::kIdOk;
  if (offered.size() > 1) {
    if (machine_.answers.empty() && machine_.enter_when_unscripted) {
      machine_.answers.push_back(AnswerEnter());
    }
    if (machine_.answers.empty()) {
      throw ScriptError("no answer scripted for the box \"" + platform::ToUtf8(shown_title) +
                        "\": " + platform::ToUtf8(prompt));
    }
    const Answer scripted = machine_.answers.front();
    machine_.answers.pop_front();
    if (scripted.button == Answer::kEnter) {
      answer = platform::DefaultButton(buttons);
    } else if (std::find(offered.begin(), offered.end(), scripted.button) != offered.end()) {
      answer = scripted.button;
    } else {
      throw ScriptError("scripted answer " + std::to_string(scripted.button) +
                        " is not a button of the box \"" + platform::ToUtf8(shown_title) + "\"");
    }
  }
  seen_.order.emplace_back(Happening::kBox, seen_.boxes.size());
  seen_.boxes.push_back(BoxShown{shown_title, prompt, buttons, answer});
  Record("MsgBox", {Quote(prompt), Dec(buttons), title ? Quote(*title) : "(default)"}, Dec(answer));
  return answer;
}

double SimulatedPlatform::Shell(const Text& pathName, Long windowStyle,
                                platform::ProgramName program) {
  const bool fails = FailsNow();
  const auto split = platform::ResolveProgram(
      pathName, program, [this](const Text& path) { return machine_.FindFile(path) != nullptr; });
  const SimFile* file = split ? machine_.FindFile(split->application) : nullptr;
  if (fails || !split || !file->program) {
    const platform::RuntimeFailure failure =
        (fails || !split) ? platform::FailureFileNotFound()
                          : platform::FailureInvalidProcedureCall();  // not a program
    Record("Shell", {Quote(pathName), Dec(windowStyle)}, "failure " + Dec(failure.number()));
    throw failure;
  }
  const Long pid = next_process_id_;
  next_process_id_ += 4;
  Process process{*file->program};
  if (machine_.program_start_keeps_handle) process.kept_handle = NewHandle();
  processes_[pid] = process;
  seen_.order.emplace_back(Happening::kStarted, seen_.started.size());
  seen_.started.push_back(
      ProgramStarted{pathName, split->application, split->arguments, windowStyle, pid});
  Record("Shell", {Quote(pathName), Dec(windowStyle)}, Dec(pid));
  return static_cast<double>(pid);
}

void SimulatedPlatform::DoEvents() { Record("DoEvents", {}, ""); }

Text SimulatedPlatform::AppPath() {
  Record("AppPath", {}, Quote(machine_.app_path));
  return machine_.app_path;
}

void SimulatedPlatform::Print(const Text& line) {
  seen_.order.emplace_back(Happening::kPrinted, seen_.printed.size());
  seen_.printed.push_back(line);
  Record("Print", {Quote(line)}, "");
}

void SimulatedPlatform::Unload() {
  seen_.unloaded = true;
  Record("Unload", {"Form1"}, "");
}

void SimulatedPlatform::DoEnd(Long exitCode) {
  seen_.exit_code = exitCode;
  seen_.handles_open_at_end = keys_.size() + process_handles_.size() + files_.size();
  for (const auto& [handle, open] : tokens_) seen_.handles_open_at_end += open ? 1 : 0;
  for (const auto& [pid, process] : processes_) seen_.handles_open_at_end += process.kept_handle ? 1 : 0;
  Record("End", {Dec(exitCode)}, "");
  throw platform::EndProgram{exitCode};
}

}  // namespace sim
