#include "deployment/run_log.h"

#include <string>

namespace deployment {
namespace {

using platform::Text;
using Part = platform::TextPart;

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr char kIndent[] = "                         ";  // under the time stamp

// Zero-padded, by hand: a printf here would link the C library's whole
// formatting engine into Hotfix.exe.
void Field(std::string& out, unsigned value, std::size_t width, char after) {
  const std::size_t at = out.size();
  out.append(width, '0');
  for (std::size_t i = width; i > 0 && value != 0; --i, value /= 10)
    out[at + i - 1] = static_cast<char>('0' + value % 10);
  out += after;
}

// "YYYY-MM-DD HH:MM:SS.mmm  "
std::string Stamp(const platform::SYSTEMTIME& t) {
  std::string out;
  Field(out, t.wYear % 10000u, 4, '-');
  Field(out, t.wMonth % 100u, 2, '-');
  Field(out, t.wDay % 100u, 2, ' ');
  Field(out, t.wHour % 100u, 2, ':');
  Field(out, t.wMinute % 100u, 2, ':');
  Field(out, t.wSecond % 100u, 2, '.');
  Field(out, t.wMilliseconds % 1000u, 3, ' ');
  out += ' ';
  return out;
}

}  // namespace

Text FileErrorReason(platform::Long error) {
  Text words;
  switch (error) {
    case platform::kErrorFileNotFound:
    case platform::kErrorPathNotFound: words = u"the folder does not exist"; break;
    case platform::kErrorAccessDenied: words = u"access is denied"; break;
    case platform::kErrorSharingViolation: words = u"another program is using the file"; break;
    case platform::kErrorInvalidName: words = u"the name is not a valid file name"; break;
    default: words = u"it cannot be opened"; break;
  }
  return platform::Concat({words, " (Windows error ", platform::Decimal(error), ")"});
}

// Why the opened handle must not be written to, or "" when it may. Read
// from the handle, not the name: the name could lead elsewhere by now.
Text RunLog::Refusal(platform::Long file) {
  const platform::Long type = services_.GetFileType(file);
  if (type != platform::kFileTypeDisk)
    return type == platform::kFileTypeChar ? u"it is a device (such as NUL, CON, COM1 or LPT1), not a file"
                                           : u"it is not a file on a disk";
  platform::FileInformation info;
  if (services_.GetFileInformationByHandle(file, info) == 0)
    return u"what it is cannot be checked";
  if (info.dwFileAttributes & platform::kFileAttributeDirectory) return u"it is a folder";
  if (info.dwFileAttributes & platform::kFileAttributeReparsePoint)
    return u"it is a reparse point (a junction or symbolic link) that could lead to another file";
  if (info.nNumberOfLinks > 1) {
    return platform::Concat({"it is a file with ", platform::Decimal(info.nNumberOfLinks),
                             " names (hard links), so writing to it would change another file"});
  }
  return Text();
}

RunLog::Opening RunLog::Open(const Text& path, Text& reason) {
  full_path_ = path;
  Text full;
  if (services_.GetFullPathNameW(path, full) != 0) full_path_ = full;
  platform::Long size = 0;
  platform::Long error = 0;
  const platform::Long file = services_.OpenFileForAppend(full_path_, size, error);
  if (file == 0) {
    // CreateFile answers "access denied" for a folder; say which it was.
    const platform::Long attributes = services_.GetFileAttributesW(full_path_);
    const bool folder = error == platform::kErrorAccessDenied &&
                        attributes != platform::kInvalidFileAttributes &&
                        (attributes & platform::kFileAttributeDirectory) != 0;
    reason = folder ? Text(u"it is a folder") : FileErrorReason(error);
    return folder ? Opening::kRefused : Opening::kCannotOpen;
  }
  reason = Refusal(file);
  if (!reason.empty()) {
    platform_.CloseHandle(file);
    return Opening::kRefused;
  }
  file_ = file;
  // A new file starts with the mark Notepad takes for UTF-8.
  if (size == 0 && services_.WriteFile(file_, kByteOrderMark) == 0) ++failed_writes_;
  return Opening::kOpened;
}

void RunLog::Write(std::u16string_view text) {
  if (file_ == 0) return;
  std::string entry = Stamp(services_.GetLocalTime());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t end = text.find_first_of(u"\r\n", i);
    entry += platform::ToUtf8(text.substr(i, end == std::u16string_view::npos ? end : end - i));
    entry.append("\r\n", 2);
    if (end == std::u16string_view::npos) break;
    i = end + (text.substr(end, 2) == u"\r\n" ? 2 : 1);
    if (i < text.size()) entry.append(kIndent, sizeof kIndent - 1);
  }
  if (text.empty()) entry.append("\r\n", 2);
  if (services_.WriteFile(file_, entry) == 0) ++failed_writes_;
}

void RunLog::Close() {
  if (file_ == 0) return;
  if (failed_writes_ != 0) {
    const int lost = failed_writes_;
    Write(platform::Concat({platform::Decimal(lost), lost == 1 ? Part(" log entry") : Part(" log entries"),
                            " could not be written; the exit status is still the run's own"}));
  }
  platform_.CloseHandle(file_);
  file_ = 0;
}

}  // namespace deployment
