// The platform realised on a simulated machine: answers every call from the
// Machine, behaves as Windows does where the logic relies on it, and records
// each call as a trace event together with what a person would have seen.
// One object serves both doors: simulated_platform.cpp (version information,
// registry, the trace's bookkeeping) and simulated_system.cpp (kernel32,
// security, restart, interactive services) the sequence's (Platform),
// simulated_services.cpp and simulated_files.cpp the deployment layer's
// (DeploymentServices); the trace's events are trace.h's.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/deployment_services.h"
#include "platform/platform.h"
#include "platform/simulated/machine.h"
#include "platform/simulated/trace.h"

namespace sim {

// A scripted run went off its script: a box offered a choice no answer was
// scripted for, or an answer does not name one of the box's buttons. Not a
// std::exception: nothing in the program under test may catch it.
class ScriptError {
 public:
  explicit ScriptError(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept { return message_.c_str(); }

 private:
  std::string message_;
};

struct BoxShown {
  Text title;  // the default title when the program gave none
  Text text;
  Long style = 0;
  Long answer = 0;  // code of the button that closed it
  bool operator==(const BoxShown&) const = default;
};

struct ProgramStarted {
  Text command_line;  // exactly as the program passed it
  Text application;   // the file that ran
  Text arguments;
  Long window_style = 0;
  Long process_id = 0;
  bool operator==(const ProgramStarted&) const = default;
};

struct RestartRequest {
  Long flags = 0;
  Long reason = 0;
  bool privilege_enabled = false;  // shutdown privilege on at the time
  bool accepted = false;
  bool operator==(const RestartRequest&) const = default;
};

// The restart countdown as it was shown and how it ended: kIdOk (Riavvia
// ora), kIdCancel (Annulla) or kIdTimeout (the time ran out).
struct CountdownShown {
  Text title;
  Text text;  // the prompt, "{}" standing for the seconds left
  Long seconds = 0;
  Long answer = 0;
  bool operator==(const CountdownShown&) const = default;
};

// What the progress window showed; a closed window shows nothing.
struct ProgressShown {
  Text caption;
  Text heading;
  Text step;
  bool closed = false;
  bool operator==(const ProgressShown&) const = default;
};

// What a person or the machine would notice, in the order it happened; each
// entry points into the list of its kind.
enum class Happening { kBox, kStarted, kPrinted, kRestart, kCountdown, kProgress };

// Everything the platform saw, in order.
struct Observations {
  std::vector<std::pair<Happening, std::size_t>> order;
  std::vector<TraceEvent> trace;
  std::vector<BoxShown> boxes;
  std::vector<ProgramStarted> started;
  std::vector<Text> printed;
  std::vector<CountdownShown> countdowns;
  std::vector<ProgressShown> progress;
  Long slept_ms = 0;  // by Sleep, in all
  std::optional<RestartRequest> restart;
  bool unloaded = false;
  std::optional<Long> exit_code;  // set by End
  // What the program appended to each file during the run (its log).
  std::map<Text, std::string, CaseInsensitiveLess> written;
  // Handles still open when the program ended: program handles the start
  // kept, process, token, key and file handles.
  std::size_t handles_open_at_end = 0;
};

inline constexpr char16_t kDefaultTitle[] = u"Hotfix";

class SimulatedPlatform final : public platform::Platform, public platform::DeploymentServices {
 public:
  explicit SimulatedPlatform(Machine& machine);

  const Observations& observations() const { return seen_; }
  const Machine& machine() const { return machine_; }
  // Answers scripted but not used; a finished run should have none.
  std::size_t unused_answers() const { return machine_.answers.size(); }

  // Platform
  platform::AnsiString ToAnsi(std::u16string_view text) const override;
  Text FromAnsi(std::string_view ansi) const override;

  Long GetFileVersionInfoSizeA(const platform::AnsiString& lptstrFilename,
                               Long& lpdwHandle) override;
  Long GetFileVersionInfoA(const platform::AnsiString& lptstrFilename, Long dwHandle,
                           Long dwLen, std::uint8_t* lpData) override;
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

  Long MsgBox(const Text& prompt, Long buttons, const std::optional<Text>& title) override;
  double Shell(const Text& pathName, Long windowStyle, platform::ProgramName program) override;
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
  platform::SYSTEMTIME GetLocalTime() override;
  Long OpenFileForAppend(const Text& path, Long& lpFileSize, Long& lpError) override;
  Long WriteFile(Long hFile, std::string_view bytes) override;
  Long GetFileType(Long hFile) override;
  Long GetFileInformationByHandle(Long hFile, platform::FileInformation& lpFileInformation) override;
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
  struct OpenKey {
    Long root;
    Text path;
    Long access;
  };
  struct Process {
    ProgramBehaviour behaviour;
    int opens = 0;
    Long kept_handle = 0;  // the program start's handle, while kept
    bool unrelated = false;  // a program given a freed identifier
    bool running() const { return opens < behaviour.lifetime; }
  };
  struct OpenedProcess {
    Long process_id;
    bool running;  // as found when it was opened
  };

  // Counts a Windows call; true when this is the call chosen to fail.
  bool FailsNow();
  void Record(std::string call, std::vector<std::string> args, std::string result);
  std::string QuoteAnsi(const platform::AnsiString& ansi) const;
  Long NewHandle();
  Long OpenKeyCommon(const char* call, Long hKey, const platform::AnsiString& sub_key,
                     Long access, bool explicit_access, Long& result);
  const RegistryKey* KeyFor(Long hKey, Long& access) const;
  Long QueryValue(Long hKey, const platform::AnsiString& name, Long& type,
                  std::uint8_t* data, Long& size);

  Machine& machine_;
  Observations seen_;
  int calls_ = 0;
  Long next_handle_ = 0x100;
  Long next_process_id_ = 0x5A0;
  std::map<Long, OpenKey> keys_;
  std::map<Long, Process> processes_;
  std::map<Long, OpenedProcess> process_handles_;
  Long mutex_ = 0;
  int writes_ = 0;  // WriteFile calls so far  // the program's mutex; Windows closes it at the end
  bool ObjectHeld(Long process_id, const Process& process) const;
  void ReuseFreedIdentifier(Long process_id, Process& process);

  bool progress_open_ = false;
  std::map<Long, bool> tokens_;  // handle -> open
  std::map<Long, Text> files_;   // open file handle -> path ("" for a device)
  std::map<Long, std::size_t> read_at_;  // a read handle's position in the file
  PathKind KindOf(const Text& full_path) const;
  Text CurrentFolder() const;
  bool shutdown_privilege_enabled_ = false;
  std::map<const std::uint8_t*, Long> version_blocks_;  // filled buffers, their sizes
};

}  // namespace sim
