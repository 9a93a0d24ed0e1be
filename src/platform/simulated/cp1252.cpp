#include "platform/simulated/cp1252.h"

namespace sim {
namespace {

// 0x80..0x9F; 0 marks the bytes Windows leaves unassigned.
constexpr char16_t kHigh[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

char16_t Decode(unsigned char b) {
  if (b < 0x80 || b >= 0xA0) return b;
  const char16_t c = kHigh[b - 0x80];
  return c != 0 ? c : b;
}

}  // namespace

platform::AnsiString EncodeCp1252(std::u16string_view text) {
  platform::AnsiString out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out += static_cast<char>(c);
      continue;
    }
    char byte = '?';
    for (int i = 0; i < 32; ++i) {
      if (kHigh[i] == c || (kHigh[i] == 0 && c == 0x80 + i)) {
        byte = static_cast<char>(0x80 + i);
        break;
      }
    }
    out += byte;
  }
  return out;
}

platform::Text DecodeCp1252(std::string_view bytes) {
  platform::Text out;
  out.reserve(bytes.size());
  for (char b : bytes) out += Decode(static_cast<unsigned char>(b));
  return out;
}

}  // namespace sim
