// platform_probe: runs the registry readers, the Windows version name and the
// version decoder over the real Win32 platform, so the host can hold each
// answer against the simulated platform's.
//
//   platform_probe.exe <requests file> <answers file>
//
// Requests and answers: tests/wine/probe/probe_answers.h.
// The decoder's notice is a real message box: run this under boxbot.
// Exit status: 0 done, 2 bad usage or files.
#include "platform/win32/win32_platform.h"
#include "probe_answers.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

bool read_requests(const wchar_t* path, std::vector<std::vector<std::string>>& requests) {
  FILE* file = _wfopen(path, L"rb");
  if (file == nullptr) return false;
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  std::fclose(file);
  std::size_t begin = 0;
  for (std::size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1) {
    const std::string line = text.substr(begin, end - begin);
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (std::size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
      fields.push_back(line.substr(from, tab - from));
    fields.push_back(line.substr(from));
    requests.push_back(fields);
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::vector<std::string>> requests;
  if (argc != 3 || !read_requests(argv[1], requests)) {
    std::fputws(L"usage: platform_probe <requests file> <answers file>\n", stderr);
    return 2;
  }
  FILE* answers = _wfopen(argv[2], L"wb");
  if (answers == nullptr) return 2;
  platform::win32::Win32Platform p(::GetModuleHandleW(nullptr));
  for (const auto& request : requests) {
    if (request.empty() || request[0].empty()) continue;
    const std::vector<std::string> fields = probe::answer(p, request);
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) line += (i == 0 ? "" : "\t") + fields[i];
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), answers);
    std::fflush(answers);
  }
  std::fclose(answers);
  return 0;
}
