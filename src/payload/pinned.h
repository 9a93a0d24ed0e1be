// The record of the two installers that a build carries. A release is built
// pinned: the size and SHA-256 of 40517.exe and 40517-2.exe are compiled in,
// where the Authenticode signature covers them. Any other build carries the
// record with pinned 0; the code is the same in both.
#pragma once

#include <cstdint>

#include "payload/sha256.h"

namespace payload {

inline constexpr int kPinnedInstallers = 2;

struct PinnedFile {
  std::uint64_t size;
  std::uint8_t sha256[kDigestSize];
};

struct PinnedInstallers {
  std::uint32_t pinned;                   // 1 in a pinned build, else 0
  PinnedFile files[kPinnedInstallers];    // 40517.exe, then 40517-2.exe
};

// The record of this program file (a pinned release's, or the empty one).
extern const PinnedInstallers kShippedInstallers;

}  // namespace payload
