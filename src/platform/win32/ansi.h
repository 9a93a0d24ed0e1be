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
Text FromWide(std::wstring_view wide);

}  // namespace platform::win32
