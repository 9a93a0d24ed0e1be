// desktop: creates one hidden window and ends; exit status 0 when it could.
// The first window of a Wine session starts Wine's desktop (explorer.exe
// /desktop, which loads the display driver) and waits 10 s for it; a program
// that gives up waiting runs without a driver, and its boxes fail at once
// (MessageBoxW returns -1). The harness runs this until it succeeds, so that
// no program under test is the one that waits.
#include <windows.h>

int wmain() {
  const HWND window = CreateWindowExW(0, L"STATIC", L"desktop", WS_POPUP, 0, 0, 1, 1, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) return 1;
  DestroyWindow(window);
  return 0;
}
