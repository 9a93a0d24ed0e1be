#include "deployment/deployment_layer.h"

#include <algorithm>

#include "deployment/exit_status.h"
#include "deployment/layer_common.h"
#include "platform/buttons.h"
#include "platform/failure.h"

namespace deployment {
namespace {

// The progress window: for the person at the machine, Italian like the
// restart question.
constexpr char kProgressHeading[] = "Installazione dell'aggiornamento CR40517 in corso. Attendere.";
// The longest one sleep of the wait lasts: a bound in case a wake-up is lost.
constexpr Long kWaitSliceMs = 1000;
// The fix runs two installers, one after the other.
constexpr std::size_t kInstallerCount = 2;

Text ExitCodeText(Long code) {
  return Concat({"exit code ", Decimal(static_cast<std::uint32_t>(code)),
                 InstallerSucceeded(code) ? Part(" (success)") : Part(" (failure)")});
}

}  // namespace

double DeploymentLayer::Shell(const Text& pathName, Long windowStyle,
                              platform::ProgramName program) {
  if (!installers_checked_) CheckInstallers(pathName);
  if (switches_.check) ChecksPassed(pathName);
  double id = 0;
  try {
    id = inner().Shell(pathName, windowStyle, program);
  } catch (const platform::RuntimeFailure& failure) {
    log_.Write(Concat({"Program not started: ", pathName, ": run-time error ",
                       Decimal(failure.number()), ", ", failure.description()}));
    throw;
  }
  const Long process_id = id >= 0 && id <= 2147483647.0 ? static_cast<Long>(id) : 0;
  installers_.push_back({process_id, pathName, false, std::nullopt});
  const Text program_file = services_.StartedProgramFile(process_id);
  log_.Write(Concat({"Installer started: ", pathName, " (program file ", program_file,
                     ", process ", Decimal(process_id), ")"}));
  if (switches_.passive) ShowProgressFor(program_file);
  return id;
}

// /check: the first installer is where the checks end, all passed.
void DeploymentLayer::ChecksPassed(const Text& first_installer) {
  checks_passed_ = true;
  log_.Write(Concat({"Check passed; not started: ", first_installer}));
  MsgBox(Concat({"The fix CR40517 applies to this computer.\r\n\r\nNothing was installed (/check)."}),
         platform::kMbIconInformation, Text(kTitle));
  End(kExitChecksPassed);
}

// Which installer of the two runs: the installers report no progress, so
// the bar shows only activity.
void DeploymentLayer::ShowProgressFor(const Text& program_file) {
  if (!desktop_visible_ || installers_.size() > kInstallerCount) return;
  const std::size_t slash = program_file.find_last_of(u'\\');
  const Text step = Concat({installers_.size() == 1 ? Part("Passo 1 di 2: ") : Part("Passo 2 di 2: "),
                            std::u16string_view(program_file).substr(slash + 1)});
  progress_shown_ = services_.ShowProgress(kTitle, Concat({kProgressHeading}), step) != 0;
  log_.Write(Concat({progress_shown_ ? Part("Progress window shows: ") : Part("Progress window failed: "), step}));
}

void DeploymentLayer::CloseProgressWindow() {
  if (!progress_shown_) return;
  progress_shown_ = false;
  services_.CloseProgress();
  log_.Write(u"Progress window closed");
}

DeploymentLayer::Installer* DeploymentLayer::Waiting(Long process_id) {
  for (auto& installer : installers_)
    if (installer.process_id == process_id && !installer.ended) return &installer;
  return nullptr;
}

// The wait has seen the installer end: its exit code is read now, through
// the handle the platform kept since the start.
void DeploymentLayer::Ended(Installer& installer) {
  installer.ended = true;
  CloseHeldInstaller(static_cast<std::size_t>(&installer - installers_.data()));
  Long code = 0;
  const bool known = services_.GetExitCodeProcess(installer.process_id, code) != 0;
  if (known && code != platform::kStillActive) {
    installer.exit_code = code;
    log_.Write(Concat({"Installer ended: ", installer.command_line, ", ", ExitCodeText(code)}));
  } else if (known) {
    log_.Write(Concat({"Installer no longer waited for: ", installer.command_line,
                       " still runs but cannot be opened to wait for it; exit code unknown"}));
  } else {
    log_.Write(Concat({"Installer ended: ", installer.command_line, ", exit code unknown"}));
  }
  if (installers_.size() >= kInstallerCount &&
      std::all_of(installers_.begin(), installers_.end(), [](const Installer& i) { return i.ended; }))
    CloseProgressWindow();
}

Long DeploymentLayer::OpenProcess(Long dwDesiredAccess, Long bInheritHandle, Long dwProcessId) {
  const Long handle = inner().OpenProcess(dwDesiredAccess, bInheritHandle, dwProcessId);
  if (Installer* installer = Waiting(dwProcessId)) {
    if (handle == 0) Ended(*installer);
    else wait_handles_.emplace_back(handle, dwProcessId);
  }
  return handle;
}

Long DeploymentLayer::WaitForSingleObject(Long hHandle, Long dwMilliseconds) {
  const Long result = inner().WaitForSingleObject(hHandle, dwMilliseconds);
  if (result == platform::kWaitObject0)
    for (const auto& [handle, process_id] : wait_handles_)
      if (handle == hHandle)
        if (Installer* installer = Waiting(process_id)) Ended(*installer);
  return result;
}

Long DeploymentLayer::CloseHandle(Long hObject) {
  std::erase_if(wait_handles_, [&](const auto& entry) { return entry.first == hObject; });
  return inner().CloseHandle(hObject);
}

// Under any switch, each pass of the wait sleeps until the installer ends or
// a message arrives (the progress window's, for one): polling without a
// pause would take a single processor's time from the installer itself.
void DeploymentLayer::DoEvents() {
  inner().DoEvents();
  if (!switches_.any()) return;
  for (const auto& installer : installers_)
    if (!installer.ended) {
      services_.WaitForStartedProgramOrMessage(installer.process_id, kWaitSliceMs);
      return;
    }
}

}  // namespace deployment
