#include "platform/simulated/version_resource.h"

#include <cstring>
#include <string_view>

namespace sim {
namespace {

void PutWord(std::vector<std::uint8_t>& out, std::uint16_t w) {
  out.push_back(static_cast<std::uint8_t>(w & 0xFF));
  out.push_back(static_cast<std::uint8_t>(w >> 8));
}

}  // namespace

platform::VS_FIXEDFILEINFO FixedFileInfo(std::uint16_t a, std::uint16_t b,
                                         std::uint16_t c, std::uint16_t d) {
  platform::VS_FIXEDFILEINFO info{};
  info.dwSignature = 0xFEEF04BD;
  info.dwStrucVersion = 0x00010000;
  info.dwFileVersionMS = static_cast<std::uint32_t>(a) << 16 | b;
  info.dwFileVersionLS = static_cast<std::uint32_t>(c) << 16 | d;
  info.dwProductVersionMS = info.dwFileVersionMS;
  info.dwProductVersionLS = info.dwFileVersionLS;
  info.dwFileFlagsMask = 0x3F;
  info.dwFileOS = 0x40004;
  info.dwFileType = 1;
  return info;
}

std::vector<std::uint8_t> MakeVersionResource(const platform::VS_FIXEDFILEINFO& info,
                                              std::uint16_t value_length) {
  std::vector<std::uint8_t> out;
  PutWord(out, 0);  // wLength, patched below
  PutWord(out, value_length);
  PutWord(out, 0);  // wType: binary
  for (char c : std::string_view("VS_VERSION_INFO")) PutWord(out, static_cast<std::uint16_t>(c));
  PutWord(out, 0);
  while (out.size() % 4 != 0) out.push_back(0);
  std::uint8_t record[sizeof info];
  std::memcpy(record, &info, sizeof info);
  const std::size_t n = value_length < sizeof info ? value_length : sizeof info;
  out.insert(out.end(), record, record + n);
  while (out.size() % 4 != 0) out.push_back(0);
  out[0] = static_cast<std::uint8_t>(out.size() & 0xFF);
  out[1] = static_cast<std::uint8_t>(out.size() >> 8);
  return out;
}

}  // namespace sim
