// regset: makes and reads the machine a differential case needs, where
// regedit cannot (it adds the NUL that string data stored without one lacks).
//
//   regset.exe <set file> <keys file>
//
// <set file> holds records as in log_line.h, one value a record, each set to
// exactly these bytes:
//   <key under HKEY_LOCAL_MACHINE> <value name> <type number> <data as hex>
// <keys file> names keys under HKEY_LOCAL_MACHINE, one a record. Written to
// standard output, afterwards:
//   version <platform> <major> <minor> <build> <service pack>   GetVersionExA
//   key     <key> present|absent
//   value   <key> <value name> <type number> <data as hex>      every value
// Exit status: 0 all set, 1 a value could not be set, 2 bad usage or file.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "log_line.h"

namespace {

std::wstring from_utf8(const std::string& text) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

std::string unescape(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      out += field[i];
      continue;
    }
    const char next = field[++i];
    out += next == 't' ? '\t' : next == 'r' ? '\r' : next == 'n' ? '\n' : next;
  }
  return out;
}

bool read_records(const wchar_t* path, std::vector<std::vector<std::string>>& records) {
  FILE* file = _wfopen(path, L"rb");
  if (file == nullptr) return false;
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  std::fclose(file);
  size_t begin = 0;
  for (size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1) {
    const std::string line = text.substr(begin, end - begin);
    std::vector<std::string> fields;
    size_t from = 0;
    for (size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
      fields.push_back(unescape(line.substr(from, tab - from)));
    fields.push_back(unescape(line.substr(from)));
    records.push_back(fields);
  }
  return true;
}

void out(const std::vector<std::wstring>& fields) {
  const std::string bytes = logline::record(fields);
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

bool set_value(const std::vector<std::string>& f) {
  if (f.size() != 4) return false;
  std::vector<BYTE> data;
  for (size_t i = 0; i + 1 < f[3].size(); i += 2)
    data.push_back(static_cast<BYTE>(std::stoul(f[3].substr(i, 2), nullptr, 16)));
  const DWORD size = static_cast<DWORD>(data.size());
  // RegSetValueEx counts a NUL that follows string data as part of it, as
  // Windows NT does; one that must stay out is kept from following.
  data.insert(data.end(), {0xFF, 0xFF});
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, from_utf8(f[0]).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  const LONG status = RegSetValueExW(key, from_utf8(f[1]).c_str(), 0, std::stoul(f[2]),
                                     size == 0 ? nullptr : data.data(), size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

void dump_key(const std::string& name) {
  const std::wstring key_name = from_utf8(name);
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_name.c_str(), 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS) {
    out({L"key", key_name, L"absent"});
    return;
  }
  out({L"key", key_name, L"present"});
  for (DWORD index = 0;; ++index) {
    wchar_t value_name[16384];
    DWORD name_size = 16384;
    DWORD type = 0;
    std::vector<BYTE> data(65536);
    DWORD data_size = static_cast<DWORD>(data.size());
    if (RegEnumValueW(key, index, value_name, &name_size, nullptr, &type, data.data(),
                      &data_size) != ERROR_SUCCESS)
      break;
    std::wstring hex;
    for (DWORD i = 0; i < data_size; ++i) {
      wchar_t pair[3];
      swprintf(pair, 3, L"%02x", data[i]);
      hex += pair;
    }
    out({L"value", key_name, std::wstring(value_name, name_size), std::to_wstring(type), hex});
  }
  RegCloseKey(key);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::vector<std::string>> values, keys;
  if (argc != 3 || !read_records(argv[1], values) || !read_records(argv[2], keys)) {
    std::fputws(L"usage: regset <set file> <keys file>\n", stderr);
    return 2;
  }
  _setmode(_fileno(stdout), _O_BINARY);  // records end in LF alone
  int status = 0;
  for (const auto& fields : values) {
    if (!set_value(fields)) {
      std::fprintf(stderr, "could not set %s\\%s\n", fields[0].c_str(),
                   fields.size() > 1 ? fields[1].c_str() : "");
      status = 1;
    }
  }

  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (GetVersionExA(&version))
    out({L"version", std::to_wstring(version.dwPlatformId),
         std::to_wstring(version.dwMajorVersion), std::to_wstring(version.dwMinorVersion),
         std::to_wstring(version.dwBuildNumber), from_utf8(version.szCSDVersion)});
  for (const auto& key : keys) dump_key(key.at(0));
  return status;
}
