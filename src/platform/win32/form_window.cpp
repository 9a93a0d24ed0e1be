#include "platform/win32/form_window.h"

#include "platform/win32/ansi.h"

namespace platform::win32 {
namespace {

constexpr wchar_t kClassName[] = L"HotfixForm";

ATOM RegisterFormClass(HINSTANCE instance) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ::DefWindowProcW;  // the form handles no message itself
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  return ::RegisterClassW(&wc);
}

}  // namespace

FormWindow::FormWindow(HINSTANCE instance) {
  if (RegisterFormClass(instance) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return;
  // No WS_VISIBLE and no ShowWindow: the form is never displayed.
  window_ = ::CreateWindowExW(0, kClassName, L"Form1", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                              instance, nullptr);
}

FormWindow::~FormWindow() { Unload(); }

void FormWindow::Print(const Text& line) {
  lines_.push_back(line);
  ::OutputDebugStringW(WideZ(Concat({line, "\n"})));
}

void FormWindow::Unload() {
  if (window_ != nullptr) {
    ::DestroyWindow(window_);
    window_ = nullptr;
  }
}

}  // namespace platform::win32
