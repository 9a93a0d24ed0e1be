// Hotfix.exe: the Windows host.
#include "platform/win32/windows_h.h"

#include "platform/entry.h"
#include "platform/win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  platform::win32::HardenDllSearch();
  platform::win32::Win32Platform host(instance);
  platform::ProgramMain(host, host);
}
