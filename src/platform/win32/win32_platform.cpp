#include "platform/win32/win32_platform.h"

#include <cstring>
#include <vector>

#include "platform/command_line.h"
#include "platform/failure.h"
#include "platform/win32/ansi.h"
#include "platform/win32/handle_cast.h"

namespace platform::win32 {
namespace {

bool IsExistingFile(const Text& path) {
  const DWORD attributes = ::GetFileAttributesW(WideZ(path));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

RuntimeFailure FailureForStartError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return FailureFileNotFound();
    case ERROR_ACCESS_DENIED:
      return FailureFromNumber(70);
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return FailureOutOfMemory();
    default:
      return FailureInvalidProcedureCall();
  }
}

}  // namespace

void HardenDllSearch() {
  // Looked up, not imported: SetDllDirectoryW is missing before XP SP1.
  using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
  const HMODULE kernel32 = ::GetModuleHandleA("kernel32.dll");
  if (kernel32 == nullptr) return;
  const auto set_dll_directory = reinterpret_cast<SetDllDirectoryFn>(
      reinterpret_cast<void*>(::GetProcAddress(kernel32, "SetDllDirectoryW")));
  if (set_dll_directory != nullptr) set_dll_directory(L"");
}

Win32Platform::Win32Platform(HINSTANCE instance)
    : instance_(instance), form_(instance), progress_(instance) {}

AnsiString Win32Platform::ToAnsi(std::u16string_view text) const { return ToAnsiCodePage(text); }
Text Win32Platform::FromAnsi(std::string_view ansi) const { return FromAnsiCodePage(ansi); }

// ---- version information -------------------------------------------------------

const Win32Platform::VersionApi& Win32Platform::Version() {
  if (version_loaded_) return version_;
  version_loaded_ = true;
  // VERSION is no KnownDLL on Windows XP: a plain LoadLibrary("version.dll")
  // by an elevated program downloaded to a user folder would load whatever
  // version.dll lies beside it. The full system path leaves no choice.
  std::vector<wchar_t> dir(MAX_PATH);
  UINT length = ::GetSystemDirectoryW(dir.data(), static_cast<UINT>(dir.size()));
  if (length >= dir.size()) {
    dir.resize(length + 1);
    length = ::GetSystemDirectoryW(dir.data(), static_cast<UINT>(dir.size()));
  }
  if (length == 0 || length >= dir.size()) return version_;
  const Text path = Concat({FromWideZ(dir.data(), length), "\\version.dll"});
  version_.module = ScopedModule(::LoadLibraryW(WideZ(path)));
  if (!version_.module.valid()) return version_;
  auto bind = [&](auto& fn, const char* name) {
    fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(
        reinterpret_cast<void*>(::GetProcAddress(version_.module.get(), name)));
  };
  bind(version_.size, "GetFileVersionInfoSizeA");
  bind(version_.info, "GetFileVersionInfoA");
  bind(version_.query, "VerQueryValueA");
  return version_;
}

Long Win32Platform::GetFileVersionInfoSizeA(const AnsiString& lptstrFilename, Long& lpdwHandle) {
  const VersionApi& api = Version();
  DWORD handle = 0;
  const DWORD size = api.size ? api.size(lptstrFilename.c_str(), &handle) : 0;
  lpdwHandle = static_cast<Long>(handle);
  return static_cast<Long>(size);
}

Long Win32Platform::GetFileVersionInfoA(const AnsiString& lptstrFilename, Long dwHandle,
                                        Long dwLen, std::uint8_t* lpData) {
  const VersionApi& api = Version();
  if (api.info == nullptr) return 0;
  return api.info(lptstrFilename.c_str(), static_cast<DWORD>(dwHandle), static_cast<DWORD>(dwLen),
                  lpData);
}

