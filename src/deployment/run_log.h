// The log of a run (/log:FILE): plain text that Windows XP's Notepad reads,
// UTF-8 with a byte-order mark and CR LF, appended to, one time-stamped entry
// per event. Each entry is written at once, so a run that dies leaves its log.
#pragma once

#include "platform/deployment_services.h"
#include "platform/platform.h"

namespace deployment {

class RunLog {
 public:
  enum class Opening {
    kOpened,
    kCannotOpen,  // Windows refused to open it
    kRefused,     // it opened, but is no plain file of its own: nothing written
  };

  RunLog(platform::Platform& platform, platform::DeploymentServices& services)
      : platform_(platform), services_(services) {}
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Opens the file by its full path for appending, creating it, and checks
  // the open handle: a folder, a device, a reparse point or a file with more
  // than one name is refused, so that nobody can point an administrator's
  // run at another file. Otherwise, the reason in words for a person.
  Opening Open(const platform::Text& path, platform::Text& reason);
  bool is_open() const { return file_ != 0; }
  // The full path the log was opened by (the path as given until Open).
  const platform::Text& full_path() const { return full_path_; }
  // One entry; the lines of a text with several are indented under the
  // first. A write that fails is counted and the run goes on.
  void Write(std::u16string_view text);
  // Writes how many entries were lost, if any, and closes the file.
  void Close();

 private:
  platform::Text Refusal(platform::Long file);

  platform::Platform& platform_;  // closes the file
  platform::DeploymentServices& services_;
  platform::Long file_ = 0;
  platform::Text full_path_;
  int failed_writes_ = 0;
};

// The reason for a Windows error when opening a file, for a person.
platform::Text FileErrorReason(platform::Long error);

}  // namespace deployment
