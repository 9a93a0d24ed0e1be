#include "trk_variant.h"

#include <fstream>

#include "process.h"

namespace wine_harness {
namespace {

void put32(std::string& bytes, size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::string write_trk_with_version(const std::filesystem::path& source,
                                   const std::filesystem::path& copy, std::uint16_t a,
                                   std::uint16_t b, std::uint16_t c, std::uint16_t d) {
  std::string bytes = read_text(source);
  const std::string signature("\xBD\x04\xEF\xFE", 4);
  const size_t at = bytes.find(signature);
  if (at == std::string::npos || bytes.find(signature, at + 1) != std::string::npos)
    return source.string() + ": not exactly one VS_FIXEDFILEINFO";
  // dwSignature, dwStrucVersion, then dwFileVersionMS and dwFileVersionLS.
  if (at + 16 > bytes.size()) return source.string() + ": truncated VS_FIXEDFILEINFO";
  put32(bytes, at + 8, (std::uint32_t{a} << 16) | b);
  put32(bytes, at + 12, (std::uint32_t{c} << 16) | d);
  std::filesystem::create_directories(copy.parent_path());
  std::ofstream out(copy, std::ios::binary | std::ios::trunc);
  out << bytes;
  return out ? "" : "could not write " + copy.string();
}

}  // namespace wine_harness