Long Win32Platform::VerQueryValueA(const std::uint8_t* pBlock, const AnsiString& lpSubBlock,
                                   const std::uint8_t*& lplpBuffer, Long& puLen) {
  const VersionApi& api = Version();
  if (api.query == nullptr) return 0;
  void* buffer = nullptr;
  UINT length = 0;
  // The block is only read; the API's parameter is merely not const-qualified.
  const BOOL ok = api.query(const_cast<std::uint8_t*>(pBlock), lpSubBlock.c_str(), &buffer, &length);
  if (ok) {
    lplpBuffer = static_cast<const std::uint8_t*>(buffer);
    puLen = static_cast<Long>(length);
  }
  return ok;
}

void Win32Platform::RtlMoveMemory(void* Destination, const void* Source, Long Length) {
  std::memmove(Destination, Source, static_cast<std::size_t>(Length));
}

// ---- registry -----------------------------------------------------------------------

Long Win32Platform::RegOpenKeyExA(Long hKey, const AnsiString& lpSubKey, Long ulOptions,
                                  Long samDesired, Long& phkResult) {
  HKEY key = nullptr;
  const LONG status = ::RegOpenKeyExA(ToHandle<HKEY>(hKey), lpSubKey.c_str(),
                                      static_cast<DWORD>(ulOptions),
                                      static_cast<REGSAM>(samDesired), &key);
  if (status == ERROR_SUCCESS) phkResult = FromHandle(key);
  return status;
}

Long Win32Platform::RegOpenKeyA(Long hKey, const AnsiString& lpSubKey, Long& phkResult) {
  HKEY key = nullptr;
  const LONG status = ::RegOpenKeyA(ToHandle<HKEY>(hKey), lpSubKey.c_str(), &key);
  if (status == ERROR_SUCCESS) phkResult = FromHandle(key);
  return status;
}

Long Win32Platform::RegQueryValueExA(Long hKey, const AnsiString& lpValueName, Long lpReserved,
                                     Long& lpType, std::uint8_t* lpData, Long& lpcbData) {
  (void)lpReserved;  // always 0: the parameter must be NULL
  DWORD type = static_cast<DWORD>(lpType);
  DWORD size = static_cast<DWORD>(lpcbData);
  const LONG status = ::RegQueryValueExA(ToHandle<HKEY>(hKey), lpValueName.c_str(), nullptr,
                                         &type, lpData, &size);
  // Type and size are meaningful on success and on "more data" (the size needed).
  if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    lpType = static_cast<Long>(type);
    lpcbData = static_cast<Long>(size);
  }
  return status;
}

Long Win32Platform::RegCloseKey(Long hKey) { return ::RegCloseKey(ToHandle<HKEY>(hKey)); }

// ---- kernel32 -------------------------------------------------------------------------

Long Win32Platform::GetVersionExA(OSVERSIONINFOA& lpVersionInformation) {
  static_assert(sizeof(::OSVERSIONINFOA) == sizeof(platform::OSVERSIONINFOA));
  ::OSVERSIONINFOA info;
  std::memcpy(&info, &lpVersionInformation, sizeof info);
  const BOOL ok = ::GetVersionExA(&info);
  if (ok) std::memcpy(&lpVersionInformation, &info, sizeof info);
  return ok;
}

Long Win32Platform::OpenProcess(Long dwDesiredAccess, Long bInheritHandle, Long dwProcessId) {
  return FromHandle(::OpenProcess(static_cast<DWORD>(dwDesiredAccess), bInheritHandle != 0,
                                  static_cast<DWORD>(dwProcessId)));
}

Long Win32Platform::WaitForSingleObject(Long hHandle, Long dwMilliseconds) {
  return static_cast<Long>(
      ::WaitForSingleObject(ToHandle<HANDLE>(hHandle), static_cast<DWORD>(dwMilliseconds)));
}

Long Win32Platform::CloseHandle(Long hObject) { return ::CloseHandle(ToHandle<HANDLE>(hObject)); }

Long Win32Platform::GetCurrentProcess() { return FromHandle(::GetCurrentProcess()); }

// ---- security and restart --------------------------------------------------------------

