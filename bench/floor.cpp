// floor.exe: the least a Win32 program can do for the same visible result as
// Hotfix.exe on a machine where the fix applies: start the two installers from
// its own folder one after the other, hidden, wait for each, ask the restart
// question. No checks. Win32 calls only, so the C++ runtime adds nothing to
// its start-up.
#include <windows.h>

namespace {

// Same launch as Hotfix's: the program named explicitly, its path as the
// whole command line, hidden.
bool run_and_wait(const wchar_t* folder, const wchar_t* name) {
  wchar_t path[MAX_PATH * 2];
  lstrcpyW(path, folder);
  lstrcatW(path, name);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(path, path, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return false;
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t folder[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1603;
  for (DWORD i = length; i > 0; --i)
    if (folder[i - 1] == L'\\') {
      folder[i] = L'\0';
      break;
    }
  if (!run_and_wait(folder, L"40517.exe") || !run_and_wait(folder, L"40517-2.exe")) return 1603;
  const int answer = MessageBoxW(
      nullptr, L"Riavviare Windows per rendere effettive le modifiche apportate. Riavviare adesso?",
      L"Reboot", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  return answer == IDYES ? 1641 : 3010;
}
