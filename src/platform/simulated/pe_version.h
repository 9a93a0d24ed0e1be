// The version resource of a real Windows executable or DLL, so that a file a
// customer sent can be put on the simulated machine as it is.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

// The UI language a machine has unless told otherwise: English (US).
inline constexpr std::uint16_t kEnglishUs = 0x0409;

// Files larger than this are refused rather than read into memory.
inline constexpr std::uint64_t kMaxPeFileSize = 256u * 1024u * 1024u;

// The raw VS_VERSIONINFO bytes of a 32- or 64-bit PE file, ready for
// Machine::AddVersionedFile; nullopt when the file is a well-formed PE
// without one (what Windows reports as having no version information).
// Of several languages, the one Windows would give a program on a machine
// with this UI language. Throws InputError, naming the file, when it cannot
// be read, is too large, or is not a well-formed PE file.
std::optional<std::vector<std::uint8_t>> ReadVersionResource(const std::string& path,
                                                             std::uint16_t ui_language = kEnglishUs);

// The same for a file already in memory; `name_for_errors` names it in messages.
std::optional<std::vector<std::uint8_t>> ReadVersionResourceFromImage(
    std::span<const std::uint8_t> image, const std::string& name_for_errors,
    std::uint16_t ui_language = kEnglishUs);

}  // namespace sim
