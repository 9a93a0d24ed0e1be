#include "platform/win32/ansi.h"

#include <climits>

namespace platform::win32 {

// Lengths are passed explicitly so embedded NULs (registry buffers) survive.
AnsiString ToAnsiCodePage(std::u16string_view text) {
  if (text.empty() || text.size() > INT_MAX) return AnsiString();
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const int needed = ::WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return AnsiString();
  AnsiString out(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide, length, out.data(), needed, nullptr, nullptr);
  return out;
}

Text FromAnsiCodePage(std::string_view ansi) {
  if (ansi.empty() || ansi.size() > INT_MAX) return Text();
  const int length = static_cast<int>(ansi.size());
  const int needed = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
  if (needed <= 0) return Text();
  std::wstring out(static_cast<std::size_t>(needed), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, out.data(), needed);
  return FromWide(out);
}

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

Text FromWide(std::wstring_view wide) {
  Text out;
  out.reserve(wide.size());
  for (wchar_t c : wide) out += static_cast<char16_t>(c);
  return out;
}

}  // namespace platform::win32
