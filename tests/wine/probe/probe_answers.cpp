#include "probe_answers.h"

#include <cstdio>

#include "platform/failure.h"
#include "registry/readers.h"
#include "system/os_version.h"
#include "version/ver_info.h"

namespace probe {

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

}  // namespace probe
