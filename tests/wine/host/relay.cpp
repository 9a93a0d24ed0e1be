#include "relay.h"

#include <cctype>
#include <sstream>

#include "platform/text.h"

namespace wine_harness {
namespace {

// Splits at commas that are not inside a quoted string.
std::vector<std::string> split_args(const std::string& list) {
  std::vector<std::string> out;
  std::string current;
  bool quoted = false;
  for (size_t i = 0; i < list.size(); ++i) {
    const char c = list[i];
    if (quoted && c == '\\' && i + 1 < list.size()) {
      current += c;
      current += list[++i];
      continue;
    }
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      out.push_back(current);
      current.clear();
      continue;
    }
    current += c;
  }
  if (!current.empty() || !out.empty()) out.push_back(current);
  return out;
}

struct Line {
  unsigned long pid = 0;
  unsigned long tid = 0;
  bool call = false;
  std::string function;
  std::string rest;  // after "module.function("
};

std::optional<Line> parse_line(const std::string& text) {
  Line line;
  size_t used = 0;
  try {
    line.pid = std::stoul(text, &used, 16);
    if (text.compare(used, 1, ":") != 0) return std::nullopt;
    const size_t tid_at = used + 1;
    line.tid = std::stoul(text.substr(tid_at), &used, 16);
    used += tid_at;
  } catch (...) {
    return std::nullopt;
  }
  const std::string body = text.substr(used);
  if (body.rfind(":Call ", 0) == 0) line.call = true;
  else if (body.rfind(":Ret  ", 0) != 0) return std::nullopt;
  const size_t name_at = 6;
  const size_t paren = body.find('(', name_at);
  const size_t dot = body.rfind('.', paren);
  if (paren == std::string::npos || dot == std::string::npos || dot < name_at) return std::nullopt;
  line.function = body.substr(dot + 1, paren - dot - 1);
  line.rest = body.substr(paren + 1);
  return line;
}

}  // namespace

unsigned long long Call::number(size_t arg) const {
  return std::stoull(args.at(arg), nullptr, 16);
}

namespace {

// Wine shows other characters of a wide string as \XXXX (four hex digits)
// and of an 8-bit string as \xXX; both come back as UTF-8 here.
void append_utf8(std::string& out, unsigned long code) {
  out += platform::ToUtf8(std::u16string(1, static_cast<char16_t>(code)));
}

}  // namespace

unsigned long Call::dword(size_t arg) const {
  return static_cast<unsigned long>(number(arg) & 0xFFFFFFFFu);
}

std::string Call::text(size_t arg) const {
  const std::string& value = args.at(arg);
  const size_t open = value.find('"');
  const size_t close = value.rfind('"');
  if (open == std::string::npos || close <= open) return "";
  std::string out;
  for (size_t i = open + 1; i < close; ++i) {
    if (value[i] != '\\' || i + 1 >= close) {
      out += value[i];
      continue;
    }
    const char next = value[++i];
    const bool byte = next == 'x';
    const size_t digits = byte ? 2 : 4;
    const size_t from = byte ? i + 1 : i;
    if (std::isxdigit(static_cast<unsigned char>(next)) || byte) {
      if (from + digits <= close) {
        append_utf8(out, std::stoul(value.substr(from, digits), nullptr, 16));
        i = from + digits - 1;
        continue;
      }
    }
    out += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
  }
  return out;
}

std::vector<Call> parse_relay(const std::string& trace) {
  std::vector<Call> calls;
  std::istringstream in(trace);
  for (std::string text; std::getline(in, text);) {
    const auto line = parse_line(text);
    if (!line) continue;
    if (line->call) {
      const size_t close = line->rest.rfind(") ret=");
      calls.push_back({line->pid, line->tid, line->function,
                       split_args(line->rest.substr(0, close)), std::nullopt});
      continue;
    }
    const size_t at = line->rest.find("retval=");
    if (at == std::string::npos) continue;
    for (auto it = calls.rbegin(); it != calls.rend(); ++it) {
      if (it->tid == line->tid && it->function == line->function && !it->retval) {
        it->retval = std::stoull(line->rest.substr(at + 7), nullptr, 16);
        break;
      }
    }
  }
  return calls;
}

}  // namespace wine_harness
