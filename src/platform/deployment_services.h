// The second door: the services that only the deployment layer and the
// program's start use, beside the hotfix sequence (the installers' exit
// codes, the command line, the clock, the log file, the single-instance
// mutex, the window station, the progress window, the restart countdown, the
// sleeping wait, the names of the computer and the account). The sequence
// never sees it; its calls go through Platform (platform.h). Each
// realisation (win32/, simulated/) serves both doors.
//
// The conventions of platform.h hold: 32-bit numbers and handles (a handle
// from here is closed with Platform::CloseHandle), out-parameters written
// only on success unless a method says otherwise.
#pragma once

#include <cstdint>
#include <string_view>

#include "payload/pinned.h"
#include "platform/text.h"
#include "platform/win_types.h"

namespace platform {

// What GetFileInformationByHandle gives that the log's checks read.
struct FileInformation {
  std::uint32_t dwFileAttributes = 0;
  std::uint32_t nNumberOfLinks = 0;
};
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeReparsePoint = 0x400;
inline constexpr Long kInvalidFileAttributes = static_cast<Long>(0xFFFFFFFFu);
inline constexpr Long kFileTypeDisk = 1;
inline constexpr Long kFileTypeChar = 2;
inline constexpr Long kFileTypePipe = 3;
inline constexpr Long kWsfVisible = 1;  // USEROBJECTFLAGS of a window station
inline constexpr Long kErrorAlreadyExists = 183;

class DeploymentServices {
 public:
  // ---- the installers the program start ran --------------------------------
  // Shell keeps each started program's process handle until
  // CloseStartedPrograms: while a handle is held, Windows gives the program's
  // identifier to no other process, so a wait by identifier cannot end up
  // waiting for an unrelated program.
  //
  // The exit code of the program Shell started with this identifier, read
  // through the kept handle. Non-zero on success with lpExitCode set (259,
  // STILL_ACTIVE, while it runs); 0 when no handle is kept for it or the
  // query fails, lpExitCode untouched.
  virtual Long GetExitCodeProcess(Long dwProcessId, Long& lpExitCode) = 0;
  // Closes every handle Shell kept. Cannot fail.
  virtual void CloseStartedPrograms() = 0;
  // The program file Shell ran for this identifier; empty when Shell started
  // no program with it.
  virtual Text StartedProgramFile(Long dwProcessId) = 0;
  // The installers' record this program file carries (payload/pinned.h).
  virtual const payload::PinnedInstallers& ShippedInstallers() = 0;
  // Opens an existing file for reading, shared for reading only: while the
  // handle is open nobody can write, rename, replace or delete the file. A
  // reparse point is opened itself, not what it points to. A non-zero handle
  // (closed with CloseHandle) on success; 0 with lpError the Windows error
  // (2 or 3 missing, 5 access denied or a folder, 32 in use for writing).
  virtual Long OpenFileForReading(const Text& path, Long& lpError) = 0;
  // Reads up to nNumberOfBytesToRead bytes at the file's position into
  // lpBuffer. Non-zero with lpNumberOfBytesRead set (0 at the end of the
  // file) on success; 0 on failure.
  virtual Long ReadFile(Long hFile, std::uint8_t* lpBuffer, Long nNumberOfBytesToRead,
                        Long& lpNumberOfBytesRead) = 0;
  // ---- the run: command line, clock, names --------------------------------
  // The command line the program was started with, program name included.
  virtual Text GetCommandLine() = 0;
  // The local date and time.
  virtual SYSTEMTIME GetLocalTime() = 0;
  // The computer's name, and the name of the account the program runs as;
  // empty when Windows does not give it.
  virtual Text GetComputerNameW() = 0;
  virtual Text GetUserNameW() = 0;
  // ---- the log file ---------------------------------------------------------
  // Opens the file for appending and reading its attributes, creating it
  // when missing. A reparse point is opened itself, not what it points to,
  // and a device name opens the device. A non-zero handle (closed with
  // CloseHandle) on success, lpFileSize set to the bytes it held; 0 on
  // failure with lpError the Windows error (3 no such folder, 5 access denied
  // or a folder, 32 in use, 123 a bad name).
  virtual Long OpenFileForAppend(const Text& path, Long& lpFileSize, Long& lpError) = 0;
  // Appends the bytes at the end of the file. Non-zero when all were written.
  virtual Long WriteFile(Long hFile, std::string_view bytes) = 0;
  // kFileTypeDisk for a file, kFileTypeChar for a device such as NUL or COM1,
  // kFileTypePipe, or 0 when unknown.
  virtual Long GetFileType(Long hFile) = 0;
  // Non-zero with lpFileInformation set for a file on disk; 0 otherwise
  // (a device), lpFileInformation untouched.
  virtual Long GetFileInformationByHandle(Long hFile, FileInformation& lpFileInformation) = 0;
  // The attributes of the file or folder by name, or kInvalidFileAttributes.
  virtual Long GetFileAttributesW(const Text& lpFileName) = 0;
  // The full path of a name, relative ones taken from the current folder.
  // Non-zero with lpBuffer set on success; 0 with lpBuffer untouched.
  virtual Long GetFullPathNameW(const Text& lpFileName, Text& lpBuffer) = 0;
  // The current folder of the process.
  virtual Text GetCurrentDirectoryW() = 0;
  // ---- one copy at a time, and whether anyone can see it -------------------
  // Creates the named mutex, unowned, or opens it when it exists. A handle,
  // which lives until the process ends, with lpError 0 when it was created
  // and 183 (ERROR_ALREADY_EXISTS) when it already existed; 0 on failure
  // with lpError the Windows error (5 when another account's mutex refuses
  // this one, 161 or 123 where the name's namespace is unknown).
  virtual Long CreateMutexW(const Text& lpName, Long& lpError) = 0;
  // The UOI_FLAGS of the process's window station: kWsfVisible is set when
  // it has a visible desktop. Non-zero on success with lpFlags set.
  virtual Long GetProcessWindowStationFlags(Long& lpFlags) = 0;

