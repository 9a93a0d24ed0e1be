// The deployment layer's door on real Windows: the installers' handles,
// the log file, the mutex, the windows of the switches, the names.
#include "platform/win32/win32_platform.h"

#include <cstring>
#include <vector>

#include "platform/win32/ansi.h"
#include "platform/win32/handle_cast.h"
#include "platform/win32/restart_countdown.h"

#include <lmcons.h>  // UNLEN

namespace platform::win32 {

Long Win32Platform::GetExitCodeProcess(Long dwProcessId, Long& lpExitCode) {
  for (const auto& started : started_) {
    if (started.process_id != static_cast<DWORD>(dwProcessId)) continue;
    DWORD code = 0;
    if (!::GetExitCodeProcess(started.process.get(), &code)) return 0;
    lpExitCode = static_cast<Long>(code);
    return 1;
  }
  return 0;
}

void Win32Platform::CloseStartedPrograms() {
  for (auto& started : started_) started.process = ScopedHandle();
}

Text Win32Platform::StartedProgramFile(Long dwProcessId) {
  for (const auto& started : started_)
    if (started.process_id == static_cast<DWORD>(dwProcessId)) return started.application;
  return Text();
}

const payload::PinnedInstallers& Win32Platform::ShippedInstallers() {
  return payload::kShippedInstallers;
}

Long Win32Platform::OpenFileForReading(const Text& path, Long& lpError) {
  // FILE_SHARE_READ alone: Windows refuses every other opening for writing
  // or for DELETE access (which renaming and replacing need) while this
  // handle is open, and CreateProcess, which opens an image to execute and
  // read, still can. FILE_FLAG_OPEN_REPARSE_POINT opens a junction or link
  // itself, so that its attributes show what it is.
  const HANDLE file = ::CreateFileW(WideZ(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    lpError = static_cast<Long>(::GetLastError());
    return 0;
  }
  return FromHandle(file);
}

Long Win32Platform::ReadFile(Long hFile, std::uint8_t* lpBuffer, Long nNumberOfBytesToRead,
                             Long& lpNumberOfBytesRead) {
  DWORD read = 0;
  if (!::ReadFile(ToHandle<HANDLE>(hFile), lpBuffer, static_cast<DWORD>(nNumberOfBytesToRead), &read,
                  nullptr))
    return 0;
  lpNumberOfBytesRead = static_cast<Long>(read);
  return 1;
}

Text Win32Platform::GetCommandLine() {
  return Text(reinterpret_cast<const char16_t*>(::GetCommandLineW()));
}

SYSTEMTIME Win32Platform::GetLocalTime() {
  static_assert(sizeof(::SYSTEMTIME) == sizeof(platform::SYSTEMTIME));
  ::SYSTEMTIME now;
  ::GetLocalTime(&now);
  platform::SYSTEMTIME out;
  std::memcpy(&out, &now, sizeof out);
  return out;
}

Long Win32Platform::OpenFileForAppend(const Text& path, Long& lpFileSize, Long& lpError) {
  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end,
  // even when another run appends to the same log at the same time.
  // FILE_READ_ATTRIBUTES lets the caller check the handle it writes through;
  // FILE_FLAG_OPEN_REPARSE_POINT opens a junction or symbolic link itself, so
  // the check sees it instead of the file it would lead to. A named pipe's
  // server may only identify this process, never act as it.
  const HANDLE file = ::CreateFileW(WideZ(path), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT |
                                        SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                                    nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    lpError = static_cast<Long>(::GetLastError());
    return 0;
  }
  DWORD high = 0;
  const DWORD low = ::GetFileSize(file, &high);
  lpFileSize = high != 0 || low > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<Long>(low);
  return FromHandle(file);
}

Long Win32Platform::WriteFile(Long hFile, std::string_view bytes) {
  DWORD written = 0;
  const BOOL ok = ::WriteFile(ToHandle<HANDLE>(hFile), bytes.data(), static_cast<DWORD>(bytes.size()),
                              &written, nullptr);
  return ok && written == bytes.size();
}

Long Win32Platform::GetFileType(Long hFile) {
  return static_cast<Long>(::GetFileType(ToHandle<HANDLE>(hFile)));
}

Long Win32Platform::GetFileInformationByHandle(Long hFile, FileInformation& lpFileInformation) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(ToHandle<HANDLE>(hFile), &info)) return 0;
  lpFileInformation.dwFileAttributes = info.dwFileAttributes;
  lpFileInformation.nNumberOfLinks = info.nNumberOfLinks;
  return 1;
}

