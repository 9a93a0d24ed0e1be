// Text: UTF-16 strings of any length, and the ANSI marshalling of the "A" calls.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace platform {

using Text = std::u16string;

// The parts one after another. One call in place of a chain of `+`, each of
// which would be expanded inline with its own temporary and clean-up.
Text Concat(std::initializer_list<std::u16string_view> parts);
// The number in decimal digits, with a minus sign when negative.
Text Decimal(long long value);

// UTF-8 <-> UTF-16 for the host side (console, files, test messages).
// Malformed input never throws: bad sequences become U+FFFD.
std::string ToUtf8(std::u16string_view text);
Text FromUtf8(std::string_view utf8);
// Strict: false for malformed, overlong or surrogate sequences (out is then
// incomplete), so that a caller can fall back to another encoding.
bool DecodeUtf8Strict(std::string_view utf8, Text& out);

// Strings of ANSI code-page bytes, as the "A" forms of the Windows calls take
// and return them. Which code page applies is the platform's business.
using AnsiString = std::string;

}  // namespace platform
