// A program that must never run: it leaves "<its own path>.ran" holding its
// command line, so a test can tell it was started.
#include <windows.h>

#include <string>

#include "log_line.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t module[MAX_PATH * 4];
  const DWORD size = GetModuleFileNameW(nullptr, module, MAX_PATH * 4);
  logline::append(std::wstring(module, size) + L".ran", {L"ran", GetCommandLineW()});
  return 0;
}
