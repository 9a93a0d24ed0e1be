// busy.exe: a CPU-bound stand-in installer. Two threads each do a fixed amount
// of arithmetic (BENCH_BUSY_WORK rounds, default about 2 s on a 2020s core),
// so a busier machine makes it take longer instead of doing less. Its own
// wall time, start to end, is appended in milliseconds to the file named by
// BENCH_BUSY_LOG.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

unsigned long long rounds = 900'000'000ULL;
volatile unsigned long long sink;

DWORD WINAPI work(LPVOID seed) {
  // A dependent chain the compiler cannot shorten or vectorise.
  unsigned long long x = reinterpret_cast<ULONG_PTR>(seed) | 1;
  for (unsigned long long i = 0; i < rounds; ++i) x = x * 6364136223846793005ULL + i;
  sink = x;
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t value[64];
  if (GetEnvironmentVariableW(L"BENCH_BUSY_WORK", value, 64) - 1u < 63u)
    rounds = std::wcstoull(value, nullptr, 10);
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  HANDLE threads[2];
  for (int i = 0; i < 2; ++i)
    threads[i] = CreateThread(nullptr, 0, work, reinterpret_cast<LPVOID>(ULONG_PTR(i + 1)), 0,
                              nullptr);
  WaitForMultipleObjects(2, threads, TRUE, INFINITE);
  QueryPerformanceCounter(&end);
  wchar_t log[MAX_PATH];
  if (GetEnvironmentVariableW(L"BENCH_BUSY_LOG", log, MAX_PATH) - 1u < MAX_PATH - 1u) {
    if (FILE* out = _wfopen(log, L"a")) {
      std::fprintf(out, "%.1f\n",
                   double(end.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart));
      std::fclose(out);
    }
  }
  return 0;
}