Long Win32Platform::GetFileAttributesW(const Text& lpFileName) {
  return static_cast<Long>(::GetFileAttributesW(WideZ(lpFileName)));
}

Long Win32Platform::GetFullPathNameW(const Text& lpFileName, Text& lpBuffer) {
  const wchar_t* name = WideZ(lpFileName);
  std::vector<wchar_t> buffer(MAX_PATH);
  DWORD length = ::GetFullPathNameW(name, static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (length >= buffer.size()) {  // the size needed, terminator included
    buffer.resize(length);
    length = ::GetFullPathNameW(name, static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  }
  if (length == 0 || length >= buffer.size()) return 0;
  lpBuffer = FromWideZ(buffer.data(), length);
  return 1;
}

Text Win32Platform::GetCurrentDirectoryW() {
  const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return Text();
  std::vector<wchar_t> buffer(needed);
  const DWORD length = ::GetCurrentDirectoryW(needed, buffer.data());
  return length == 0 || length >= needed ? Text() : Text(FromWideZ(buffer.data(), length));
}

Long Win32Platform::CreateMutexW(const Text& lpName, Long& lpError) {
  const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, WideZ(lpName));
  lpError = static_cast<Long>(::GetLastError());
  if (mutex == nullptr) return 0;
  if (lpError != ERROR_ALREADY_EXISTS) lpError = 0;
  // Never closed: Windows closes it when the process ends, however it ends,
  // so a copy that was killed leaves nothing behind to block the next run.
  return FromHandle(mutex);
}

Long Win32Platform::GetProcessWindowStationFlags(Long& lpFlags) {
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  const HWINSTA station = ::GetProcessWindowStation();
  if (station == nullptr ||
      !::GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed))
    return 0;
  lpFlags = static_cast<Long>(flags.dwFlags);
  return 1;
}

// ---- windows of the deployment switches --------------------------------------------

Long Win32Platform::ShowProgress(const Text& caption, const Text& heading, const Text& step) {
  return progress_.Show(caption, heading, step) ? 1 : 0;
}

void Win32Platform::CloseProgress() { progress_.Close(); }

Long Win32Platform::RestartCountdown(const Text& title, const Text& prompt, Long seconds,
                                     const Text& ok_label, const Text& cancel_label) {
  return ShowRestartCountdown(instance_, title, prompt, static_cast<DWORD>(seconds), ok_label,
                              cancel_label);
}

// The handle kept since the start, and the thread's message queue, together:
// QS_ALLINPUT wakes the sleep for any message that arrives after the last
// PeekMessage, so the windows stay responsive.
Long Win32Platform::WaitForStartedProgramOrMessage(Long dwProcessId, Long dwMilliseconds) {
  for (const auto& started : started_) {
    if (started.process_id != static_cast<DWORD>(dwProcessId) || !started.process.valid()) continue;
    HANDLE process = started.process.get();
    return ::MsgWaitForMultipleObjects(1, &process, FALSE, static_cast<DWORD>(dwMilliseconds),
                                       QS_ALLINPUT) == WAIT_OBJECT_0
               ? kWaitObject0
               : kWaitTimeout;
  }
  return kWaitTimeout;
}

void Win32Platform::Sleep(Long dwMilliseconds) { ::Sleep(static_cast<DWORD>(dwMilliseconds)); }

Text Win32Platform::GetComputerNameW() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  return ::GetComputerNameW(name, &length) ? Text(FromWideZ(name, length)) : Text();
}

Text Win32Platform::GetUserNameW() {
  wchar_t name[UNLEN + 1];
  DWORD size = UNLEN + 1;  // on success, the characters with the terminating NUL
  return ::GetUserNameW(name, &size) && size > 0 ? Text(FromWideZ(name, size - 1)) : Text();
}

}  // namespace platform::win32
