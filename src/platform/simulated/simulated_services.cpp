// The simulated machine's door for the deployment layer: the installers'
// handles, the mutex, the windows of the switches, the names (its files are
// simulated_files.cpp's).
#include "platform/simulated/simulated_platform.h"

#include <algorithm>

namespace sim {

Long SimulatedPlatform::GetExitCodeProcess(Long dwProcessId, Long& lpExitCode) {
  Long ok = 0;
  const auto it = processes_.find(dwProcessId);
  if (!FailsNow() && it != processes_.end() && it->second.kept_handle != 0) {
    // The refused opens never count a pass, so such a program runs on.
    lpExitCode = it->second.running() ? platform::kStillActive : it->second.behaviour.exit_code;
    ok = 1;
  }
  Record("GetExitCodeProcess", {Dec(dwProcessId), "&code"},
         Dec(ok) + (ok ? " code=" + Dec(lpExitCode) : ""));
  return ok;
}

void SimulatedPlatform::CloseStartedPrograms() {
  for (auto& [pid, process] : processes_) {
    if (process.kept_handle == 0) continue;
    Record("CloseHandle", {Hex(static_cast<std::uint32_t>(process.kept_handle))}, "1");
    process.kept_handle = 0;
  }
}

Text SimulatedPlatform::StartedProgramFile(Long dwProcessId) {
  for (const auto& started : seen_.started)
    if (started.process_id == dwProcessId) return started.application;
  return Text();
}

Text SimulatedPlatform::GetCommandLine() {
  Text line = u"\"" + machine_.app_path + u"\\Hotfix.exe\"";
  if (!machine_.arguments.empty()) line += u" " + machine_.arguments;
  Record("GetCommandLine", {}, Quote(line));
  return line;
}

platform::SYSTEMTIME SimulatedPlatform::GetLocalTime() {
  // Whole milliseconds from the start, one per Windows call so far.
  platform::SYSTEMTIME t = machine_.clock;
  std::int64_t ms = t.wMilliseconds + static_cast<std::int64_t>(calls_);
  std::int64_t seconds = t.wSecond + t.wMinute * 60 + t.wHour * 3600 + ms / 1000;
  t.wMilliseconds = static_cast<std::uint16_t>(ms % 1000);
  t.wSecond = static_cast<std::uint16_t>(seconds % 60);
  t.wMinute = static_cast<std::uint16_t>(seconds / 60 % 60);
  t.wHour = static_cast<std::uint16_t>(seconds / 3600 % 24);  // a run never spans midnight
  Record("GetLocalTime", {}, "");
  return t;
}

Long SimulatedPlatform::CreateMutexW(const Text& lpName, Long& lpError) {
  Long handle = 0;
  if (FailsNow()) {
    lpError = platform::kErrorNotEnoughMemory;
  } else if (machine_.mutex_error != 0) {
    lpError = machine_.mutex_error;
  } else if (machine_.other_copy == OtherCopy::kOtherAccount) {
    lpError = platform::kErrorAccessDenied;
  } else {
    handle = mutex_ = NewHandle();
    lpError = machine_.other_copy == OtherCopy::kRunning ? platform::kErrorAlreadyExists : 0;
  }
  Record("CreateMutexW", {"NULL", "FALSE", Quote(lpName)},
         Hex(static_cast<std::uint32_t>(handle)) + " error=" + Dec(lpError));
  return handle;
}

Long SimulatedPlatform::GetProcessWindowStationFlags(Long& lpFlags) {
  const bool ok = !FailsNow();
  if (ok) lpFlags = machine_.visible_desktop ? platform::kWsfVisible : 0;
  Record("GetProcessWindowStationFlags", {"&flags"}, ok ? "1 flags=" + Dec(lpFlags) : "0");
  return ok ? 1 : 0;
}

Long SimulatedPlatform::ShowProgress(const Text& caption, const Text& heading, const Text& step) {
  const bool ok = machine_.visible_desktop && !FailsNow();
  if (ok) {
    progress_open_ = true;
    seen_.order.emplace_back(Happening::kProgress, seen_.progress.size());
    seen_.progress.push_back(ProgressShown{caption, heading, step});
  }
  Record("ShowProgress", {Quote(caption), Quote(heading), Quote(step)}, ok ? "1" : "0");
  return ok ? 1 : 0;
}

void SimulatedPlatform::CloseProgress() {
  if (progress_open_) {
    progress_open_ = false;
    seen_.order.emplace_back(Happening::kProgress, seen_.progress.size());
    seen_.progress.push_back(ProgressShown{{}, {}, {}, true});
  }
  Record("CloseProgress", {}, "");
}

// Answered like a box from the script: ok or yes is Riavvia ora, cancel, no
// or Enter (its default button) is Annulla, and no answer left lets the
// time run out.
Long SimulatedPlatform::RestartCountdown(const Text& title, const Text& prompt, Long seconds,
                                         const Text& ok_label, const Text& cancel_label) {
  Long answer = platform::kIdTimeout;
  if (!machine_.visible_desktop || FailsNow()) {
    answer = 0;
  } else if (seconds > 0 && !machine_.answers.empty()) {
    const Answer scripted = machine_.answers.front();
    machine_.answers.pop_front();
    if (scripted.button == platform::kIdOk || scripted.button == platform::kIdYes)
      answer = platform::kIdOk;
    else if (scripted.button != platform::kIdTimeout)
      answer = platform::kIdCancel;
  }
  if (answer != 0 && seconds > 0) {
    seen_.order.emplace_back(Happening::kCountdown, seen_.countdowns.size());
    seen_.countdowns.push_back(CountdownShown{title, prompt, seconds, answer});
  }
  Record("RestartCountdown",
         {Quote(title), Quote(prompt), Dec(seconds), Quote(ok_label), Quote(cancel_label)},
         Dec(answer));
  return answer;
}

// No clock here: a sleep on a running program lasts until it has ended.
Long SimulatedPlatform::WaitForStartedProgramOrMessage(Long dwProcessId, Long dwMilliseconds) {
  Long result = platform::kWaitTimeout;
  const auto it = processes_.find(dwProcessId);
  if (it != processes_.end() && it->second.kept_handle != 0 && !it->second.unrelated) {
    Process& process = it->second;
    process.opens = std::max(process.opens, process.behaviour.lifetime);
    result = platform::kWaitObject0;
  }
  Record("WaitForStartedProgramOrMessage", {Dec(dwProcessId), Dec(dwMilliseconds)}, Dec(result));
  return result;
}

void SimulatedPlatform::Sleep(Long dwMilliseconds) {
  seen_.slept_ms += dwMilliseconds;
  Record("Sleep", {Dec(dwMilliseconds)}, "");
}

Text SimulatedPlatform::GetComputerNameW() {
  Record("GetComputerNameW", {}, Quote(machine_.computer_name));
  return machine_.computer_name;
}

Text SimulatedPlatform::GetUserNameW() {
  Record("GetUserNameW", {}, Quote(machine_.user_name));
  return machine_.user_name;
}

}  // namespace sim
