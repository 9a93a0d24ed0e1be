// Shows that the version.dll canary is loaded from a program's folder and
// names its caller: imports version.dll and reads the version size of the
// file given. Exit status 0 when a size came back.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  DWORD handle = 0;
  return GetFileVersionInfoSizeW(argv[1], &handle) != 0 ? 0 : 1;
}