  // ---- windows of the deployment switches ----------------------------------
  // Shows the progress window, or changes its lines when it is shown: a
  // small window of the program's own, above the others, with a caption, a
  // heading, the step and a bar that shows activity without a fraction. It
  // has no Cancel and closes only through CloseProgress. It stays responsive
  // while messages are processed (DoEvents). Non-zero when it is on the
  // screen; 0 when it cannot be created.
  virtual Long ShowProgress(const Text& caption, const Text& heading, const Text& step) = 0;
  // Closes the progress window; nothing when none is shown.
  virtual void CloseProgress() = 0;
  // The restart countdown: a modal dialog box (class #32770) with the title,
  // the prompt, in which "{}" stands for the seconds left and is redrawn as
  // they pass, and two buttons, kIdOk and kIdCancel, with these labels.
  // Returns kIdOk or kIdCancel as pressed (closing the box is kIdCancel), or
  // kIdTimeout when the seconds ran out unanswered; at once when seconds is
  // 0, showing nothing. 0 when the box cannot be created.
  virtual Long RestartCountdown(const Text& title, const Text& prompt, Long seconds,
                                const Text& ok_label, const Text& cancel_label) = 0;
  // ---- the sleeping wait -----------------------------------------------------
  // Sleeps until the program Shell started with this identifier ends, a
  // window message arrives for this thread, or dwMilliseconds pass. kWaitObject0
  // when it has ended; kWaitTimeout otherwise (a message, the time, or no
  // handle kept for it, at once).
  virtual Long WaitForStartedProgramOrMessage(Long dwProcessId, Long dwMilliseconds) = 0;
  // Lets dwMilliseconds pass.
  virtual void Sleep(Long dwMilliseconds) = 0;

 protected:
  // Nobody owns a realisation through this door (each is a Platform too),
  // so it needs no virtual destructor: two entries and two thunks fewer.
  ~DeploymentServices() = default;
};

}  // namespace platform
