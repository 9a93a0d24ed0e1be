// Log records shared by boxbot and stub: UTF-8, one record a line, fields
// separated by TAB. Inside a field, backslash, TAB, CR and LF are written as
// \\ \t \r \n so any text (message box bodies have CR LF) stays on one line.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace logline {

inline std::wstring escape(const std::wstring& field) {
  std::wstring out;
  for (wchar_t c : field) {
    switch (c) {
      case L'\\': out += L"\\\\"; break;
      case L'\t': out += L"\\t"; break;
      case L'\r': out += L"\\r"; break;
      case L'\n': out += L"\\n"; break;
      default: out += c;
    }
  }
  return out;
}

inline std::string to_utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

// One record: escaped fields joined by TAB, LF-terminated, UTF-8.
inline std::string record(const std::vector<std::wstring>& fields) {
  std::wstring line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) line += L'\t';
    line += escape(fields[i]);
  }
  line += L'\n';
  return to_utf8(line);
}

// Appends whole records; the file is shared so several writers (two stubs, or
// a stub while the host reads) never lock each other out, and each record
// goes out in one WriteFile at the end of the file.
inline bool append(const std::wstring& path, const std::vector<std::wstring>& fields) {
  const std::string bytes = record(fields);
  for (int attempt = 0; attempt < 50; ++attempt) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      Sleep(20);
      continue;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                              nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
  }
  return false;
}

}  // namespace logline
