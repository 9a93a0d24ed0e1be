// Text: UTF-16 strings of any length, and the ANSI marshalling of the "A" calls.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace platform {

using Text = std::u16string;

// A Latin-1 literal, one byte a character ("\xE8" for U+00E8): the program's
// Italian texts. A UTF-8 "è" written in the source would be two wrong ones.
struct Latin1 {
  const char* text;
};

// One part of a joined text: UTF-16, ASCII or Latin-1. The program's own
// texts are narrow literals, kept at one byte a character in the file.
class TextPart {
 public:
  TextPart(std::u16string_view text) : data_(text.data()), size_(text.size()) {}
  TextPart(const Text& text) : TextPart(std::u16string_view(text)) {}
  TextPart(const char16_t* text) : TextPart(std::u16string_view(text)) {}
  // Inlined, so that a literal's length is counted where it is written:
  // each part then costs two stores and no call.
  [[gnu::always_inline]] TextPart(const char* ascii)
      : data_(ascii), size_(__builtin_strlen(ascii) | kAscii) {}
  [[gnu::always_inline]] TextPart(Latin1 latin1)
      : data_(latin1.text), size_(__builtin_strlen(latin1.text) | kAscii | kLatin1) {}
  void AppendTo(Text& out) const;
  std::size_t size() const { return size_ & ~(kAscii | kLatin1); }

 private:
  // As small as a string view: the kind rides in the size's top bits.
  static constexpr std::size_t kAscii = ~(~std::size_t{0} >> 1);
  static constexpr std::size_t kLatin1 = kAscii >> 1;
  const void* data_;
  std::size_t size_;
};

// The parts one after another. One call in place of a chain of `+`, each of
// which would be expanded inline with its own temporary and clean-up.
Text Concat(std::initializer_list<TextPart> parts);
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
