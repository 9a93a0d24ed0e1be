// Decoding a file's fixed version information into display texts.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace version {

// The seven texts the decoder writes. A text a step does not set keeps what
// it held.
struct VersionTexts {
  platform::Text& sStrucVer;
  platform::Text& sFileVer;
  platform::Text& sProdVer;
  platform::Text& sFileFlags;
  platform::Text& sFileOS;
  platform::Text& sFileType;
  platform::Text& sFileSubType;
};

// Reads the fixed version information of sFullName (which afterwards holds
// the name converted back from its ANSI copy) into the texts. A file without
// version information, or whose root block cannot be found or is shorter than
// the 52-byte record, gets the notice "No Version Info available!" and leaves
// all seven texts unchanged.
void DisplayVerInfo(platform::Platform& platform, platform::Text& sFullName,
                    VersionTexts texts);

// The pieces, for the decoder and for anyone showing a record.
platform::Text VersionPart(std::uint16_t half);             // signed 16-bit
platform::Text VersionText(std::uint32_t ms, std::uint32_t ls);  // a.b.c.d
platform::Text FlagsText(std::uint32_t flags);

inline constexpr char16_t kNoVersionInfo[] = u"No Version Info available!";

}  // namespace version
