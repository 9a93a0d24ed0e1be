#include "deployment/deployment_layer.h"

#include "deployment/exit_status.h"
#include "deployment/layer_common.h"
#include "system/os_version.h"

namespace deployment {

Long DeploymentLayer::GetVersionExA(platform::OSVERSIONINFOA& lpVersionInformation) {
  const Long ok = inner().GetVersionExA(lpVersionInformation);
  if (!windows_logged_) {
    windows_logged_ = true;
    const auto& v = lpVersionInformation;
    windows_name_ = sys::OsName(v);
    if (ok)
      log_.Write(Concat({"Windows: \"", windows_name_, "\" (version ", Decimal(v.dwMajorVersion),
                         ".", Decimal(v.dwMinorVersion), ", build ",
                         Decimal(v.dwBuildNumber & 0xFFFF), ")"}));
    else
      log_.Write(Concat({"Windows: \"", windows_name_, "\" (the version query failed)"}));
  }
  return ok;
}

void DeploymentLayer::Print(const Text& line) {
  inner().Print(line);
  log_.Write(Concat({"Report: ", line}));
  reported_ = true;
  constexpr std::u16string_view kFileVersion = u"File version: ";
  if (line.starts_with(kFileVersion)) trk_version_ = line.substr(kFileVersion.size());
}

// The first installer that failed gives its exit code: deployment tools must
// not read success where an installer did not do its work.
const DeploymentLayer::Installer* DeploymentLayer::FailedInstaller() const {
  for (const auto& installer : installers_)
    if (installer.exit_code && !InstallerSucceeded(*installer.exit_code)) return &installer;
  return nullptr;
}

// The log's last line, one fixed form for a program to read (the fleet
// report): what came of the run and why. An installer's code can equal one
// of the program's own, so the verdict is said, not left to the status.
Text DeploymentLayer::ResultLine(Long run_status, bool installer_failed, Long status) const {
  const char* verdict = "failed";
  const char* reason = "run-time-error";
  if (checks_passed_) {
    verdict = "applies", reason = "checks-passed";
  } else if (run_status == kExitNotApplicable) {
    verdict = "not-applicable", reason = "not-windows-xp";
    if (trk_version_ != u"3.3.1000.0") reason = "trk-version";
    if (!reported_) reason = "firewall-not-installed";
  } else if (run_status == kExitAlreadyRunning) {
    verdict = "busy", reason = "another-copy";
  } else if (run_status == kExitPayloadMismatch) {
    reason = "payload-mismatch";
  } else if (installer_failed) {
    reason = "installer-failed";
  } else if (run_status == kExitRestartInitiated || run_status == kExitRestartRequired) {
    verdict = "installed", reason = "restart-declined";
    if (restart_refused_) reason = "restart-refused";
    if (run_status == kExitRestartInitiated) reason = "restart-requested";
  }
  return Concat({"Result: verdict=", Part(verdict), "; reason=", Part(reason),
                 "; windows=", windows_name_, "; trk_version=", trk_version_, "; exit_status=",
                 Decimal(static_cast<std::uint32_t>(status))});
}

void DeploymentLayer::DoEnd(Long exitCode) {
  for (auto& installer : installers_)
    if (!installer.ended) Ended(installer);
  CloseProgressWindow();
  for (std::size_t i = 0; i < payload::kPinnedInstallers; ++i) CloseHeldInstaller(i);
  const Installer* failed = FailedInstaller();
  const Long status = failed ? *failed->exit_code : exitCode;
  if (failed)
    log_.Write(Concat({"The run itself ended with ", Decimal(exitCode), " (",
                       ExitStatusMeaning(exitCode),
                       "); an installer failed, so its exit code is reported"}));
  // An installer's code may equal one of Hotfix.exe's own (1642, 1603, ...):
  // the line names whose it is.
  if (failed)
    log_.Write(Concat({"Exit status ", Decimal(static_cast<std::uint32_t>(status)),
                       ": the exit code of the installer ", failed->command_line,
                       ", which failed"}));
  else
    log_.Write(Concat({"Exit status ", Decimal(static_cast<std::uint32_t>(status)), ": ",
                       checks_passed_ ? Concat({"the fix applies, nothing was started"})
                                      : ExitStatusMeaning(status)}));
  if (windows_name_.empty() && log_.is_open()) {
    // The run ended before it asked (the checks before Windows' failed, or
    // another copy runs): the result line names Windows all the same.
    platform::OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(version);  // logged, and kept as a run's own query is
  }
  log_.Write(ResultLine(exitCode, failed != nullptr, status));
  services_.CloseStartedPrograms();
  log_.Close();
  inner().End(status);
}

}  // namespace deployment
