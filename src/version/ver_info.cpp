#include "version/ver_info.h"

#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "platform/failure.h"

namespace version {

using platform::Text;

namespace {

constexpr platform::Long kRecordSize = sizeof(platform::VS_FIXEDFILEINFO);

std::optional<Text> OsText(std::uint32_t os) {
  switch (os) {
    case 0x10001: return u"DOS-Win16";
    case 0x10004: return u"DOS-Win32";
    case 0x20002: return u"OS/2-16 PM-16";
    case 0x30003: return u"OS/2-16 PM-32";
    case 0x40004: return u"NT-Win32";
    case 0: return u"Unknown";
    default: return std::nullopt;
  }
}

Text TypeText(std::uint32_t type) {
  switch (type) {
    case 1: return u"App";
    case 2: return u"DLL";
    case 3: return u"Driver";
    case 4: return u"Font";
    case 5: return u"VxD";
    case 7: return u"Lib";
    default: return u"Unknown";
  }
}

std::optional<Text> DriverSubtypeText(std::uint32_t subtype) {
  static constexpr const char16_t* kNames[] = {
      u"Unknown",     u"Printer drv", u"Keyboard drv", u"Language drv",
      u"Display drv", u"Mouse drv",   u"Network drv",  u"System drv",
      u"Installable", u"Sound drv",   u"Comm drv"};
  if (subtype >= std::size(kNames)) return std::nullopt;
  return kNames[subtype];
}

std::optional<Text> FontSubtypeText(std::uint32_t subtype) {
  switch (subtype) {
    case 1: return u"Raster Font";
    case 2: return u"Vector Font";
    case 3: return u"TrueType Font";
    default: return std::nullopt;
  }
}

// The zero-filled buffer the information is read into: indexed 0 to size.
std::vector<std::uint8_t> MakeBuffer(platform::Long size) {
  try {
    return std::vector<std::uint8_t>(static_cast<std::size_t>(size) + 1, 0);
  } catch (const std::bad_alloc&) {
    throw platform::FailureOutOfMemory();
  }
}

// The root block, copied only when it lies whole inside the buffer.
bool ReadRootBlock(platform::Platform& platform, const std::vector<std::uint8_t>& buffer,
                   platform::VS_FIXEDFILEINFO& info) {
  const std::uint8_t* block = nullptr;
  platform::Long length = 0;
  if (platform.VerQueryValueA(buffer.data(), "\\", block, length) == 0) return false;
  if (block == nullptr || length < kRecordSize) return false;
  const auto begin = reinterpret_cast<std::uintptr_t>(buffer.data());
  const auto at = reinterpret_cast<std::uintptr_t>(block);
  if (at < begin || at - begin + kRecordSize > buffer.size()) return false;
  platform.RtlMoveMemory(&info, block, kRecordSize);
  return true;
}

}  // namespace

Text VersionPart(std::uint16_t half) {
  return platform::Decimal(static_cast<std::int16_t>(half));
}

Text VersionText(std::uint32_t ms, std::uint32_t ls) {
  return platform::Concat({VersionPart(static_cast<std::uint16_t>(ms >> 16)), ".",
                           VersionPart(static_cast<std::uint16_t>(ms & 0xFFFF)), ".",
                           VersionPart(static_cast<std::uint16_t>(ls >> 16)), ".",
                           VersionPart(static_cast<std::uint16_t>(ls & 0xFFFF))});
}

Text FlagsText(std::uint32_t flags) {
  static constexpr struct { std::uint32_t bit; const char16_t* word; } kWords[] = {
      {0x01, u"Debug "},   {0x02, u"PreRel "}, {0x04, u"Patched "},
      {0x08, u"Private "}, {0x10, u"Info "},   {0x20, u"Special "}};
  Text text;
  for (const auto& w : kWords) {
    if (flags & w.bit) text += w.word;
  }
  return text;
}

void DisplayVerInfo(platform::Platform& platform, Text& sFullName, VersionTexts texts) {
  platform::VS_FIXEDFILEINFO info;
  std::memset(&info, 0, sizeof info);

  platform::Long handle = 0;
  platform::Long size = 0;
  {
    platform::AnsiArg name(platform, sFullName);
    size = platform.GetFileVersionInfoSizeA(name.bytes(), handle);
  }
  if (size < 1) {
    platform.MsgBox(kNoVersionInfo, platform::kMbOk, std::nullopt);
    return;
  }
  std::vector<std::uint8_t> buffer = MakeBuffer(size);
  {
    platform::AnsiArg name(platform, sFullName);
    platform.GetFileVersionInfoA(name.bytes(), 0, size, buffer.data());
  }
  if (!ReadRootBlock(platform, buffer, info)) {
    platform.MsgBox(kNoVersionInfo, platform::kMbOk, std::nullopt);
    return;
  }

  texts.sStrucVer =
      platform::Concat({VersionPart(static_cast<std::uint16_t>(info.dwStrucVersion >> 16)), ".",
                        VersionPart(static_cast<std::uint16_t>(info.dwStrucVersion & 0xFFFF))});
  texts.sFileVer = VersionText(info.dwFileVersionMS, info.dwFileVersionLS);
  texts.sProdVer = VersionText(info.dwProductVersionMS, info.dwProductVersionLS);
  texts.sFileFlags = FlagsText(info.dwFileFlags);
  if (auto os = OsText(info.dwFileOS)) texts.sFileOS = *os;
  texts.sFileType = TypeText(info.dwFileType);
  if (info.dwFileType == 3) {
    if (auto sub = DriverSubtypeText(info.dwFileSubtype)) texts.sFileSubType = *sub;
  } else if (info.dwFileType == 4) {
    if (auto sub = FontSubtypeText(info.dwFileSubtype)) texts.sFileSubType = *sub;
  }
}

}  // namespace version
