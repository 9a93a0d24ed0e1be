// A stand-in version.dll for the Wine tests, put beside Hotfix.exe. It hands
// every call on to the system's version.dll and records who made it, to the
// file named by HOTFIX_CANARY_LOG (records as in log_line.h):
//   attach <process module>            loaded into a process
//   call   <function> <caller module>  caller: the module the call returned to
// Were Hotfix.exe to take version.dll from its own folder, its calls would
// show up here with Hotfix.exe as the caller.
#include <windows.h>

#include <string>

#include "log_line.h"

namespace {

std::wstring environment(const wchar_t* name) {
  wchar_t buffer[4096];
  const DWORD size = GetEnvironmentVariableW(name, buffer, 4096);
  if (size == 0 || size >= 4096) return {};
  return std::wstring(buffer, size);
}

std::wstring module_name(HMODULE module) {
  wchar_t buffer[MAX_PATH * 4];
  const DWORD size = GetModuleFileNameW(module, buffer, MAX_PATH * 4);
  return std::wstring(buffer, size);
}

std::wstring caller_module(void* return_address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCWSTR>(return_address), &module))
    return L"?";
  return module_name(module);
}

void log(const std::vector<std::wstring>& fields) {
  const std::wstring file = environment(L"HOTFIX_CANARY_LOG");
  if (!file.empty()) logline::append(file, fields);
}

FARPROC real(const char* name) {
  static HMODULE module = [] {
    wchar_t dir[MAX_PATH];
    const UINT size = GetSystemDirectoryW(dir, MAX_PATH);
    return LoadLibraryW((std::wstring(dir, size) + L"\\version.dll").c_str());
  }();
  return module != nullptr ? GetProcAddress(module, name) : nullptr;
}

template <typename Fn>
Fn real_as(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(real(name)));
}

}  // namespace

// Each export: log the caller, then call the system's function of that name.
#define CANARY(ret, name, params, args)                                              \
  extern "C" ret WINAPI canary_##name params {                                       \
    log({L"call", L"" #name, caller_module(__builtin_return_address(0))});           \
    using Fn = ret(WINAPI*) params;                                                  \
    const Fn fn = real_as<Fn>(#name);                                                \
    if (fn == nullptr) {                                                             \
      SetLastError(ERROR_PROC_NOT_FOUND);                                            \
      return 0;                                                                      \
    }                                                                                \
    return fn args;                                                                  \
  }

CANARY(DWORD, GetFileVersionInfoSizeA, (LPCSTR f, LPDWORD h), (f, h))
CANARY(DWORD, GetFileVersionInfoSizeW, (LPCWSTR f, LPDWORD h), (f, h))
CANARY(DWORD, GetFileVersionInfoSizeExA, (DWORD x, LPCSTR f, LPDWORD h), (x, f, h))
CANARY(DWORD, GetFileVersionInfoSizeExW, (DWORD x, LPCWSTR f, LPDWORD h), (x, f, h))
CANARY(BOOL, GetFileVersionInfoA, (LPCSTR f, DWORD h, DWORD n, LPVOID d), (f, h, n, d))
CANARY(BOOL, GetFileVersionInfoW, (LPCWSTR f, DWORD h, DWORD n, LPVOID d), (f, h, n, d))
CANARY(BOOL, GetFileVersionInfoExA, (DWORD x, LPCSTR f, DWORD h, DWORD n, LPVOID d),
       (x, f, h, n, d))
CANARY(BOOL, GetFileVersionInfoExW, (DWORD x, LPCWSTR f, DWORD h, DWORD n, LPVOID d),
       (x, f, h, n, d))
CANARY(BOOL, GetFileVersionInfoByHandle, (DWORD x, HANDLE f, LPVOID* d, LPDWORD n),
       (x, f, d, n))
CANARY(BOOL, VerQueryValueA, (LPCVOID b, LPCSTR s, LPVOID* v, PUINT n), (b, s, v, n))
CANARY(BOOL, VerQueryValueW, (LPCVOID b, LPCWSTR s, LPVOID* v, PUINT n), (b, s, v, n))
CANARY(DWORD, VerLanguageNameA, (DWORD l, LPSTR s, DWORD n), (l, s, n))
CANARY(DWORD, VerLanguageNameW, (DWORD l, LPWSTR s, DWORD n), (l, s, n))
CANARY(DWORD, VerFindFileA,
       (DWORD a, LPCSTR b, LPCSTR c, LPCSTR d, LPSTR e, PUINT f, LPSTR g, PUINT h),
       (a, b, c, d, e, f, g, h))
CANARY(DWORD, VerFindFileW,
       (DWORD a, LPCWSTR b, LPCWSTR c, LPCWSTR d, LPWSTR e, PUINT f, LPWSTR g, PUINT h),
       (a, b, c, d, e, f, g, h))
CANARY(DWORD, VerInstallFileA,
       (DWORD a, LPCSTR b, LPCSTR c, LPCSTR d, LPCSTR e, LPCSTR f, LPSTR g, PUINT h),
       (a, b, c, d, e, f, g, h))
CANARY(DWORD, VerInstallFileW,
       (DWORD a, LPCWSTR b, LPCWSTR c, LPCWSTR d, LPCWSTR e, LPCWSTR f, LPWSTR g, PUINT h),
       (a, b, c, d, e, f, g, h))

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) log({L"attach", module_name(nullptr)});
  return TRUE;
}
