#include "deployment/run_log.h"

#include <cstdio>
#include <string>

namespace deployment {
namespace {

using platform::Text;

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr char kIndent[] = "                         ";  // under the time stamp

std::string Stamp(const platform::SYSTEMTIME& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u  ", t.wYear % 10000u,
                t.wMonth % 100u, t.wDay % 100u, t.wHour % 100u, t.wMinute % 100u,
                t.wSecond % 100u, t.wMilliseconds % 1000u);
  return text;
}

}  // namespace

Text FileErrorReason(platform::Long error) {
  const std::string number = std::to_string(error);
  Text words;
  switch (error) {
    case platform::kErrorFileNotFound:
    case platform::kErrorPathNotFound: words = u"the folder does not exist"; break;
    case platform::kErrorAccessDenied: words = u"access is denied"; break;
    case platform::kErrorSharingViolation: words = u"another program is using the file"; break;
    case platform::kErrorInvalidName: words = u"the name is not a valid file name"; break;
    default: words = u"it cannot be opened"; break;
  }
  return words + u" (Windows error " + Text(number.begin(), number.end()) + u")";
}

bool RunLog::Open(const Text& path, Text& reason) {
  platform::Long size = 0;
  platform::Long error = 0;
  const platform::Long file = platform_.OpenFileForAppend(path, size, error);
  if (file == 0) {
    reason = FileErrorReason(error);
    return false;
  }
  file_ = file;
  // A new file starts with the mark Notepad takes for UTF-8.
  if (size == 0) platform_.WriteFile(file_, kByteOrderMark);
  return true;
}

void RunLog::Write(std::u16string_view text) {
  if (file_ == 0) return;
  std::string entry = Stamp(platform_.GetLocalTime());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t end = text.find_first_of(u"\r\n", i);
    entry += platform::ToUtf8(text.substr(i, end == std::u16string_view::npos ? end : end - i));
    entry += "\r\n";
    if (end == std::u16string_view::npos) break;
    i = end + (text.substr(end, 2) == u"\r\n" ? 2 : 1);
    if (i < text.size()) entry += kIndent;
  }
  if (text.empty()) entry += "\r\n";
  platform_.WriteFile(file_, entry);
}

void RunLog::Close() {
  if (file_ != 0) platform_.CloseHandle(file_);
  file_ = 0;
}

}  // namespace deployment
