// The log of a run (/log:FILE): plain text that Windows XP's Notepad reads,
// UTF-8 with a byte-order mark and CR LF, appended to, one time-stamped entry
// per event. Each entry is written at once, so a run that dies leaves its log.
#pragma once

#include "platform/platform.h"

namespace deployment {

class RunLog {
 public:
  explicit RunLog(platform::Platform& platform) : platform_(platform) {}
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Opens the file for appending, creating it; false with the reason, in
  // words for a person, when it cannot be opened.
  bool Open(const platform::Text& path, platform::Text& reason);
  bool is_open() const { return file_ != 0; }
  // One entry; the lines of a text with several are indented under the first.
  void Write(std::u16string_view text);
  void Close();

 private:
  platform::Platform& platform_;
  platform::Long file_ = 0;
};

// The reason for a Windows error when opening a file, for a person.
platform::Text FileErrorReason(platform::Long error);

}  // namespace deployment
