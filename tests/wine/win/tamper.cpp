// Tries to change the file named on its command line the four ways a person
// or program with write access to the folder could, while Hotfix.exe should
// hold it: open it for writing, rename it, replace it with another file,
// delete it. The exit code has a bit for each that worked (0: all refused):
//   1 opened for writing, 2 renamed, 4 replaced, 8 deleted
// What worked is undone where it can be, so that the run goes on as before.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 255;
  const std::wstring target = argv[1];
  const std::wstring moved = target + L".moved";
  const std::wstring other = target + L".other";
  int worked = 0;

  const HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    worked |= 1;
    CloseHandle(file);
  }
  if (MoveFileExW(target.c_str(), moved.c_str(), 0)) {
    worked |= 2;
    MoveFileExW(moved.c_str(), target.c_str(), 0);
  }
  // A copy of itself stands in for a planted program.
  wchar_t self[MAX_PATH * 4];
  const DWORD size = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  if (size > 0 && size < MAX_PATH * 4 && CopyFileW(self, other.c_str(), FALSE)) {
    if (MoveFileExW(other.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) worked |= 4;
    else DeleteFileW(other.c_str());
  }
  if (DeleteFileW(target.c_str())) worked |= 8;
  return worked;
}
