// benchrun.exe: times Windows programs under Wine from just before
// CreateProcess until their first message box is visible, answers the box,
// and waits for the end. Runs the programs interleaved, so a load change on
// the machine hits all of them alike.
//
//   benchrun [--runs N] [--warmup N] [--poll-ms N] [--cpu] LABEL=PROGRAM[|ARGUMENTS]...
//
// The box is the restart question, answered No, or the restart countdown of
// /warnrestart and /passive (title "Reboot", no No button), answered Annulla.
//
// One line per measured run on stdout, TAB-separated:
//   run <i> <label> <ms to box> <cpu ms> <wineserver cpu ms> <exit status> <child ms>
// <cpu ms>: the program's own CPU time (user + system) until its box, read
// from Linux's /proc through Wine's Z: drive (Wine's GetProcessTimes gives 0
// for other processes); <wineserver cpu ms>: the wineserver's CPU time over
// the same span, since every Windows call that waits or opens a process is
// served there. Both -1 without --cpu. <child ms>: the last line of the file
// named by BENCH_BUSY_LOG after the run, or -1.
// Exit status 0; 1 when a box other than the restart question came up or a
// program did not start or end.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kRunTimeoutMs = 120000;

struct Program {
  std::wstring label;
  std::wstring path;
  std::wstring arguments;
};

std::wstring env(const wchar_t* name) {
  wchar_t buffer[4096];
  const DWORD size = GetEnvironmentVariableW(name, buffer, 4096);
  return size == 0 || size >= 4096 ? std::wstring() : std::wstring(buffer, size);
}

std::string narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

std::string read_file(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string out;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got != 0) out.append(buffer, got);
  CloseHandle(file);
  return out;
}

// ---- Linux processes, seen through Z:\proc ----------------------------------

struct ProcStat {
  long long cpu_ticks = -1;  // utime + stime, in 1/100 s (USER_HZ on x86)
  long long start = 0;       // start time, for telling apart processes of one name
};

ProcStat proc_stat(const std::wstring& pid) {
  const std::string stat = read_file(L"Z:\\proc\\" + pid + L"\\stat");
  const size_t close = stat.rfind(") ");
  ProcStat out;
  if (close == std::string::npos) return out;
  // Fields after the name: state is field 3; utime 14, stime 15, starttime 22.
  std::vector<long long> fields;
  const char* p = stat.c_str() + close + 2;
  if (*p == 'Z') return out;
  for (int field = 3; *p && field <= 22; ++field) {
    fields.push_back(std::strtoll(p, nullptr, 10));
    while (*p && *p != ' ') ++p;
    while (*p == ' ') ++p;
  }
  if (fields.size() < 20) return out;
  out.cpu_ticks = fields[14 - 3] + fields[15 - 3];
  out.start = fields[22 - 3];
  return out;
}

