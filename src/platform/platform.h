// The one door to Windows for the hotfix sequence. Every Windows call and
// interactive service the sequence makes is one method here, named after the
// call, in the order of the list of platform operations; the logic never sees
// anything else. Last come the three that the sequence's procedures need
// beyond that list. What only the deployment layer and the program's start
// use is a door of its own (deployment_services.h). Realisations: win32/ (the
// real API) and simulated/ (a machine model that records every call).
//
// Conventions shared by all methods:
// - Numbers are 32-bit; handles are 32-bit values (the Win32 side sign-extends
//   them on 64-bit Windows, as Windows itself guarantees handles fit 32 bits).
// - Text arguments of the Windows calls are ANSI code-page bytes, exactly as
//   the "A" forms take them; AnsiArg below marshals a caller's text variable.
// - Out-parameters are written only on success unless a method says otherwise.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "platform/text.h"
#include "platform/win_types.h"

namespace platform {

// Which part of an unquoted command line names the program file.
enum class ProgramName {
  // The whole line is the program's path (the installers: folder and file
  // name). A missing file is "File not found", never a shorter path.
  kWholeLine,
  // The longest leading part, ending at a blank, that is an existing file;
  // the rest are its arguments (the product's "/Uninstall" line).
  kLeadingPart,
};

class Platform {
 public:
  virtual ~Platform() = default;

  // ---- version.dll ----------------------------------------------------------
  // Size of the file's version information, or 0 when the file is missing or
  // has none. *lpdwHandle is set to 0.
  virtual Long GetFileVersionInfoSizeA(const AnsiString& lptstrFilename,
                                       Long& lpdwHandle) = 0;
  // Copies up to dwLen bytes of version information into lpData (which holds
  // at least dwLen bytes). Non-zero on success; 0 leaves lpData as it was.
  virtual Long GetFileVersionInfoA(const AnsiString& lptstrFilename,
                                   Long dwHandle, Long dwLen,
                                   std::uint8_t* lpData) = 0;
  // Looks up a sub-block of a block that GetFileVersionInfoA filled. Non-zero
  // on success with lplpBuffer pointing into pBlock and puLen its length;
  // 0 on failure, out-parameters untouched.
  virtual Long VerQueryValueA(const std::uint8_t* pBlock,
                              const AnsiString& lpSubBlock,
                              const std::uint8_t*& lplpBuffer,
                              Long& puLen) = 0;
  // Copies Length bytes; the caller guarantees both ranges are valid.
  virtual void RtlMoveMemory(void* Destination, const void* Source,
                             Long Length) = 0;

  // ---- advapi32: registry -------------------------------------------------
  // Opens hKey\lpSubKey with the access mask samDesired. 0 on success with
  // phkResult set; a Windows error status otherwise (2 no such key, 5 access
  // denied, 6 invalid handle), phkResult untouched.
  virtual Long RegOpenKeyExA(Long hKey, const AnsiString& lpSubKey,
                             Long ulOptions, Long samDesired,
                             Long& phkResult) = 0;
  // Reads a value. lpData null: size query, lpType and lpcbData receive the
  // type and the stored size. lpData non-null: up to lpcbData bytes are
  // copied; on success lpcbData becomes the bytes stored; when the buffer is
  // too small the status is 234, lpcbData the size needed and lpData is not
  // written. Other statuses: 2 no such value, 6 invalid handle.
  virtual Long RegQueryValueExA(Long hKey, const AnsiString& lpValueName,
                                Long lpReserved, Long& lpType,
                                std::uint8_t* lpData, Long& lpcbData) = 0;
  // The old form: opens with the default (read-capable) access. Same results.
  virtual Long RegOpenKeyA(Long hKey, const AnsiString& lpSubKey,
                           Long& phkResult) = 0;
  // Closes a key; 6 for a handle that is not open (0 included).
  virtual Long RegCloseKey(Long hKey) = 0;

  // ---- kernel32 -------------------------------------------------------------
  // Fills the record when dwOSVersionInfoSize is 148; non-zero on success,
  // 0 on failure with the record untouched.
  virtual Long GetVersionExA(OSVERSIONINFOA& lpVersionInformation) = 0;
  // A handle to the process, or 0 when it cannot be opened (no such process,
  // access refused).
  virtual Long OpenProcess(Long dwDesiredAccess, Long bInheritHandle,
                           Long dwProcessId) = 0;
  // Non-zero on success; 0 for a handle that is not open.
  virtual Long CloseHandle(Long hObject) = 0;
  // The pseudo-handle of the own process (-1); cannot fail.
  virtual Long GetCurrentProcess() = 0;

