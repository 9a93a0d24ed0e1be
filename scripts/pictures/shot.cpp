// shot.exe: runs a program, photographs its first dialog of a kind as the
// screen shows it, then answers it and every later box, and waits for the
// end. For the README's pictures (scripts/pictures/make.sh), under Wine with
// its X11 driver.
//
//   shot.exe OUT.bmp KIND ANSWER [--hold-mutex NAME] -- PROGRAM [ARGS...]
//
// KIND: box (a dialog with buttons) or window (a dialog without, the
// progress window). ANSWER: the button id the photographed box gets (0 for
// none: a window, or a countdown left to run out); later boxes get their
// default button. --hold-mutex makes the program meet another copy.
// Exit status: 0 photographed and ended, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Search {
  DWORD pid;
  bool want_buttons;
  HWND found;
};

bool has_buttons(HWND dialog) {
  return GetDlgItem(dialog, IDOK) || GetDlgItem(dialog, IDCANCEL) || GetDlgItem(dialog, IDNO);
}

BOOL CALLBACK find_dialog(HWND hwnd, LPARAM param) {
  auto& search = *reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t name[16] = {};
  if (pid == search.pid && IsWindowVisible(hwnd) && GetClassNameW(hwnd, name, 16) &&
      lstrcmpW(name, L"#32770") == 0 && has_buttons(hwnd) == search.want_buttons) {
    search.found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// The window's pixels as the screen shows them, frame included, as a
// 24-bit bottom-up BMP.
bool photograph(HWND window, const wchar_t* path) {
  RECT r;
  GetWindowRect(window, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);

  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const DWORD row = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::vector<BYTE> pixels(row * static_cast<DWORD>(height));
  const int lines = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                              reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (lines != height) return false;

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  FILE* out = _wfopen(path, L"wb");
  if (out == nullptr) return false;
  const bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                  std::fwrite(&info, sizeof info, 1, out) == 1 &&
                  std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
  return std::fclose(out) == 0 && ok;
}

void press(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

int default_button(HWND dialog) {
  const LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
  if (HIWORD(def) == DC_HASDEFID && GetDlgItem(dialog, LOWORD(def))) return LOWORD(def);
  return GetDlgItem(dialog, IDNO) ? IDNO : GetDlgItem(dialog, IDCANCEL) ? IDCANCEL : IDOK;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int i = 4;
  const wchar_t* mutex_name = nullptr;
  if (argc > 6 && std::wcscmp(argv[i], L"--hold-mutex") == 0) mutex_name = argv[i + 1], i += 2;
  if (argc < i + 2 || std::wcscmp(argv[i], L"--") != 0) {
    std::fputs("usage: shot OUT.bmp box|window ANSWER [--hold-mutex NAME] -- PROGRAM [ARGS...]\n",
               stderr);
    return 1;
  }
  const wchar_t* out = argv[1];
  const bool want_box = std::wcscmp(argv[2], L"box") == 0;
  const int answer = _wtoi(argv[3]);
  std::wstring command;
  for (int k = i + 1; k < argc; ++k) command += (command.empty() ? L"" : L" ") + std::wstring(argv[k]);
  if (mutex_name != nullptr) CreateMutexW(nullptr, TRUE, mutex_name);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr, "shot: cannot start the program (%lu)\n", GetLastError());
    return 1;
  }
  bool taken = false;
  HWND photographed = nullptr;
  for (DWORD waited = 0; waited < 120000; waited += 50) {
    if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) break;
    Search search{process.dwProcessId, want_box, nullptr};
    EnumWindows(find_dialog, reinterpret_cast<LPARAM>(&search));
    if (!taken && search.found != nullptr) {
      // Painted whole before the picture: the window's own paint, then a pause
      // for Wine's X11 driver to put it on the screen.
      SetForegroundWindow(search.found);
      RedrawWindow(search.found, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
      Sleep(1500);
      taken = photograph(search.found, out);
      photographed = search.found;
      if (!taken) std::fputs("shot: the picture could not be taken\n", stderr);
      if (answer != 0) press(search.found, answer);
      continue;
    }
    // Every other box: its default button.
    Search other{process.dwProcessId, true, nullptr};
    EnumWindows(find_dialog, reinterpret_cast<LPARAM>(&other));
    if (taken && other.found != nullptr && other.found != photographed) {
      Sleep(300);
      press(other.found, default_button(other.found));
    }
  }
  const bool ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(process.hProcess, 1);
  return taken && ended ? 0 : 1;
}
