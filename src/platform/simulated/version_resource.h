// Version resources as files carry them, for the simulated machine's files.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win_types.h"

namespace sim {

// A fixed record for version a.b.c.d: signature, structure version 1.0,
// product version equal to the file version, flags mask 0x3F, no flags,
// NT-Win32, application.
platform::VS_FIXEDFILEINFO FixedFileInfo(std::uint16_t a, std::uint16_t b,
                                         std::uint16_t c, std::uint16_t d);

// A VS_VERSIONINFO block (the 32-bit form) whose value is `info`; with
// value_length below 52 the value is cut short, as a damaged file would be.
std::vector<std::uint8_t> MakeVersionResource(const platform::VS_FIXEDFILEINFO& info,
                                              std::uint16_t value_length = 52);

}  // namespace sim
