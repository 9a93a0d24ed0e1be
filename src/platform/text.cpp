#include "platform/text.h"

#include <cassert>

namespace platform {

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() &&
        text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // lone surrogate
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

namespace {

// Decodes the code point at utf8[i]; false for a malformed, overlong or
// surrogate sequence. On success i is past it.
bool NextCodePoint(std::string_view utf8, std::size_t& i, char32_t& c) {
  const auto b = static_cast<unsigned char>(utf8[i]);
  std::size_t extra = 0;
  char32_t least = 0;
  if (b < 0x80) {
    c = b;
    ++i;
    return true;
  } else if ((b & 0xE0) == 0xC0) {
    extra = 1, c = b & 0x1Fu, least = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    extra = 2, c = b & 0x0Fu, least = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    extra = 3, c = b & 0x07u, least = 0x10000;
  } else {
    return false;
  }
  if (utf8.size() - i <= extra) return false;
  for (std::size_t k = 1; k <= extra; ++k) {
    const auto cb = static_cast<unsigned char>(utf8[i + k]);
    if ((cb & 0xC0) != 0x80) return false;
    c = (c << 6) | (cb & 0x3Fu);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
  i += extra + 1;
  return true;
}

void AppendCodePoint(Text& out, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  } else {
    out += static_cast<char16_t>(c);
  }
}

}  // namespace

void TextPart::AppendTo(Text& out) const {
  if (size_ & kAscii) {
    const auto* narrow = static_cast<const unsigned char*>(data_);
    // Only literals come this way: a non-ASCII one not marked Latin-1 (a
    // UTF-8 one) fails every test that shows it (the tests are built with
    // assertions).
    for (std::size_t i = 0; i < size(); ++i) assert((size_ & kLatin1) || narrow[i] < 0x80);
    out.append(narrow, narrow + size());
  } else {
    out.append(static_cast<const char16_t*>(data_), size_);
  }
}

Text Concat(std::initializer_list<TextPart> parts) {
  std::size_t size = 0;
  for (const auto& part : parts) size += part.size();
  Text out;
  out.reserve(size);
  for (const auto& part : parts) part.AppendTo(out);
  return out;
}

namespace {

// Divides by 10 sixteen bits at a time, each step in 32-bit arithmetic: a
// 64-bit division would link libgcc's __udivdi3 and __umoddi3 (a kilobyte)
// into the 32-bit program. Returns the remainder.
unsigned DivideBy10(unsigned long long& value) {
  unsigned long long quotient = 0;
  unsigned rest = 0;
  for (int shift = 48; shift >= 0; shift -= 16) {
    const unsigned part = (rest << 16) | static_cast<unsigned>((value >> shift) & 0xFFFFu);
    quotient |= static_cast<unsigned long long>(part / 10) << shift;
    rest = part % 10;
  }
  value = quotient;
  return rest;
}

}  // namespace

// Digit by digit: std::to_string would bring in the char strings' code only
// to be widened at once.
Text Decimal(long long value) {
  char16_t digits[24];
  char16_t* first = digits + sizeof digits / sizeof digits[0];
  unsigned long long rest = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                      : static_cast<unsigned long long>(value);
  do {
    *--first = static_cast<char16_t>(u'0' + DivideBy10(rest));
  } while (rest != 0);
  if (value < 0) *--first = u'-';
  return Text(first, digits + sizeof digits / sizeof digits[0]);
}

Text FromUtf8(std::string_view utf8) {
  Text out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    char32_t c = 0;
    if (NextCodePoint(utf8, i, c)) {
      AppendCodePoint(out, c);
    } else {
      out += u'\uFFFD';
      ++i;
    }
  }
  return out;
}

bool DecodeUtf8Strict(std::string_view utf8, Text& out) {
  out.clear();
  std::size_t i = 0;
  while (i < utf8.size()) {
    char32_t c = 0;
    if (!NextCodePoint(utf8, i, c)) return false;
    AppendCodePoint(out, c);
  }
  return true;
}

}  // namespace platform
