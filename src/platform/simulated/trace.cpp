#include "platform/simulated/trace.h"

#include <cstdio>

namespace sim {

std::string ToString(const TraceEvent& event) {
  std::string line = event.call + "(";
  for (std::size_t i = 0; i < event.args.size(); ++i) {
    if (i) line += ", ";
    line += event.args[i];
  }
  line += ")";
  if (!event.result.empty()) line += " -> " + event.result;
  return line;
}

std::string Quote(std::u16string_view text) {
  platform::Text escaped;
  escaped += u'"';
  for (char16_t c : text) {
    switch (c) {
      case u'\r': escaped += u"\\r"; break;
      case u'\n': escaped += u"\\n"; break;
      case u'\t': escaped += u"\\t"; break;
      case u'\0': escaped += u"\\0"; break;
      case u'"': escaped += u"\\\""; break;
      case u'\\': escaped += u"\\\\"; break;
      default: escaped += c;
    }
  }
  escaped += u'"';
  return platform::ToUtf8(escaped);
}

std::string Hex(std::uint32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", value);
  return buf;
}

std::string Dec(std::int64_t value) { return std::to_string(value); }

}  // namespace sim
