// desktop [WAIT_MS]: creates one hidden window and ends; exit status 0 when
// it could.
// The first window of a Wine session starts Wine's desktop (explorer.exe
// /desktop, which loads the display driver) and waits 10 s for it; a program
// that gives up waiting runs without a driver, and its boxes fail at once
// (MessageBoxW returns -1). The harness runs this until it succeeds, so that
// no program under test is the one that waits.
// On a new wineserver the first explorer also fails on its own: it looks for
// the display adapter before the session has registered it. The session's
// services run only while a program does, so a failed attempt stays until
// the adapter is registered (or WAIT_MS passes); otherwise, under emulation,
// each attempt starts a new session that loses the same race.
#include <windows.h>

#include <cwchar>

namespace {

bool adapter_registered() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\VIDEO", 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS)
    return false;
  const bool found =
      RegQueryValueExW(key, L"\\Device\\Video0", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return found;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const HWND window = CreateWindowExW(0, L"STATIC", L"desktop", WS_POPUP, 0, 0, 1, 1, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window != nullptr) {
    DestroyWindow(window);
    return 0;
  }
  const DWORD wait = argc > 1 ? static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10)) : 0;
  for (const DWORD began = GetTickCount(); !adapter_registered() && GetTickCount() - began < wait;)
    Sleep(100);
  return 1;
}
