#include "platform/win32/utf8_console.h"

#include "platform/win32/windows_h.h"

#include <iostream>
#include <streambuf>
#include <string>

#include "platform/text.h"

namespace platform::win32 {
namespace {

// Collects UTF-8 and writes whole characters as UTF-16: a character cut
// between two writes waits for its last bytes.
class ConsoleBuffer final : public std::streambuf {
 public:
  explicit ConsoleBuffer(HANDLE console) : console_(console) {}

 protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) pending_ += static_cast<char>(c);
    if (c == '\n') sync();
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* text, std::streamsize n) override {
    pending_.append(text, static_cast<std::size_t>(n));
    sync();
    return n;
  }
  int sync() override {
    std::size_t whole = pending_.size();
    // Back to the start of a character that is not yet complete.
    std::size_t lead = whole;
    while (lead > 0 && (static_cast<unsigned char>(pending_[lead - 1]) & 0xC0) == 0x80) --lead;
    if (lead > 0) {
      const unsigned char first = static_cast<unsigned char>(pending_[lead - 1]);
      const std::size_t needs = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
      if (whole - (lead - 1) < needs) whole = lead - 1;
    }
    const Text wide = FromUtf8(std::string_view(pending_).substr(0, whole));
    DWORD written = 0;
    const bool ok = wide.empty() ||
                    ::WriteConsoleW(console_, wide.data(), static_cast<DWORD>(wide.size()), &written,
                                    nullptr);
    pending_.erase(0, whole);
    return ok ? 0 : -1;
  }

 private:
  HANDLE console_;
  std::string pending_;
};

void Route(std::ostream& stream, DWORD which) {
  const HANDLE handle = ::GetStdHandle(which);
  DWORD mode = 0;
  // GetConsoleMode succeeds only on a console: a pipe or a file keeps bytes.
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode)) return;
  static ConsoleBuffer* buffers[2] = {};
  ConsoleBuffer*& buffer = buffers[which == STD_OUTPUT_HANDLE ? 0 : 1];
  buffer = new ConsoleBuffer(handle);  // for the program's whole life
  stream.rdbuf(buffer);
}

}  // namespace

void UseWideConsole() {
  Route(std::cout, STD_OUTPUT_HANDLE);
  Route(std::cerr, STD_ERROR_HANDLE);
}

}  // namespace platform::win32