Long Win32Platform::OpenProcessToken(Long ProcessHandle, Long DesiredAccess, Long& TokenHandle) {
  HANDLE token = nullptr;
  const BOOL ok = ::OpenProcessToken(ToHandle<HANDLE>(ProcessHandle),
                                     static_cast<DWORD>(DesiredAccess), &token);
  if (ok) TokenHandle = FromHandle(token);
  return ok;
}

Long Win32Platform::LookupPrivilegeValueA(const AnsiString& lpSystemName, const AnsiString& lpName,
                                          LUID& lpLuid) {
  ::LUID luid{};
  const BOOL ok = ::LookupPrivilegeValueA(lpSystemName.c_str(), lpName.c_str(), &luid);
  if (ok) {
    lpLuid.LowPart = luid.LowPart;
    lpLuid.HighPart = luid.HighPart;
  }
  return ok;
}

Long Win32Platform::AdjustTokenPrivileges(Long TokenHandle, Long DisableAllPrivileges,
                                          const TOKEN_PRIVILEGES& NewState, Long BufferLength,
                                          TOKEN_PRIVILEGES& PreviousState, Long& ReturnLength) {
  static_assert(sizeof(::TOKEN_PRIVILEGES) == sizeof(platform::TOKEN_PRIVILEGES));
  ::TOKEN_PRIVILEGES new_state;
  ::TOKEN_PRIVILEGES previous{};
  std::memcpy(&new_state, &NewState, sizeof new_state);
  DWORD length = 0;
  const BOOL ok = ::AdjustTokenPrivileges(ToHandle<HANDLE>(TokenHandle), DisableAllPrivileges != 0,
                                          &new_state, static_cast<DWORD>(BufferLength), &previous,
                                          &length);
  if (ok) {
    std::memcpy(&PreviousState, &previous, sizeof previous);
    ReturnLength = static_cast<Long>(length);
  }
  return ok;
}

Long Win32Platform::ExitWindowsEx(Long uFlags, Long dwReason) {
  return ::ExitWindowsEx(static_cast<UINT>(uFlags), static_cast<DWORD>(dwReason));
}

// ---- interactive services ------------------------------------------------------------------

Long Win32Platform::MsgBox(const Text& prompt, Long buttons, const std::optional<Text>& title) {
  const Text caption = title.value_or(u"Hotfix");
  return ::MessageBoxW(nullptr, WideZ(prompt), WideZ(caption), static_cast<UINT>(buttons));
}

double Win32Platform::Shell(const Text& pathName, Long windowStyle, ProgramName program) {
  // Name the program file ourselves: left to CreateProcess, an unquoted
  // "C:\hf test\app\x.exe" would run C:\hf.exe if someone put one there.
  const auto split = ResolveProgram(pathName, program, IsExistingFile);
  if (!split) throw FailureFileNotFound();

  std::wstring command_line = Wide(pathName);  // the program sees exactly this
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(windowStyle);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(WideZ(split->application), command_line.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
    throw FailureForStartError(::GetLastError());
  }
  ScopedHandle thread_handle(process.hThread);
  // Kept, not closed: while a handle is open the process object stays, and
  // Windows does not give its identifier to a program started later, so the
  // wait by identifier can only ever see this program.
  started_.push_back({process.dwProcessId, ScopedHandle(process.hProcess), split->application});
  return static_cast<double>(process.dwProcessId);
}

void Win32Platform::DoEvents() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  ::Sleep(0);
}

Text Win32Platform::AppPath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  DWORD length = 0;
  // XP returns a truncated, unterminated name when the buffer is too small.
  while ((length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()))) >=
         buffer.size()) {
    if (buffer.size() >= 32768) break;
    buffer.resize(buffer.size() * 2);
  }
  Text path(FromWideZ(buffer.data(), length));
  const auto slash = path.find_last_of(u"\\/");
  path.resize(slash == Text::npos ? 0 : slash);
  return path;
}

void Win32Platform::Print(const Text& line) { form_.Print(line); }

void Win32Platform::Unload() { form_.Unload(); }

void Win32Platform::DoEnd(Long exitCode) { ::ExitProcess(static_cast<UINT>(exitCode)); }

}  // namespace platform::win32
