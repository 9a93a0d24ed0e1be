// latebox: a message box that another process cannot read at once, as a box
// can look under load or under software emulation.
//
//   latebox.exe text MS    the box comes up without title and text; both are
//                          set MS milliseconds later
//   latebox.exe stall MS   the box is whole, but its thread answers no
//                          message for MS milliseconds
//   latebox.exe never      the box never gets a title or a text
//   latebox.exe once FILE  where FILE exists, ends at once with 0; otherwise
//                          makes it and waits on a box nobody answers (a
//                          set-up step that only a second attempt finishes)
// Exit status: the button that closed the box (IDYES 6, IDNO 7).
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kTitle[] = L"Late box";
constexpr wchar_t kText[] = L"Read me whole";

std::wstring g_mode;
DWORD g_delay_ms = 0;
UINT_PTR g_timer = 0;

BOOL CALLBACK set_texts(HWND hwnd, LPARAM) {
  wchar_t name[16] = {};
  GetClassNameW(hwnd, name, 16);
  if (std::wcscmp(name, L"#32770") != 0) return TRUE;
  SetWindowTextW(hwnd, kTitle);
  SetDlgItemTextW(hwnd, 0xFFFF, kText);
  return FALSE;
}

// Runs inside the box's own message loop, on the box's thread.
void CALLBACK on_timer(HWND, UINT, UINT_PTR, DWORD) {
  KillTimer(nullptr, g_timer);
  if (g_mode == L"stall") Sleep(g_delay_ms);
  else EnumThreadWindows(GetCurrentThreadId(), set_texts, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 100;
  g_mode = argv[1];
  g_delay_ms = argc > 2 ? std::wcstoul(argv[2], nullptr, 10) : 0;
  if (g_mode == L"never")
    return MessageBoxW(nullptr, L"", L"", MB_YESNO);
  if (g_mode == L"once" && argc > 2) {
    if (GetFileAttributesW(argv[2]) != INVALID_FILE_ATTRIBUTES) return 0;
    CloseHandle(CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    return MessageBoxW(nullptr, L"Waiting", L"Once", MB_OK);
  }
  if (g_mode != L"text" && g_mode != L"stall") return 100;
  // A thread timer fires once the box's loop runs, that is once it is shown.
  g_timer = SetTimer(nullptr, 0, g_mode == L"stall" ? 10 : g_delay_ms, on_timer);
  return g_mode == L"stall" ? MessageBoxW(nullptr, kText, kTitle, MB_YESNO)
                            : MessageBoxW(nullptr, L"", L"", MB_YESNO);
}
