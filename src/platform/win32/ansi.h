// Text through the ANSI code page (CP_ACP), and UTF-16 <-> wchar_t.
#pragma once

#include "platform/win32/windows_h.h"

#include <string>

#include "platform/text.h"

namespace platform::win32 {

AnsiString ToAnsiCodePage(std::u16string_view text);
Text FromAnsiCodePage(std::string_view ansi);

// wchar_t is UTF-16 on Windows; these only change the character type.
std::wstring Wide(std::u16string_view text);
// The text itself as a Windows string, for a call that only reads it:
// wchar_t is UTF-16 on Windows, as char16_t is.
inline const wchar_t* WideZ(const Text& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline std::u16string_view FromWideZ(const wchar_t* wide, std::size_t length) {
  return {reinterpret_cast<const char16_t*>(wide), length};
}
Text FromWide(std::wstring_view wide);

}  // namespace platform::win32
