// The simulated machine's door for the deployment layer: the installers'
// handles, the log file, the mutex, the windows of the switches, the names.
#include "platform/simulated/simulated_platform.h"

#include <algorithm>

#include "platform/simulated/full_path.h"

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

Long SimulatedPlatform::OpenFileForAppend(const Text& path, Long& lpFileSize, Long& lpError) {
  Long handle = 0;
  const Text name = NormalizePath(path);
  const auto refused = machine_.unwritable_files.find(name);
  if (FailsNow()) {
    lpError = platform::kErrorAccessDenied;
  } else if (refused != machine_.unwritable_files.end()) {
    lpError = refused->second;
  } else if (name.empty()) {
    lpError = platform::kErrorInvalidName;
  } else if (IsDeviceName(name)) {
    lpFileSize = 0;
    handle = NewHandle();
    files_[handle] = Text();
  } else if (KindOf(name) == PathKind::kFolder) {
    lpError = platform::kErrorAccessDenied;  // as CreateFile answers for a folder
  } else {
    lpFileSize = static_cast<Long>(machine_.written_files[name].size());
    handle = NewHandle();
    files_[handle] = name;
  }
  Record("OpenFileForAppend", {Quote(path), "&size", "&error"},
         Hex(static_cast<std::uint32_t>(handle)) +
             (handle ? " size=" + Dec(lpFileSize) : " error=" + Dec(lpError)));
  return handle;
}

const payload::PinnedInstallers& SimulatedPlatform::ShippedInstallers() {
  return machine_.pinned;
}

Long SimulatedPlatform::OpenFileForReading(const Text& path, Long& lpError) {
  Long handle = 0;
  const Text name = NormalizePath(path);
  const PathKind kind = KindOf(name);
  if (FailsNow() || kind == PathKind::kFolder) {
    lpError = platform::kErrorAccessDenied;
  } else if (kind == PathKind::kFile && machine_.FindFile(name) == nullptr) {
    lpError = platform::kErrorFileNotFound;
  } else {
    handle = NewHandle();
    files_[handle] = name;
    read_at_[handle] = 0;
  }
  Record("OpenFileForReading", {Quote(path), "&error"},
         Hex(static_cast<std::uint32_t>(handle)) + (handle ? "" : " error=" + Dec(lpError)));
  return handle;
}

Long SimulatedPlatform::ReadFile(Long hFile, std::uint8_t* lpBuffer, Long nNumberOfBytesToRead,
                                 Long& lpNumberOfBytesRead) {
  Long ok = 0;
  const auto it = files_.find(hFile);
  if (!FailsNow() && it != files_.end() && read_at_.count(hFile) != 0) {
    const SimFile* file = machine_.FindFile(it->second);
    const std::string_view bytes = file ? std::string_view(file->contents) : std::string_view();
    std::size_t& at = read_at_[hFile];
    const std::size_t n = std::min(bytes.size() - std::min(at, bytes.size()),
                                   static_cast<std::size_t>(nNumberOfBytesToRead));
    std::copy_n(bytes.data() + at, n, lpBuffer);
    at += n;
    lpNumberOfBytesRead = static_cast<Long>(n);
    ok = 1;
  }
  Record("ReadFile", {Hex(static_cast<std::uint32_t>(hFile)), Dec(nNumberOfBytesToRead) + " bytes"},
         ok ? "1 read=" + Dec(lpNumberOfBytesRead) : "0");
  return ok;
}

Long SimulatedPlatform::WriteFile(Long hFile, std::string_view bytes) {
  Long ok = 0;
  const auto it = files_.find(hFile);
  const bool refused = std::count(machine_.failing_writes.begin(), machine_.failing_writes.end(),
                                  ++writes_) != 0;
  if (!FailsNow() && !refused && it != files_.end()) {
    if (!it->second.empty()) {  // a device takes the bytes and keeps none
      machine_.written_files[it->second] += bytes;
      seen_.written[it->second] += bytes;
    }
    ok = 1;
  }
  Record("WriteFile", {Hex(static_cast<std::uint32_t>(hFile)), Dec(static_cast<std::int64_t>(bytes.size())) + " bytes"},
         Dec(ok));
  return ok;
}

PathKind SimulatedPlatform::KindOf(const Text& full_path) const {
  const Text name = NormalizePath(full_path);
  if (const auto it = machine_.path_kinds.find(name); it != machine_.path_kinds.end())
    return it->second;
  // A folder that holds a file the machine knows.
  const Text prefix = FoldCase(name) + u"\\";
  for (const auto& [path, file] : machine_.files)
    if (FoldCase(path).starts_with(prefix)) return PathKind::kFolder;
  return PathKind::kFile;
}

Long SimulatedPlatform::GetFileType(Long hFile) {
  const auto it = files_.find(hFile);
  const Long type = FailsNow() || it == files_.end() ? 0
                    : it->second.empty()             ? platform::kFileTypeChar
                                                     : platform::kFileTypeDisk;
  Record("GetFileType", {Hex(static_cast<std::uint32_t>(hFile))}, Dec(type));
  return type;
}

Long SimulatedPlatform::GetFileInformationByHandle(Long hFile,
                                                   platform::FileInformation& lpFileInformation) {
  Long ok = 0;
  const auto it = files_.find(hFile);
  if (!FailsNow() && it != files_.end() && !it->second.empty()) {
    const PathKind kind = KindOf(it->second);
    lpFileInformation.dwFileAttributes =
        0x20 /*archive*/ | (kind == PathKind::kReparsePoint ? platform::kFileAttributeReparsePoint : 0);
    lpFileInformation.nNumberOfLinks = kind == PathKind::kHardLink ? 2 : 1;
    ok = 1;
  }
  Record("GetFileInformationByHandle", {Hex(static_cast<std::uint32_t>(hFile)), "&info"},
         ok ? "1 attributes=" + Hex(lpFileInformation.dwFileAttributes) +
                  " links=" + Dec(lpFileInformation.nNumberOfLinks)
            : "0");
  return ok;
}

Long SimulatedPlatform::GetFileAttributesW(const Text& lpFileName) {
  const Text name = FullPathOf(lpFileName, CurrentFolder());
  Long attributes = platform::kInvalidFileAttributes;
  if (!FailsNow() && !name.empty()) {
    const PathKind kind = KindOf(name);
    if (kind == PathKind::kFolder) attributes = platform::kFileAttributeDirectory;
    else if (kind == PathKind::kReparsePoint) attributes = 0x20 | platform::kFileAttributeReparsePoint;
    else if (kind == PathKind::kHardLink || machine_.FindFile(name) || machine_.written_files.count(name))
      attributes = 0x20;
  }
  Record("GetFileAttributesW", {Quote(lpFileName)}, Hex(static_cast<std::uint32_t>(attributes)));
  return attributes;
}

Long SimulatedPlatform::GetFullPathNameW(const Text& lpFileName, Text& lpBuffer) {
  const Text full = FullPathOf(lpFileName, CurrentFolder());
  const bool ok = !FailsNow() && !full.empty();
  if (ok) lpBuffer = full;
  Record("GetFullPathNameW", {Quote(lpFileName), "&buffer"}, ok ? Quote(full) : "0");
  return ok ? 1 : 0;
}

Text SimulatedPlatform::CurrentFolder() const {
  return machine_.current_directory.empty() ? machine_.app_path : machine_.current_directory;
}

Text SimulatedPlatform::GetCurrentDirectoryW() {
  const Text folder = CurrentFolder();
  Record("GetCurrentDirectoryW", {}, Quote(folder));
  return folder;
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
