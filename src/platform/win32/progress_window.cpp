#include "platform/win32/progress_window.h"

#include "platform/win32/ansi.h"
#include "platform/win32/dialog_template.h"

namespace platform::win32 {
namespace {

constexpr wchar_t kBarClass[] = L"HotfixProgressBar";
constexpr WORD kHeadingId = 100;
constexpr WORD kStepId = 101;
constexpr WORD kBarId = 102;
constexpr UINT_PTR kTimerId = 1;
constexpr int kBlocks = 5;  // the moving part, in blocks of the bar's height

// A marquee drawn with user32 alone: comctl32 is no KnownDLL on Windows XP,
// so importing it would load any comctl32.dll put beside the program. There
// is one bar at most, and its timer dies with it.
LRESULT CALLBACK BarProc(HWND bar, UINT message, WPARAM wparam, LPARAM lparam) {
  static unsigned step = 0;
  switch (message) {
    case WM_CREATE:
      ::SetTimer(bar, kTimerId, 60, nullptr);
      return 0;
    case WM_TIMER:
      ++step;
      ::InvalidateRect(bar, nullptr, TRUE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(bar, &paint);
      RECT r;
      ::GetClientRect(bar, &r);  // inside the sunken edge (WS_EX_CLIENTEDGE)
      const LONG width = r.right - r.left, block = r.bottom - r.top;
      const LONG run = width + kBlocks * block;
      const LONG left = r.left - kBlocks * block +
                        static_cast<LONG>(step * 4 % static_cast<unsigned>(run));
      RECT moving{left < r.left ? r.left : left, r.top,
                  left + kBlocks * block > r.right ? r.right : left + kBlocks * block, r.bottom};
      if (moving.right > moving.left)
        ::FillRect(dc, &moving, reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1));
      ::EndPaint(bar, &paint);
      return 0;
    }
    default:
      return ::DefWindowProcW(bar, message, wparam, lparam);
  }
}

bool RegisterBarClass(HINSTANCE instance) {
  WNDCLASSW bar{};
  bar.style = CS_HREDRAW | CS_VREDRAW;
  bar.lpfnWndProc = BarProc;
  bar.hInstance = instance;
  bar.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  bar.lpszClassName = kBarClass;
  return ::RegisterClassW(&bar) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// A dialog without buttons: nothing closes it but the program (the dialog
// manager turns Alt+F4 into IDCANCEL, which this ignores).
INT_PTR CALLBACK NoDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// Painted only once its texts are set: that waits for the next DoEvents.
constexpr DialogTemplate kWindow =
    DialogTemplate(DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_VISIBLE, WS_EX_TOPMOST,
                   236, 64)
        .Add(DialogTemplate::kStatic, nullptr, SS_LEFT | SS_NOPREFIX, 10, 8, 216, 18, kHeadingId)
        .Add(DialogTemplate::kStatic, nullptr, SS_LEFT | SS_NOPREFIX, 10, 28, 216, 9, kStepId)
        .Add(0, kBarClass, 0, 10, 42, 216, 12, kBarId, WS_EX_CLIENTEDGE);

}  // namespace

bool ProgressWindow::Show(const Text& caption, const Text& heading, const Text& step) {
  if (window_ == nullptr) {
    if (!RegisterBarClass(instance_)) return false;
    window_ = ::CreateDialogIndirectParamW(instance_, kWindow.get(), nullptr, NoDialogProc, 0);
    if (window_ == nullptr) return false;
  }
  // The caption last: another program reading the new window (an
  // accessibility tool, the tests' robot) takes a captioned one as whole.
  ::SetWindowTextW(::GetDlgItem(window_, kHeadingId), WideZ(heading));
  ::SetWindowTextW(::GetDlgItem(window_, kStepId), WideZ(step));
  ::SetWindowTextW(window_, WideZ(caption));
  return true;
}

void ProgressWindow::Close() {
  if (window_ == nullptr) return;
  ::DestroyWindow(window_);
  window_ = nullptr;
}

}  // namespace platform::win32