// The newest live Linux process of this Wine prefix whose command line ends
// with `suffix` (Wine shows a Windows program's path as its command line).
std::wstring find_unix_process(const std::string& suffix) {
  const std::string prefix = "WINEPREFIX=" + narrow(env(L"WINEPREFIX"));
  std::wstring best;
  long long best_start = -1;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(L"Z:\\proc\\*", &entry);
  if (find == INVALID_HANDLE_VALUE) return best;
  do {
    const std::wstring pid = entry.cFileName;
    if (pid.empty() || pid.find_first_not_of(L"0123456789") != std::wstring::npos) continue;
    std::string command = read_file(L"Z:\\proc\\" + pid + L"\\cmdline");
    command = command.substr(0, command.find('\0'));
    if (command.size() < suffix.size() ||
        _stricmp(command.c_str() + command.size() - suffix.size(), suffix.c_str()) != 0)
      continue;
    const std::string variables = read_file(L"Z:\\proc\\" + pid + L"\\environ");
    bool ours = false;
    for (size_t begin = 0; begin < variables.size();) {
      const size_t end = std::min(variables.find('\0', begin), variables.size());
      if (variables.compare(begin, end - begin, prefix) == 0) ours = true;
      begin = end + 1;
    }
    const ProcStat stat = proc_stat(pid);
    if (ours && stat.cpu_ticks >= 0 && stat.start > best_start) {
      best = pid;
      best_start = stat.start;
    }
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return best;
}

// ---- boxes --------------------------------------------------------------------

struct Search {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK find_box(HWND hwnd, LPARAM param) {
  auto& search = *reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t name[16] = {};
  // A dialog with a button: /passive's progress window has none.
  if (pid == search.pid && IsWindowVisible(hwnd) && GetClassNameW(hwnd, name, 16) &&
      lstrcmpW(name, L"#32770") == 0 &&
      (GetDlgItem(hwnd, IDNO) || GetDlgItem(hwnd, IDCANCEL) || GetDlgItem(hwnd, IDOK))) {
    search.found = hwnd;
    return FALSE;
  }
  return TRUE;
}

double now_ms() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return double(counter.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

struct Options {
  int runs = 5;
  int warmup = 1;
  DWORD poll_ms = 1;
  bool cpu = false;
  std::vector<Program> programs;
};

std::string last_line(const std::string& text) {
  size_t end = text.find_last_not_of("\r\n");
  if (end == std::string::npos) return "-1";
  const size_t begin = text.find_last_of('\n', end);
  return text.substr(begin == std::string::npos ? 0 : begin + 1, end + 1 - (begin + 1));
}

// One run; false when it did not go as a run of the fix should.
bool run_once(const Options& options, const Program& program, int index, bool record) {
  const std::wstring busy_log = env(L"BENCH_BUSY_LOG");
  if (!busy_log.empty()) DeleteFileW(busy_log.c_str());
  std::wstring command = L"\"" + program.path + L"\"";
  if (!program.arguments.empty()) command += L" " + program.arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};

  const double start = now_ms();
  if (!CreateProcessW(program.path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    std::fprintf(stderr, "benchrun: cannot start %s (%lu)\n", narrow(program.path).c_str(),
                 GetLastError());
    return false;
  }
  CloseHandle(process.hThread);

  std::wstring unix_pid, server_pid;
  ProcStat server_before;
  if (options.cpu) {
    const std::wstring name = program.path.substr(program.path.find_last_of(L'\\'));
    unix_pid = find_unix_process(narrow(name));
    server_pid = find_unix_process("wineserver");
    if (server_pid.empty()) server_pid = find_unix_process("wineserver64");
    server_before = proc_stat(server_pid);
  }

  Search search{process.dwProcessId, nullptr};
  double box_at = -1;
  bool ended_early = false;
  while (now_ms() - start < kRunTimeoutMs) {
    EnumWindows(find_box, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) {
      box_at = now_ms();
      break;
    }
    if (WaitForSingleObject(process.hProcess, options.poll_ms) == WAIT_OBJECT_0) {
      ended_early = true;
      break;
    }
  }

  long long cpu_ms = -1, server_ms = -1;
  if (options.cpu && search.found != nullptr) {
    const ProcStat own = unix_pid.empty() ? ProcStat{} : proc_stat(unix_pid);
    const ProcStat server = proc_stat(server_pid);
    if (own.cpu_ticks >= 0) cpu_ms = own.cpu_ticks * 10;
    if (server.cpu_ticks >= 0 && server_before.cpu_ticks >= 0)
      server_ms = (server.cpu_ticks - server_before.cpu_ticks) * 10;
  }

  bool ok = true;
  if (search.found != nullptr) {
    wchar_t title[256] = {};
    GetWindowTextW(search.found, title, 256);
    HWND no = GetDlgItem(search.found, IDNO);
    if (no == nullptr) no = GetDlgItem(search.found, IDCANCEL);  // the countdown's Annulla
    if (lstrcmpW(title, L"Reboot") != 0 || no == nullptr) {
      std::fprintf(stderr, "benchrun: %s showed \"%s\", not the restart question\n",
                   narrow(program.label).c_str(), narrow(title).c_str());
      ok = false;
      no = GetDlgItem(search.found, IDOK);
    }
    PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(no), BN_CLICKED),
                 reinterpret_cast<LPARAM>(no));
  } else {
    std::fprintf(stderr, "benchrun: %s %s without a box\n", narrow(program.label).c_str(),
                 ended_early ? "ended" : "ran 120 s");
    ok = false;
  }
  if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    std::fprintf(stderr, "benchrun: %s did not end\n", narrow(program.label).c_str());
    ok = false;
  }
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);

  if (record && ok) {
    const std::string child = busy_log.empty() ? "-1" : last_line(read_file(busy_log));
    std::printf("run\t%d\t%s\t%.1f\t%lld\t%lld\t%lu\t%s\n", index, narrow(program.label).c_str(),
                box_at - start, cpu_ms, server_ms, status, child.c_str());
    std::fflush(stdout);
  }
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--runs" && i + 1 < argc) options.runs = _wtoi(argv[++i]);
    else if (arg == L"--warmup" && i + 1 < argc) options.warmup = _wtoi(argv[++i]);
    else if (arg == L"--poll-ms" && i + 1 < argc) options.poll_ms = _wtoi(argv[++i]);
    else if (arg == L"--cpu") options.cpu = true;
    else if (arg.find(L'=') != std::wstring::npos) {
      const std::wstring command = arg.substr(arg.find(L'=') + 1);  // PROGRAM[|ARGUMENTS]
      const size_t bar = command.find(L'|');
      options.programs.push_back({arg.substr(0, arg.find(L'=')), command.substr(0, bar),
                                  bar == std::wstring::npos ? L"" : command.substr(bar + 1)});
    }
    else {
      std::fputs("usage: benchrun [--runs N] [--warmup N] [--poll-ms N] [--cpu] "
                 "LABEL=PROGRAM[|ARGUMENTS]...\n",
                 stderr);
      return 2;
    }
  }
  if (options.programs.empty()) return 2;
  bool ok = true;
  for (int i = 0; i < options.warmup; ++i)
    for (const auto& program : options.programs) ok = run_once(options, program, -1, false) && ok;
  for (int i = 0; i < options.runs; ++i)
    for (const auto& program : options.programs) ok = run_once(options, program, i, true) && ok;
  return ok ? 0 : 1;
}
