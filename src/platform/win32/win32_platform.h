// The platform on real Windows: every call goes to the Win32 API, the
// Windows calls through their "A" forms, the interactive services through the
// wide forms so that no character is lost. One object serves both doors:
// win32_platform.cpp the sequence's (Platform), win32_services.cpp the
// deployment layer's (DeploymentServices).
#pragma once

#include "platform/win32/windows_h.h"

#include <vector>

#include "platform/deployment_services.h"
#include "platform/platform.h"
#include "platform/win32/form_window.h"
#include "platform/win32/progress_window.h"
#include "platform/win32/scoped_handle.h"

namespace platform::win32 {

class Win32Platform final : public Platform, public DeploymentServices {
 public:
  explicit Win32Platform(HINSTANCE instance);

  // Platform
  AnsiString ToAnsi(std::u16string_view text) const override;
  Text FromAnsi(std::string_view ansi) const override;

  Long GetFileVersionInfoSizeA(const AnsiString& lptstrFilename, Long& lpdwHandle) override;
  Long GetFileVersionInfoA(const AnsiString& lptstrFilename, Long dwHandle, Long dwLen,
                           std::uint8_t* lpData) override;
  Long VerQueryValueA(const std::uint8_t* pBlock, const AnsiString& lpSubBlock,
                      const std::uint8_t*& lplpBuffer, Long& puLen) override;
  void RtlMoveMemory(void* Destination, const void* Source, Long Length) override;

  Long RegOpenKeyExA(Long hKey, const AnsiString& lpSubKey, Long ulOptions, Long samDesired,
                     Long& phkResult) override;
  Long RegOpenKeyA(Long hKey, const AnsiString& lpSubKey, Long& phkResult) override;
  Long RegQueryValueExA(Long hKey, const AnsiString& lpValueName, Long lpReserved, Long& lpType,
                        std::uint8_t* lpData, Long& lpcbData) override;
  Long RegCloseKey(Long hKey) override;

  Long GetVersionExA(OSVERSIONINFOA& lpVersionInformation) override;
  Long OpenProcess(Long dwDesiredAccess, Long bInheritHandle, Long dwProcessId) override;
  Long WaitForSingleObject(Long hHandle, Long dwMilliseconds) override;
  Long CloseHandle(Long hObject) override;
  Long GetCurrentProcess() override;

  Long OpenProcessToken(Long ProcessHandle, Long DesiredAccess, Long& TokenHandle) override;
  Long LookupPrivilegeValueA(const AnsiString& lpSystemName, const AnsiString& lpName,
                             LUID& lpLuid) override;
  Long AdjustTokenPrivileges(Long TokenHandle, Long DisableAllPrivileges,
                             const TOKEN_PRIVILEGES& NewState, Long BufferLength,
                             TOKEN_PRIVILEGES& PreviousState, Long& ReturnLength) override;
  Long ExitWindowsEx(Long uFlags, Long dwReason) override;

  Long MsgBox(const Text& prompt, Long buttons, const std::optional<Text>& title) override;
  double Shell(const Text& pathName, Long windowStyle, ProgramName program) override;
  void DoEvents() override;
  Text AppPath() override;
  void Print(const Text& line) override;
  void Unload() override;

  // DeploymentServices
  Long GetExitCodeProcess(Long dwProcessId, Long& lpExitCode) override;
  void CloseStartedPrograms() override;
  Text StartedProgramFile(Long dwProcessId) override;
  const payload::PinnedInstallers& ShippedInstallers() override;
  Long OpenFileForReading(const Text& path, Long& lpError) override;
  Long ReadFile(Long hFile, std::uint8_t* lpBuffer, Long nNumberOfBytesToRead,
                Long& lpNumberOfBytesRead) override;
  Text GetCommandLine() override;
  SYSTEMTIME GetLocalTime() override;
  Long OpenFileForAppend(const Text& path, Long& lpFileSize, Long& lpError) override;
  Long WriteFile(Long hFile, std::string_view bytes) override;
  Long GetFileType(Long hFile) override;
  Long GetFileInformationByHandle(Long hFile, FileInformation& lpFileInformation) override;
  Long GetFileAttributesW(const Text& lpFileName) override;
  Long GetFullPathNameW(const Text& lpFileName, Text& lpBuffer) override;
  Text GetCurrentDirectoryW() override;
  Long CreateMutexW(const Text& lpName, Long& lpError) override;
  Long GetProcessWindowStationFlags(Long& lpFlags) override;
  Long ShowProgress(const Text& caption, const Text& heading, const Text& step) override;
  void CloseProgress() override;
  Long RestartCountdown(const Text& title, const Text& prompt, Long seconds, const Text& ok_label,
                        const Text& cancel_label) override;
  Long WaitForStartedProgramOrMessage(Long dwProcessId, Long dwMilliseconds) override;
  void Sleep(Long dwMilliseconds) override;
  Text GetComputerNameW() override;
  Text GetUserNameW() override;

 protected:
  void DoEnd(Long exitCode) override;

 private:
  // version.dll is bound at run time from the system directory, never from
  // the program's folder (see LoadSystemVersionDll).
  struct VersionApi {
    ScopedModule module;
    decltype(&::GetFileVersionInfoSizeA) size = nullptr;
    decltype(&::GetFileVersionInfoA) info = nullptr;
    decltype(&::VerQueryValueA) query = nullptr;
  };
  const VersionApi& Version();

  struct Started {
    DWORD process_id;
    ScopedHandle process;
    Text application;
  };

  HINSTANCE instance_;
  FormWindow form_;
  ProgressWindow progress_;
  std::vector<Started> started_;  // process handles kept since the start
  VersionApi version_;
  bool version_loaded_ = false;
};

// Removes the program's folder and the current directory from the DLL search
// order for everything loaded later, where Windows supports it (XP SP1 on).
void HardenDllSearch();

}  // namespace platform::win32