  // ---- advapi32: security -------------------------------------------------
  // Non-zero with TokenHandle set on success; 0 on failure, TokenHandle
  // untouched.
  virtual Long OpenProcessToken(Long ProcessHandle, Long DesiredAccess,
                                Long& TokenHandle) = 0;
  // lpSystemName empty means the local system. Non-zero with lpLuid set on
  // success; 0 for an unknown privilege name, lpLuid untouched.
  virtual Long LookupPrivilegeValueA(const AnsiString& lpSystemName,
                                     const AnsiString& lpName,
                                     LUID& lpLuid) = 0;
  // Non-zero on success (even when not every privilege was assigned);
  // 0 for a bad token. PreviousState and ReturnLength are filled on success.
  virtual Long AdjustTokenPrivileges(Long TokenHandle,
                                     Long DisableAllPrivileges,
                                     const TOKEN_PRIVILEGES& NewState,
                                     Long BufferLength,
                                     TOKEN_PRIVILEGES& PreviousState,
                                     Long& ReturnLength) = 0;

  // ---- user32 ---------------------------------------------------------------
  // Requests the shutdown; non-zero when Windows accepted the request.
  virtual Long ExitWindowsEx(Long uFlags, Long dwReason) = 0;

  // ---- interactive services -----------------------------------------------
  // Modal message box; returns the code of the button that closed it. No
  // title means the program's default title.
  virtual Long MsgBox(const Text& prompt, Long buttons,
                      const std::optional<Text>& title) = 0;
  // Starts the command line with the window style and returns at once with
  // the new process's identifier. `program` says which part of the line is
  // the program file; the line itself reaches the program unchanged. Throws
  // RuntimeFailure (53 "File not found" when no program file is named) when
  // the program cannot be started.
  virtual double Shell(const Text& pathName, Long windowStyle, ProgramName program) = 0;
  // Handles the window messages that are pending, then yields the rest of
  // the time slice.
  virtual void DoEvents() = 0;
  // The folder holding the program file, without a trailing separator.
  virtual Text AppPath() = 0;
  // Writes one line of text on the (hidden) window.
  virtual void Print(const Text& line) = 0;
  // Unloads the window; no code of the program runs as a result.
  virtual void Unload() = 0;
  // Ends the program at once with the exit status. Never returns: a
  // realisation whose DoEnd came back would be broken, so that aborts.
  [[noreturn]] void End(Long exitCode) {
    DoEnd(exitCode);
    std::abort();
  }

  // ---- beyond the list: what the sequence's procedures need as well -------
  // The "A" calls take ANSI bytes, and a caller's text variable holds the
  // text converted back after the call (AnsiArg): the code page is the
  // machine's, so its realisation converts.
  // Text -> ANSI bytes; characters the code page lacks become '?'.
  virtual AnsiString ToAnsi(std::u16string_view text) const = 0;
  // ANSI bytes -> text; never fails, embedded NULs are kept.
  virtual Text FromAnsi(std::string_view ansi) const = 0;

  // The wait for an installer asks whether the process it opened has ended:
  // a process object outlives its process while another program holds it
  // open, so OpenProcess alone would wait for such an installer forever.
  // 0 (signalled: the process has ended), 258 (time-out: still running) or
  // 0xFFFFFFFF (failed, for instance an invalid handle).
  virtual Long WaitForSingleObject(Long hHandle, Long dwMilliseconds) = 0;

 protected:
  // Realises End: exits the process, or unwinds to the host. Must not return.
  virtual void DoEnd(Long exitCode) = 0;
};

// Marshals a caller's text variable for one "A" call: the variable goes out
// as ANSI bytes and, when the marshaller goes out of scope, holds the text
// converted back from those bytes (which is how a buffer the call filled
// reaches the caller, and how unrepresentable characters get lost).
class AnsiArg {
 public:
  AnsiArg(const Platform& platform, Text& variable)
      : platform_(platform), variable_(variable),
        bytes_(platform.ToAnsi(variable)) {}
  ~AnsiArg() { variable_ = platform_.FromAnsi(bytes_); }
  AnsiArg(const AnsiArg&) = delete;
  AnsiArg& operator=(const AnsiArg&) = delete;

  AnsiString& bytes() { return bytes_; }
  std::uint8_t* data() { return reinterpret_cast<std::uint8_t*>(bytes_.data()); }
  Long size() const { return static_cast<Long>(bytes_.size()); }

 private:
  const Platform& platform_;
  Text& variable_;
  AnsiString bytes_;
};

}  // namespace platform
