// The progress window of /passive: a small modeless window above the others,
// with a heading, the step and a bar that shows activity. No Cancel: the
// installers cannot be stopped halfway.
#pragma once

#include "platform/win32/windows_h.h"

#include "platform/text.h"

namespace platform::win32 {

class ProgressWindow {
 public:
  explicit ProgressWindow(HINSTANCE instance) : instance_(instance) {}
  ~ProgressWindow() { Close(); }
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  // Creates the window, or changes its lines; false when it cannot be created.
  bool Show(const Text& caption, const Text& heading, const Text& step);
  void Close();

 private:
  HINSTANCE instance_;
  HWND window_ = nullptr;
};

}  // namespace platform::win32
