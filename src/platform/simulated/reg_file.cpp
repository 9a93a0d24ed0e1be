#include "platform/simulated/reg_file.h"
#include "platform/host_path.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/simulated/cp1252.h"

namespace sim {
namespace {

using platform::Long;
using platform::Text;
using View = std::u16string_view;

constexpr std::size_t kChunkBytes = 64 * 1024;
constexpr char16_t kVersion5Header[] = u"Windows Registry Editor Version 5.00";
constexpr char16_t kVersion4Header[] = u"REGEDIT4";
constexpr std::size_t kLongestKeyName = 255;
constexpr std::size_t kDeepestKey = 512;
constexpr std::size_t kLongestValueName = 16383;

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

bool AllBlank(View v) {
  for (char16_t c : v) {
    if (!IsBlank(c)) return false;
  }
  return true;
}

std::size_t SkipBlanks(View v, std::size_t at) {
  while (at < v.size() && IsBlank(v[at])) ++at;
  return at;
}

View TrimEnd(View v) {
  while (!v.empty() && IsBlank(v.back())) v.remove_suffix(1);
  return v;
}

// Data before a ';' comment (data that holds no quoted text).
View CutComment(View v) { return v.substr(0, v.find(u';')); }

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c; }

bool EqualsIgnoringCase(View a, View b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

bool StartsIgnoringCase(View text, View prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// For messages: a piece of the file, shortened so a huge line stays readable.
std::string Shown(View v) {
  constexpr std::size_t kMax = 60;
  std::string out = "\"" + platform::ToUtf8(v.substr(0, kMax));
  if (v.size() > kMax) out += "...";
  return out + "\"";
}

std::optional<Long> RootNamed(View name) {
  struct Root { View name; std::uint32_t value; };
  static constexpr Root kRoots[] = {
      {u"HKEY_CLASSES_ROOT", 0x80000000u},   {u"HKCR", 0x80000000u},
      {u"HKEY_CURRENT_USER", 0x80000001u},   {u"HKCU", 0x80000001u},
      {u"HKEY_LOCAL_MACHINE", 0x80000002u},  {u"HKLM", 0x80000002u},
      {u"HKEY_USERS", 0x80000003u},          {u"HKU", 0x80000003u},
      {u"HKEY_CURRENT_CONFIG", 0x80000005u}, {u"HKCC", 0x80000005u},
      {u"HKEY_DYN_DATA", 0x80000006u},  // in exports from Windows 9x
  };
  for (const Root& root : kRoots) {
    if (EqualsIgnoringCase(name, root.name)) return static_cast<Long>(root.value);
  }
  return std::nullopt;
}

const std::array<char16_t, 256>& Cp1252Table() {
  static const std::array<char16_t, 256> table = [] {
    std::string every_byte(256, '\0');
    for (std::size_t i = 0; i < 256; ++i) every_byte[i] = static_cast<char>(i);
    const Text decoded = DecodeCp1252(every_byte);
    std::array<char16_t, 256> t{};
    for (std::size_t i = 0; i < 256; ++i) t[i] = decoded[i];
    return t;
  }();
  return table;
}

enum class Encoding { kUtf16Le, kUtf8, kUtf8OrAnsi, kAnsi };

// Lines of the input, decoded to UTF-16, read a piece at a time. Leading
// blanks are dropped (no line needs them) and a comment line is cut to its
// ';', so neither costs memory however long it is.
class LineReader {
 public:
  LineReader(std::istream& in, const std::string& source)
      : in_(in), source_(source), buffer_(new char[kChunkBytes]) {
    while (end_ < 3 && Refill()) {
    }
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(buffer_[i]); };
    if (end_ >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
      encoding_ = Encoding::kUtf16Le;
      pos_ = 2;
    } else if (end_ >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
      encoding_ = Encoding::kUtf8;
      pos_ = 3;
    } else if (end_ >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
      line_ = 1;
      Fail("UTF-16 big-endian text is not a regedit export; save it as UTF-16LE");
    }
  }

  // REGEDIT4 text without a BOM is ANSI throughout.
  void ReadAnsi() {
    if (encoding_ == Encoding::kUtf8OrAnsi) encoding_ = Encoding::kAnsi;
  }

  // The next line, without its LF or CRLF; false at the end of the input.
  bool Next(Text& line) {
    const bool got = encoding_ == Encoding::kUtf16Le ? NextUtf16(line) : Next8Bit(line);
    if (got && !line.empty() && line.back() == u'\r') line.pop_back();
    return got;
  }

  std::size_t line() const { return line_ == 0 ? 1 : line_; }
  // The last line came from a UTF-8 file but is not UTF-8.
  bool line_not_utf8() const { return not_utf8_; }

  [[noreturn]] void Fail(const std::string& what) const {
    throw InputError(source_ + ":" + std::to_string(line_ == 0 ? 1 : line_) + ": " + what);
  }

 private:
  // Keeps unread bytes (an odd byte of UTF-16 among them) in front of the new ones.
  bool Refill() {
    if (at_end_) return false;
    const std::size_t left = end_ - pos_;
    if (left > 0 && pos_ > 0) std::memmove(buffer_.get(), buffer_.get() + pos_, left);
    pos_ = 0;
    end_ = left;
    in_.read(buffer_.get() + end_, static_cast<std::streamsize>(kChunkBytes - end_));
    if (in_.bad()) Fail("cannot read the input");
    const auto got = static_cast<std::size_t>(in_.gcount());
    if (got == 0) {
      at_end_ = true;
      return false;
    }
    end_ += got;
    return true;
  }

  bool NextUtf16(Text& line) {
    line.clear();
    bool any = false;
    for (;;) {
      if (end_ - pos_ < 2) {
        if (Refill()) continue;
        if (end_ - pos_ == 1) {
          ++line_;
          Fail("the file ends in the middle of a UTF-16 character");
        }
        if (!any) return false;
        break;
      }
      any = true;
      const auto* bytes = reinterpret_cast<const unsigned char*>(buffer_.get());
      bool ended = false;
      while (end_ - pos_ >= 2) {
        const auto c = static_cast<char16_t>(bytes[pos_] | (bytes[pos_ + 1] << 8));
        pos_ += 2;
        if (c == u'\n') {
          ended = true;
          break;
        }
        if (line.empty() ? IsBlank(c) : line[0] == u';') continue;
        line += c;
      }
      if (ended) break;
    }
    ++line_;
    return true;
  }

  bool Next8Bit(Text& line) {
    raw_.clear();
    bool any = false;
    for (;;) {
      if (pos_ == end_ && !Refill()) {
        if (!any) return false;
        break;
      }
      any = true;
      const char* start = buffer_.get() + pos_;
      const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
      const std::size_t length = newline ? static_cast<std::size_t>(newline - start) : end_ - pos_;
      Append(start, length);
      pos_ += length;
      if (newline) {
        ++pos_;
        break;
      }
    }
    ++line_;
    Decode8Bit(line);
    return true;
  }

  void Append(const char* bytes, std::size_t length) {
    if (!raw_.empty() && raw_[0] == ';') return;
    if (raw_.empty()) {
      while (length > 0 && IsBlank(static_cast<unsigned char>(*bytes))) ++bytes, --length;
      if (length > 0 && *bytes == ';') length = 1;
    }
    raw_.append(bytes, length);
  }

  void Decode8Bit(Text& line) {
    not_utf8_ = false;
    if (encoding_ != Encoding::kAnsi) {
      if (platform::DecodeUtf8Strict(raw_, line)) return;
      not_utf8_ = encoding_ == Encoding::kUtf8;
    }
    const auto& table = Cp1252Table();
    line.clear();
    for (char b : raw_) line += table[static_cast<unsigned char>(b)];
  }

  std::istream& in_;
  const std::string& source_;
  std::unique_ptr<char[]> buffer_;  // left uninitialised: only read up to end_
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool at_end_ = false;
  Encoding encoding_ = Encoding::kUtf8OrAnsi;
  std::string raw_;  // the bytes of an 8-bit line
  bool not_utf8_ = false;
  std::size_t line_ = 0;
};

class Loader {
 public:
  Loader(LineReader& reader, Registry& registry, const std::string& source,
         std::vector<RegWarning>* warnings)
      : reader_(reader), registry_(registry), source_(source), warnings_(warnings) {}

  void Run() {
    if (!reader_.Next(line_)) reader_.Fail("the file is empty; a regedit export starts with its header");
    const View header = TrimEnd(line_);
    if (header == View(kVersion4Header)) {
      version4_ = true;
      reader_.ReadAnsi();
    } else if (header != View(kVersion5Header)) {
      reader_.Fail("not a regedit export: the first line must be \"Windows Registry Editor "
                   "Version 5.00\" or \"REGEDIT4\", not " + Shown(header));
    }
    while (reader_.Next(line_)) {
      try {
        Line();
      } catch (const SkippedLine& skipped) {
        Warn(skipped.reason, true);
        // A hex value that breaks off takes its continuation lines with it.
        while (in_hex_ && TrimEnd(line_).ends_with(u'\\') && reader_.Next(line_)) {
        }
      }
    }
  }

 private:
  struct SkippedLine {
    std::string reason;
  };
  [[noreturn]] static void Skip(const std::string& reason) { throw SkippedLine{reason}; }

  void Warn(const std::string& reason, bool skipped) {
    if (warnings_ == nullptr) return;
    warnings_->push_back({source_, reader_.line(), reason, skipped, context_root_, context_path_});
  }

  void Line() {
    in_hex_ = false;
    const View line = line_;
    if (reader_.line_not_utf8()) Skip("the line is not valid UTF-8");
    if (line.empty() || line[0] == u';') return;
    if (line[0] == u'#') Skip("'#' starts no comment in a regedit export (';' does)");
    if (line[0] == u'[') {
      KeyLine(line);
    } else {
      ValueLine(line);
    }
  }

  // The key a line names, as far as it can be read, for warnings.
  void NoteContext(View inner) {
    if (!inner.empty() && inner[0] == u'-') inner.remove_prefix(1);
    const std::size_t separator = inner.find(u'\\');
    const std::optional<Long> root = RootNamed(inner.substr(0, separator));
    context_root_ = root.value_or(0);
    context_path_ = separator == View::npos ? Text() : Text(inner.substr(separator + 1));
  }

  void KeyLine(View line) {
    key_ = nullptr;  // a key line that is skipped leaves its values no key
    after_deletion_ = false;
    seen_key_line_ = true;
    const std::size_t close = line.rfind(u']');
    NoteContext(close == View::npos ? TrimEnd(line.substr(1)) : line.substr(1, close - 1));
    if (close == View::npos) Skip("the key line has no closing ']'");
    if (!AllBlank(line.substr(close + 1))) {
      Skip("unexpected text after the key's closing ']': " + Shown(line.substr(close + 1)));
    }
    View inner = line.substr(1, close - 1);
    const bool remove = !inner.empty() && inner[0] == u'-';
    if (remove) inner.remove_prefix(1);
    const std::size_t separator = inner.find(u'\\');
    const View root_name = inner.substr(0, separator);
    const std::optional<Long> root = RootNamed(root_name);
    if (!root) Skip("unknown root key " + Shown(root_name));
    const View path = separator == View::npos ? View() : inner.substr(separator + 1);
    CheckKeyLimits(path);
    if (remove) {
      if (path.find_first_not_of(u'\\') == View::npos) Skip("a root key cannot be deleted");
      registry_.DeleteKey(*root, Text(path));
      key_ = nullptr;
      after_deletion_ = true;
    } else {
      key_ = &registry_.CreateKey(*root, Text(path));
    }
  }

  // Windows' own limits, which regedit's import meets as well: a key name
  // of at most 255 characters, a tree at most 512 levels deep.
  static void CheckKeyLimits(View path) {
    std::size_t depth = 0;
    for (std::size_t begin = 0; begin < path.size();) {
      const std::size_t end = std::min(path.find(u'\\', begin), path.size());
      if (end - begin > kLongestKeyName)
        Skip("a key name longer than 255 characters, which Windows refuses");
      if (end > begin && ++depth > kDeepestKey)
        Skip("a key deeper than 512 levels, which Windows refuses");
      begin = end + 1;
    }
  }

  void NeedShortName() const {
    if (name_.size() > kLongestValueName)
      Skip("a value name longer than 16,383 characters, which Windows refuses");
  }

  void ValueLine(View line) {
    std::size_t at = 0;
    name_.clear();
    if (line[0] == u'@') {
      at = 1;
    } else if (line[0] == u'"') {
      at = ReadQuoted(line, [&](char16_t c) { name_ += c; });
    } else {
      Skip("expected a [key], a \"name\"=value, an @=value or a ;comment, not " + Shown(line));
    }
    at = SkipBlanks(line, at);
    if (at == line.size() || line[at] != u'=') Skip("missing '=' after the value name");
    const View data = line.substr(SkipBlanks(line, at + 1));

    if (!data.empty() && data[0] == u'-' && AllBlank(CutComment(data.substr(1)))) {
      NeedKey();
      NeedShortName();
      key_->values.erase(name_);
      return;
    }
    RegistryValue value;
    if (!data.empty() && data[0] == u'"') {
      value.type = platform::kRegSz;
      value.data.reserve(2 * data.size());
      const std::size_t end = ReadQuoted(data, [&](char16_t c) { PutUtf16(value.data, c); });
      PutUtf16(value.data, u'\0');
      if (!AllBlank(CutComment(data.substr(end)))) {
        Skip("unexpected text after the closing quote: " + Shown(data.substr(end)));
      }
    } else if (StartsIgnoringCase(data, u"dword:")) {
      value.type = platform::kRegDword;
      const std::uint32_t number = DwordNumber(TrimEnd(CutComment(data.substr(6))));
      for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<std::uint8_t>(number >> (8 * i)));
    } else if (StartsIgnoringCase(data, u"hex")) {
      in_hex_ = true;
      value.type = HexValue(data.substr(3), value.data);
      // `data` may be gone: continuation lines reuse the line buffer.
    } else {
      Skip("unknown kind of value data " + Shown(data) +
                   "; expected \"text\", -, dword:, hex: or hex(type):");
    }
    // Hex data grew by doubling; a full export holds many values, so keep
    // only what is used.
    value.data.shrink_to_fit();
    NeedKey();  // after the data, so that a hex value takes its continuation lines along
    NeedShortName();
    key_->values.insert_or_assign(name_, std::move(value));
  }

  void NeedKey() const {
    if (key_ != nullptr) return;
    Skip(after_deletion_   ? "a value after a key deletion has no key to go to"
         : !seen_key_line_ ? "a value before the first [key] line"
                           : "a value whose key line was skipped has no key to go to");
  }

  // Reads the quoted string that starts at text[0], passing each character
  // to `put`; answers the index after the closing quote.
  template <typename Put>
  std::size_t ReadQuoted(View text, Put&& put) {
    for (std::size_t i = 1; i < text.size(); ++i) {
      const char16_t c = text[i];
      if (c == u'"') return i + 1;
      if (c == u'\\' && i + 1 < text.size()) {
        const char16_t escaped = text[++i];
        if (escaped != u'"' && escaped != u'\\') {
          Warn("bad escape " + Shown(text.substr(i - 1, 2)) +
                   " in a quoted string (only \\\" and \\\\ are escapes): read as " +
                   Shown(text.substr(i, 1)) + ", as regedit reads it",
               false);
        }
        put(escaped);
      } else {
        put(c);
      }
    }
    Skip("the quoted string has no closing quote");
  }

  static void PutUtf16(std::vector<std::uint8_t>& out, char16_t c) {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }

  std::uint32_t DwordNumber(View digits) {
    if (digits.empty()) Skip("dword: needs a hex number");
    if (digits.size() > 8) Skip("dword: takes at most 8 hex digits, not " + Shown(digits));
    return HexNumber(digits, "dword: takes hex digits only, not ");
  }

  std::uint32_t HexNumber(View digits, const char* complaint) {
    std::uint32_t number = 0;
    for (char16_t c : digits) {
      const int digit = HexDigit(c);
      if (digit < 0) Skip(complaint + Shown(digits));
      number = number << 4 | static_cast<std::uint32_t>(digit);
    }
    return number;
  }

  // `rest` follows "hex": an optional "(type)", ':' and the bytes, which may
  // continue on further lines. Answers the type.
  Long HexValue(View rest, std::vector<std::uint8_t>& bytes) {
    Long type = platform::kRegBinary;
    if (!rest.empty() && rest[0] == u'(') {
      const std::size_t close = rest.find(u')');
      if (close == View::npos) Skip("hex( has no closing ')'");
      const View number = rest.substr(1, close - 1);
      if (number.empty() || number.size() > 8) {
        Skip("the type in hex(type) takes 1 to 8 hex digits, not " + Shown(number));
      }
      type = static_cast<Long>(HexNumber(number, "the type in hex(type) takes hex digits only, not "));
      rest.remove_prefix(close + 1);
    }
    if (rest.empty() || rest[0] != u':') Skip("expected ':' after hex or hex(type)");
    HexBytes(rest.substr(1), bytes);
    const bool ansi_text = type == platform::kRegSz || type == platform::kRegExpandSz ||
                           type == platform::kRegMultiSz;
    if (version4_ && ansi_text) {
      // Importing passes these as ANSI to RegSetValueExA, which stores UTF-16.
      const auto& table = Cp1252Table();
      std::vector<std::uint8_t> wide;
      wide.reserve(2 * bytes.size());
      for (std::uint8_t b : bytes) PutUtf16(wide, table[b]);
      bytes = std::move(wide);
    }
    return type;
  }

  // Comma-separated bytes of one or two hex digits; a '\' where a byte is due
  // carries the list on to the next line.
  void HexBytes(View text, std::vector<std::uint8_t>& bytes) {
    bool byte_due = true;
    bool after_comma = false;
    for (;;) {
      text = CutComment(text);
      std::size_t i = 0;
      bool continued = false;
      while (!continued) {
        i = SkipBlanks(text, i);
        if (!byte_due) {
          if (i == text.size()) return;
          if (text[i] != u',') Skip("expected ',' between hex bytes, not " + Shown(text.substr(i)));
          ++i;
          byte_due = after_comma = true;
        } else if (i == text.size()) {
          if (after_comma) Skip("expected a hex byte after the last ','");
          return;
        } else if (text[i] == u'\\' && AllBlank(text.substr(i + 1))) {
          continued = true;
        } else {
          const int high = HexDigit(text[i]);
          const int low = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
          const bool third = low >= 0 && i + 2 < text.size() && HexDigit(text[i + 2]) >= 0;
          if (high < 0 || third) Skip("bad hex byte " + Shown(text.substr(i, 3)));
          bytes.push_back(static_cast<std::uint8_t>(low < 0 ? high : high * 16 + low));
          i += low < 0 ? 1 : 2;
          byte_due = false;
        }
      }
      // regedit reads over comment lines between the lines of a value.
      do {
        if (!reader_.Next(line_)) Skip("the file ends after a '\\' that continues a value");
      } while (!line_.empty() && line_[0] == u';');
      text = line_;
    }
  }

  LineReader& reader_;
  Registry& registry_;
  const std::string& source_;
  std::vector<RegWarning>* warnings_;
  Long context_root_ = 0;  // the key the lines now read lie in
  Text context_path_;
  bool seen_key_line_ = false;
  bool in_hex_ = false;
  bool version4_ = false;  // REGEDIT4: text in hex(1), hex(2) and hex(7) is ANSI
  RegistryKey* key_ = nullptr;
  bool after_deletion_ = false;
  Text line_;
  Text name_;
};

}  // namespace

std::string Describe(const RegWarning& warning) {
  return warning.file + ":" + std::to_string(warning.line) + ": " +
         (warning.skipped ? "line skipped: " : "") + warning.reason;
}

void LoadRegText(std::istream& in, const std::string& source, Registry& registry,
                 std::vector<RegWarning>* warnings) {
  LineReader reader(in, source);
  Loader(reader, registry, source, warnings).Run();
}

void LoadRegFile(const std::string& path, Registry& registry, std::vector<RegWarning>* warnings) {
  std::error_code error;
  if (std::filesystem::is_directory(platform::HostPath(path), error))
    throw InputError(path + ": is a directory");
  std::ifstream in(platform::HostPath(path), std::ios::binary);
  if (!in) throw InputError(path + ": cannot open the file");
  LoadRegText(in, path, registry, warnings);
}

}  // namespace sim
