// Copies of the trk.exe fixture at other file versions.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace wine_harness {

// Writes a copy of source whose fixed version information (VS_FIXEDFILEINFO,
// found by its signature 0xFEEF04BD) has the file version a.b.c.d; the
// product version stays. Returns what went wrong, or an empty string.
std::string write_trk_with_version(const std::filesystem::path& source,
                                   const std::filesystem::path& copy, std::uint16_t a,
                                   std::uint16_t b, std::uint16_t c, std::uint16_t d);

}  // namespace wine_harness
