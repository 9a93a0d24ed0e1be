// platform_probe: runs the registry readers, the Windows version name and the
// version decoder over the real Win32 platform, so the host can hold each
// answer against the simulated platform's.
//
//   platform_probe.exe <requests file> <answers file>
//
// One request a line, fields separated by TAB, each field escaped (below):
//   queryvalue    <key under HKLM> <value name>
//   queryvalueex  <key under HKLM> <value name>
//   getregvalue   <key under HKLM> <value name>
//   getos
//   verinfo       <path>
// One answer a line, the request's fields first, then:
//   queryvalue    <Boolean> <key text after> <value name after>
//   queryvalueex  <RegOpenKeyA status> <status> <variant>
//   getregvalue   <variant or failure:N> <key text after> <value name after>
//   getos         <name>
//   verinfo       <path after> <the seven texts, each "-" unless set>
// A variant is "empty", "text:<escaped>" or "number:<decimal>".
// Escaping: printable ASCII stays, except "\" which is "\\"; every other
// UTF-16 code unit is \uXXXX, so NULs and code-page losses show exactly.
// The decoder's notice is a real message box: run this under boxbot.
// Exit status: 0 done, 2 bad usage or files.
#include "platform/win32/win32_platform.h"

#include <cstdio>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "registry/readers.h"
#include "system/os_version.h"
#include "version/ver_info.h"

namespace {

using platform::Long;
using platform::Text;

std::string escape(const Text& text) {
  std::string out;
  for (char16_t c : text) {
    if (c == u'\\') {
      out += "\\\\";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char unit[8];
      std::snprintf(unit, sizeof unit, "\\u%04X", static_cast<unsigned>(c));
      out += unit;
    }
  }
  return out;
}

Text unescape(const std::string& field) {
  Text out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 1 < field.size() && field[i + 1] == '\\') {
      out += u'\\';
      ++i;
    } else if (field[i] == '\\' && i + 5 < field.size() && field[i + 1] == 'u') {
      out += static_cast<char16_t>(std::stoul(field.substr(i + 2, 4), nullptr, 16));
      i += 5;
    } else {
      out += static_cast<char16_t>(static_cast<unsigned char>(field[i]));
    }
  }
  return out;
}

std::string variant_field(const registry::Variant& value) {
  if (value.IsEmpty()) return "empty";
  if (value.IsNumber()) return "number:" + std::to_string(value.number());
  return "text:" + escape(value.text());
}

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

std::vector<std::string> answer(platform::Platform& p, const std::vector<std::string>& request) {
  const std::string& kind = request.at(0);
  std::vector<std::string> out = request;
  if (kind == "getos") {
    out.push_back(escape(sys::get_OS(p)));
  } else if (kind == "verinfo") {
    Text path = unescape(request.at(1));
    Text texts[7] = {u"-", u"-", u"-", u"-", u"-", u"-", u"-"};
    version::DisplayVerInfo(p, path, {texts[0], texts[1], texts[2], texts[3], texts[4],
                                      texts[5], texts[6]});
    out.push_back(escape(path));
    for (const Text& t : texts) out.push_back(escape(t));
  } else if (request.size() >= 3) {
    Long root = platform::kHkeyLocalMachine;
    Text key = unescape(request[1]);
    Text name = unescape(request[2]);
    if (kind == "queryvalue") {
      out.push_back(std::to_string(registry::QueryValue(p, root, key, name)));
      out.push_back(escape(key));
      out.push_back(escape(name));
    } else if (kind == "queryvalueex") {
      Long handle = 0;
      out.push_back(std::to_string(p.RegOpenKeyA(root, p.ToAnsi(key), handle)));
      registry::Variant value;
      out.push_back(std::to_string(registry::QueryValueEx(p, handle, name, value)));
      out.push_back(variant_field(value));
      if (handle != 0) p.RegCloseKey(handle);
    } else if (kind == "getregvalue") {
      try {
        out.push_back(variant_field(registry::get_reg_value(p, root, key, name)));
      } catch (const platform::RuntimeFailure& failure) {
        out.push_back("failure:" + std::to_string(failure.number()));
      }
      out.push_back(escape(key));
      out.push_back(escape(name));
    } else {
      out.push_back("unknown request");
    }
  } else {
    out.push_back("unknown request");
  }
  return out;
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
    const std::vector<std::string> fields = answer(p, request);
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) line += (i == 0 ? "" : "\t") + fields[i];
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), answers);
    std::fflush(answers);
  }
  std::fclose(answers);
  return 0;
}
