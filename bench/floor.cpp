// floor.exe: the least a Win32 program can do for the same visible result as
// Hotfix.exe on a machine where the fix applies: start the two installers from
// its own folder one after the other, hidden, wait for each, ask the restart
// question. No checks. Win32 calls only, so the C++ runtime adds nothing to
// its start-up.
//
// Two variants add, one at a time, what Hotfix.exe must do beyond this, so
// that the start-up gap can be split: FLOOR_FORM creates a hidden top-level
// window as Hotfix's Form1, FLOOR_POLL waits with Hotfix's polling pass
// instead of blocking.
#include <windows.h>

#ifndef FLOOR_FORM
#define FLOOR_FORM 0
#endif
#ifndef FLOOR_POLL
#define FLOOR_POLL 0
#endif

namespace {

// Hotfix's pass: open, zero-time wait, close, pump messages, yield.
void poll_until_ended(DWORD process_id) {
  for (;;) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
    const bool ended = process == nullptr || WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    if (process != nullptr) CloseHandle(process);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(0);
    if (ended) return;
  }
}

// Hotfix's Form1 window: registered and created, never shown.
void create_hidden_form(HINSTANCE instance) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.lpszClassName = L"FloorForm";
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  RegisterClassW(&wc);
  CreateWindowExW(0, L"FloorForm", L"Form1", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
}

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
  if (FLOOR_POLL) {
    CloseHandle(process.hProcess);  // Hotfix keeps only the identifier
    poll_until_ended(process.dwProcessId);
  } else {
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
  }
  return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  if (FLOOR_FORM) create_hidden_form(instance);
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
