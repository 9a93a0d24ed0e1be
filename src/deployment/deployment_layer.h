// The layer between the hotfix sequence and the platform that serves the
// administrator: it reads the switches, answers or shows the boxes, writes
// the log, and makes the exit status tell how the installers ended. The
// sequence calls it as it calls any platform; every call is passed on.
// Without arguments it adds only the exit status: everything shown, started
// and asked is the platform's own.
#pragma once

#include <optional>
#include <vector>

#include "deployment/run_log.h"
#include "deployment/switches.h"
#include "platform/platform.h"

namespace deployment {

using platform::Long;

class DeploymentLayer final : public platform::Platform {
 public:
  explicit DeploymentLayer(platform::Platform& inner) : inner_(inner), log_(inner) {}

  // Reads the command line, opens the log and takes the single-instance
  // mutex. Ends the program (End) when the line asks for the list of
  // switches (0), is invalid (87), names a log that cannot be opened or is
  // refused (1622), or another copy holds the mutex (1618), having shown why
  // unless /quiet or no desktop is visible; otherwise returns and the run
  // goes on.
  void Begin();
  const Switches& switches() const { return switches_; }

  platform::AnsiString ToAnsi(std::u16string_view text) const override;
  platform::Text FromAnsi(std::string_view ansi) const override;

  Long GetFileVersionInfoSizeA(const platform::AnsiString& lptstrFilename,
                               Long& lpdwHandle) override;
  Long GetFileVersionInfoA(const platform::AnsiString& lptstrFilename, Long dwHandle, Long dwLen,
                           std::uint8_t* lpData) override;
  Long VerQueryValueA(const std::uint8_t* pBlock, const platform::AnsiString& lpSubBlock,
                      const std::uint8_t*& lplpBuffer, Long& puLen) override;
  void RtlMoveMemory(void* Destination, const void* Source, Long Length) override;

  Long RegOpenKeyExA(Long hKey, const platform::AnsiString& lpSubKey, Long ulOptions,
                     Long samDesired, Long& phkResult) override;
  Long RegOpenKeyA(Long hKey, const platform::AnsiString& lpSubKey, Long& phkResult) override;
  Long RegQueryValueExA(Long hKey, const platform::AnsiString& lpValueName, Long lpReserved,
                        Long& lpType, std::uint8_t* lpData, Long& lpcbData) override;
  Long RegCloseKey(Long hKey) override;

  Long GetVersionExA(platform::OSVERSIONINFOA& lpVersionInformation) override;
  Long OpenProcess(Long dwDesiredAccess, Long bInheritHandle, Long dwProcessId) override;
  Long WaitForSingleObject(Long hHandle, Long dwMilliseconds) override;
  Long CloseHandle(Long hObject) override;
  Long GetCurrentProcess() override;

  Long OpenProcessToken(Long ProcessHandle, Long DesiredAccess, Long& TokenHandle) override;
  Long LookupPrivilegeValueA(const platform::AnsiString& lpSystemName,
                             const platform::AnsiString& lpName, platform::LUID& lpLuid) override;
  Long AdjustTokenPrivileges(Long TokenHandle, Long DisableAllPrivileges,
                             const platform::TOKEN_PRIVILEGES& NewState, Long BufferLength,
                             platform::TOKEN_PRIVILEGES& PreviousState,
                             Long& ReturnLength) override;
  Long ExitWindowsEx(Long uFlags, Long dwReason) override;

  Long MsgBox(const platform::Text& prompt, Long buttons,
              const std::optional<platform::Text>& title) override;
  double Shell(const platform::Text& pathName, Long windowStyle,
               platform::ProgramName program) override;
  void DoEvents() override;
  platform::Text AppPath() override;
  void Print(const platform::Text& line) override;
  void Unload() override;

  Long GetExitCodeProcess(Long dwProcessId, Long& lpExitCode) override;
  void CloseStartedPrograms() override;
  platform::Text StartedProgramFile(Long dwProcessId) override;
  platform::Text GetCommandLine() override;
  platform::SYSTEMTIME GetLocalTime() override;
  Long OpenFileForAppend(const platform::Text& path, Long& lpFileSize, Long& lpError) override;
  Long WriteFile(Long hFile, std::string_view bytes) override;
  Long GetFileType(Long hFile) override;
  Long GetFileInformationByHandle(Long hFile, platform::FileInformation& lpFileInformation) override;
  Long GetFileAttributesW(const platform::Text& lpFileName) override;
  Long GetFullPathNameW(const platform::Text& lpFileName, platform::Text& lpBuffer) override;
  platform::Text GetCurrentDirectoryW() override;
  Long CreateMutexW(const platform::Text& lpName, Long& lpError) override;
  Long GetProcessWindowStationFlags(Long& lpFlags) override;
  Long ShowProgress(const platform::Text& caption, const platform::Text& heading,
                    const platform::Text& step) override;
  void CloseProgress() override;
  Long RestartCountdown(const platform::Text& title, const platform::Text& prompt, Long seconds,
                        const platform::Text& ok_label, const platform::Text& cancel_label) override;
  Long WaitForStartedProgramOrMessage(Long dwProcessId, Long dwMilliseconds) override;
  void Sleep(Long dwMilliseconds) override;
  platform::Text GetComputerNameW() override;
  platform::Text GetUserNameW() override;

 protected:
  void DoEnd(Long exitCode) override;

 private:
  struct Installer {
    Long process_id = 0;
    platform::Text command_line;
    bool ended = false;
    std::optional<Long> exit_code;  // none while unknown
  };

  [[noreturn]] void EndBefore(Long status, const platform::Text& box_text, Long style);
  void OpenLog();
  void TakeMutex();
  Installer* Waiting(Long process_id);
  void Ended(Installer& installer);
  const Installer* FailedInstaller() const;
  std::optional<Long> CountdownSeconds() const;
  Long WarnBeforeRestart(Long seconds, const std::optional<platform::Text>& title);
  void ShowProgressFor(const platform::Text& program_file);
  void CloseProgressWindow();
  [[noreturn]] void ChecksPassed(const platform::Text& first_installer);
  platform::Text ResultLine(Long run_status, bool installer_failed, Long status) const;

  platform::Platform& inner_;
  RunLog log_;
  Switches switches_;
  std::vector<Installer> installers_;
  std::vector<std::pair<Long, Long>> wait_handles_;  // handle, process id
  bool windows_logged_ = false;
  bool desktop_visible_ = true;
  bool progress_shown_ = false;
  // What the result line tells.
  bool checks_passed_ = false;
  bool reported_ = false;  // the version report was printed
  platform::Text trk_version_;
  platform::Text windows_name_;
  bool restart_refused_ = false;
};

}  // namespace deployment
