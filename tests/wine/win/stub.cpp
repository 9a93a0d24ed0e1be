// Stand-in installer for the Wine tests, copied under the names Hotfix runs.
// It records how it was started to the file named by HOTFIX_STUB_LOG
// (records as in log_line.h):
//   start <tick> <pid> <module path> <command line> <current dir> <uses show> <show>
//   end   <tick> <pid> <exit code>
// <uses show> is 1 when STARTUPINFO has STARTF_USESHOWWINDOW, else 0;
// <show> is its wShowWindow (0 is SW_HIDE).
// <tick> is GetTickCount(), one clock for every process, so records of
// different programs can be ordered.
// Behaviour by environment; each value is either a number for every stub or
// a comma list of name=number, e.g. "40517.exe=1500,40517-2.exe=0":
//   HOTFIX_STUB_SLEEP_MS   time between start and end (default 0)
//   HOTFIX_STUB_EXIT_CODE  exit status (default 0)
// HOTFIX_STUB_RUN, a command line, is run by the stub named in
// HOTFIX_STUB_RUN_BY and waited for before that stub ends (a second copy of
// the program while the first waits for its installer); recorded as
//   ran   <tick> <pid> <exit code of what it ran, or "failed <error>">
#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <string>

#include "log_line.h"

namespace {

std::wstring environment(const wchar_t* name) {
  wchar_t buffer[4096];
  const DWORD size = GetEnvironmentVariableW(name, buffer, 4096);
  if (size == 0 || size >= 4096) return {};
  return std::wstring(buffer, size);
}

std::wstring module_path() {
  wchar_t buffer[MAX_PATH * 4];
  const DWORD size = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
  return std::wstring(buffer, size);
}

std::wstring current_directory() {
  wchar_t buffer[MAX_PATH * 4];
  const DWORD size = GetCurrentDirectoryW(MAX_PATH * 4, buffer);
  return std::wstring(buffer, size);
}

bool same_name(std::wstring a, std::wstring b) {
  for (auto& c : a) c = static_cast<wchar_t>(std::towlower(c));
  for (auto& c : b) c = static_cast<wchar_t>(std::towlower(c));
  return a == b;
}

// The number this stub takes from a setting: a plain number applies to all,
// a "name=number" entry only to the stub with that file name.
unsigned long setting(const wchar_t* name, const std::wstring& own_name, unsigned long fallback) {
  const std::wstring value = environment(name);
  size_t begin = 0;
  while (begin < value.size()) {
    size_t end = value.find(L',', begin);
    if (end == std::wstring::npos) end = value.size();
    const std::wstring entry = value.substr(begin, end - begin);
    const size_t equals = entry.find(L'=');
    if (equals == std::wstring::npos) return std::wcstoul(entry.c_str(), nullptr, 10);
    if (same_name(entry.substr(0, equals), own_name))
      return std::wcstoul(entry.c_str() + equals + 1, nullptr, 10);
    begin = end + 1;
  }
  return fallback;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::wstring log = environment(L"HOTFIX_STUB_LOG");
  const std::wstring module = module_path();
  const std::wstring own_name = module.substr(module.find_last_of(L'\\') + 1);
  const unsigned long sleep_ms = setting(L"HOTFIX_STUB_SLEEP_MS", own_name, 0);
  const auto exit_code = static_cast<UINT>(setting(L"HOTFIX_STUB_EXIT_CODE", own_name, 0));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  const bool show_flag = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0;
  const std::wstring pid = std::to_wstring(GetCurrentProcessId());

  if (!log.empty())
    logline::append(log, {L"start", std::to_wstring(GetTickCount()), pid, module,
                          GetCommandLineW(), current_directory(), show_flag ? L"1" : L"0",
                          std::to_wstring(startup.wShowWindow)});
  if (sleep_ms != 0) Sleep(sleep_ms);
  std::wstring run = environment(L"HOTFIX_STUB_RUN");
  if (!run.empty() && same_name(environment(L"HOTFIX_STUB_RUN_BY"), own_name)) {
    // Once: the copy it starts, and that copy's installers, must not run it again.
    SetEnvironmentVariableW(L"HOTFIX_STUB_RUN", nullptr);
    STARTUPINFOW child_startup{};
    child_startup.cb = sizeof child_startup;
    PROCESS_INFORMATION child{};
    std::wstring outcome;
    if (CreateProcessW(nullptr, run.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &child_startup, &child)) {
      WaitForSingleObject(child.hProcess, INFINITE);  // the robot it runs has a time limit
      DWORD code = 0;
      GetExitCodeProcess(child.hProcess, &code);
      outcome = std::to_wstring(code);
      CloseHandle(child.hThread);
      CloseHandle(child.hProcess);
    } else {
      outcome = L"failed " + std::to_wstring(GetLastError());
    }
    if (!log.empty()) logline::append(log, {L"ran", std::to_wstring(GetTickCount()), pid, outcome});
  }
  if (!log.empty())
    logline::append(log, {L"end", std::to_wstring(GetTickCount()), pid,
                          std::to_wstring(exit_code)});
  return static_cast<int>(exit_code);
}
