// An installer beside Hotfix.exe against the record a pinned build carries:
// the file opened by its whole path, shared for reading only, its bytes read
// through that handle and hashed. The handle stays open, so that the checked
// file cannot be changed, replaced, renamed or deleted before its installer
// has run.
#pragma once

#include "payload/pinned.h"
#include "platform/deployment_services.h"

namespace deployment {

struct InstallerCheck {
  platform::Long handle = 0;  // held open while non-zero; closed with CloseHandle
  bool matches = false;
  platform::Text finding;     // for the log: the size and SHA-256 found, or why none
};

InstallerCheck CheckInstaller(platform::DeploymentServices& services, const platform::Text& path,
                              const payload::PinnedFile& pinned);

// A size and SHA-256 as the log writes them.
platform::Text Described(std::uint64_t size, const std::uint8_t* sha256);

}  // namespace deployment
