// The window object Form1 lives on: a real top-level window, never shown.
#pragma once

#include "platform/win32/windows_h.h"

#include <vector>

#include "platform/text.h"

namespace platform::win32 {

class FormWindow {
 public:
  explicit FormWindow(HINSTANCE instance);
  ~FormWindow();
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  // Keeps the line on the window object and hands it to the debugger output,
  // the one place where support staff (and tests) can read it.
  void Print(const Text& line);
  void Unload();
  const std::vector<Text>& lines() const { return lines_; }

 private:
  HWND window_ = nullptr;
  std::vector<Text> lines_;
};

}  // namespace platform::win32
