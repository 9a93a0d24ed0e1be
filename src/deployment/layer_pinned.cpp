// A pinned build starts only the installers it was built with: both files
// are checked where the first installer would start, and each stays held
// open until its installer has ended.
#include "deployment/deployment_layer.h"

#include "deployment/exit_status.h"
#include "deployment/layer_common.h"
#include "deployment/payload_check.h"
#include "platform/buttons.h"

namespace deployment {
namespace {

// For the person at the machine, Italian like the restart question; laid
// out as the box of a second copy.
constexpr platform::Latin1 kPayloadMismatch{
    "I file dell'aggiornamento CR40517 accanto a Hotfix.exe sono danneggiati o non sono "
    "quelli originali. Nessuna modifica \xE8 stata apportata al computer.\r\n\r\n"
    "Rivolgersi all'amministratore del sistema."};

}  // namespace

// Every log says which kind of build wrote it; a pinned build's lines of
// the check name the sizes and SHA-256 it expects.
void DeploymentLayer::LogPinnedInstallers() {
  log_.Write(Concat({services_.ShippedInstallers().pinned ? Part("Payload: installers pinned")
                                                          : Part("Payload: installers not pinned")}));
}

void DeploymentLayer::CheckInstallers(const Text& first_installer) {
  installers_checked_ = true;
  const payload::PinnedInstallers& pinned = services_.ShippedInstallers();
  if (!pinned.pinned) return;
  bool all_match = true;
  Text path = first_installer;
  for (std::size_t i = 0; i < payload::kPinnedInstallers; ++i) {
    // The second installer stands in the first one's folder, as the
    // program names it.
    if (i == 1) path = Concat({std::u16string_view(path).substr(0, path.find_last_of(u'\\') + 1), "40517-2.exe"});
    const InstallerCheck check = CheckInstaller(services_, path, pinned.files[i]);
    held_installers_[i] = check.handle;
    all_match = all_match && check.matches;
    log_.Write(Concat({"Payload: ", path, ": ", check.finding}));
  }
  if (all_match) return;
  for (std::size_t i = 0; i < payload::kPinnedInstallers; ++i) CloseHeldInstaller(i);
  log_.Write(Concat({"Payload: nothing was started"}));
  MsgBox(Concat({kPayloadMismatch}), platform::kMbIconHand, Text(kTitle));
  End(kExitPayloadMismatch);
}

void DeploymentLayer::CloseHeldInstaller(std::size_t index) {
  if (index >= payload::kPinnedInstallers || held_installers_[index] == 0) return;
  inner().CloseHandle(held_installers_[index]);
  held_installers_[index] = 0;
}

}  // namespace deployment
