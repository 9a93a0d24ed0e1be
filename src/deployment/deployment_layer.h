// The layer between the hotfix sequence and the platform that serves the
// administrator: it reads the switches, answers or shows the boxes, writes
// the log, and makes the exit status tell how the installers ended. The
// sequence calls it as it calls any platform; what the layer does not
// override is passed on unchanged (ForwardingPlatform). Without arguments it
// adds only the exit status: everything shown, started and asked is the
// platform's own.
//
// Where each concern lives:
//   layer_start.cpp       the start: desktop, switches, log, single-instance mutex
//   layer_boxes.cpp       the boxes, and the restart policy of the switches
//   layer_installers.cpp  the program start, the wait, the progress window
//   layer_pinned.cpp      a pinned build's check of the installer files
//   layer_end.cpp         the end: the exit status, the log's record of the run
#pragma once

#include <optional>
#include <vector>

#include "deployment/run_log.h"
#include "deployment/switches.h"
#include "platform/deployment_services.h"
#include "platform/forwarding_platform.h"

namespace deployment {

using platform::Long;

class DeploymentLayer final : public platform::ForwardingPlatform {
 public:
  DeploymentLayer(platform::Platform& inner, platform::DeploymentServices& services)
      : ForwardingPlatform(inner), services_(services), log_(inner, services) {}

  // Reads the command line, opens the log and takes the single-instance
  // mutex. Ends the program (End) when the line asks for the list of
  // switches (0), is invalid (87), names a log that cannot be opened or is
  // refused (1622), or another copy holds the mutex (1618), having shown why
  // unless /quiet or no desktop is visible; otherwise returns and the run
  // goes on.
  void Begin();
  const Switches& switches() const { return switches_; }

  // The boxes: shown, or answered by the switches, and logged.
  Long MsgBox(const platform::Text& prompt, Long buttons,
              const std::optional<platform::Text>& title) override;
  // The restart: logged, and remembered for the result line.
  Long ExitWindowsEx(Long uFlags, Long dwReason) override;

  // The program start and the wait: each installer logged with how it ended.
  double Shell(const platform::Text& pathName, Long windowStyle,
               platform::ProgramName program) override;
  void DoEvents() override;
  Long OpenProcess(Long dwDesiredAccess, Long bInheritHandle, Long dwProcessId) override;
  Long WaitForSingleObject(Long hHandle, Long dwMilliseconds) override;
  Long CloseHandle(Long hObject) override;

  // What the log records of the checks: Windows and the version report.
  Long GetVersionExA(platform::OSVERSIONINFOA& lpVersionInformation) override;
  void Print(const platform::Text& line) override;

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
  void LogPinnedInstallers();
  void CheckInstallers(const platform::Text& first_installer);
  void CloseHeldInstaller(std::size_t index);
  platform::Text ResultLine(Long run_status, bool installer_failed, Long status) const;

  platform::DeploymentServices& services_;
  RunLog log_;
  Switches switches_;
  std::vector<Installer> installers_;
  std::vector<std::pair<Long, Long>> wait_handles_;  // handle, process id
  // A pinned build's installer files, held open from their check until
  // their installer has ended; in the order they start.
  Long held_installers_[payload::kPinnedInstallers] = {};
  bool installers_checked_ = false;
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
