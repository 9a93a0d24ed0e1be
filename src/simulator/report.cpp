#include "simulator/report.h"

#include <cstdio>

#include <optional>
#include <utility>
#include <variant>
#include <vector>

#include "deployment/arguments.h"
#include "deployment/exit_status.h"
#include "deployment/switches.h"
#include "platform/buttons.h"
#include "platform/simulated/simulated_platform.h"
#include "registry/lookups.h"
#include "system/os_version.h"


namespace simulator {
namespace {

using platform::Text;

std::string U8(const Text& t) { return platform::ToUtf8(t); }

std::string ButtonName(platform::Long code) {
  const std::u16string_view name = platform::ButtonName(code);
  return name.empty() ? std::to_string(code) : platform::ToUtf8(name);
}

std::string Json(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

// The log a run appended to, as its lines.
std::vector<std::string> LogLines(const std::string& bytes) {
  std::string text = bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
  std::vector<std::string> lines;
  std::size_t begin = 0;
  for (std::size_t end; (end = text.find("\r\n", begin)) != std::string::npos; begin = end + 2)
    lines.push_back(text.substr(begin, end - begin));
  if (begin < text.size()) lines.push_back(text.substr(begin));
  return lines;
}

}  // namespace

std::string TextReport(const sim::Machine& machine, const sim::Observations& seen, bool trace,
                       const ReportNotes& notes) {
  std::string out;
  for (const auto& [kind, i] : seen.order) {
    switch (kind) {
      case sim::Happening::kBox: {
        const auto& b = seen.boxes[i];
        out += "Box \"" + OneLine(b.title) + "\" (style " + std::to_string(b.style) + "): " +
               OneLine(b.text) + "\n    answered " + ButtonName(b.answer) + "\n";
        break;
      }
      case sim::Happening::kStarted: {
        const auto& p = seen.started[i];
        out += std::string("Started") + (p.window_style == 0 ? " hidden" : "") + ": " +
               OneLine(p.command_line) + "\n";
        if (p.application != p.command_line) out += "    program file: " + OneLine(p.application) + "\n";
        break;
      }
      case sim::Happening::kPrinted:
        out += "Report: " + OneLine(seen.printed[i]) + "\n";
        break;
      case sim::Happening::kCountdown: {
        const auto& c = seen.countdowns[i];
        out += "Restart countdown \"" + OneLine(c.title) + "\", " + std::to_string(c.seconds) +
               " s: " + OneLine(c.text) + "\n    " +
               (c.answer == platform::kIdOk       ? "answered Riavvia ora"
                : c.answer == platform::kIdCancel ? "answered Annulla"
                                                  : "left unanswered: the time ran out") +
               "\n";
        break;
      }
      case sim::Happening::kProgress: {
        const auto& p = seen.progress[i];
        out += p.closed ? "Progress window closed\n"
                        : "Progress window \"" + OneLine(p.caption) + "\": " + OneLine(p.heading) +
                              " / " + OneLine(p.step) + "\n";
        break;
      }
      case sim::Happening::kRestart: {
        const auto& r = *seen.restart;
        char buf[96];
        std::snprintf(buf, sizeof buf, "Restart requested: ExitWindowsEx(%d, 0x%X) %s\n", r.flags,
                      static_cast<unsigned>(r.reason), r.accepted ? "accepted" : "refused");
        out += buf;
        break;
      }
    }
  }
  const int code = seen.exit_code.value_or(-1);
  out += "Exit status: " + std::to_string(code) + " (" + RunExitMeaning(machine, seen) + ")\n";
  out += "Why: " + Explain(machine, seen) + (notes.caveat.empty() ? "" : " " + notes.caveat) + "\n";
  for (const auto& note : notes.notes) out += "Note: " + note + "\n";
  for (const auto& [path, bytes] : seen.written) {
    out += "Log " + U8(path) + " (appended by this run):\n";
    for (const auto& line : LogLines(bytes)) out += "  " + line + "\n";
  }
  if (trace) {
    out += "Trace:\n";
    for (const auto& e : seen.trace) out += "  " + sim::ToString(e) + "\n";
  }
  return out;
}

std::string JsonReport(const sim::Machine& machine, const sim::Observations& seen, bool trace,
                       const ReportNotes& notes) {
  std::string out = "{\n  \"boxes\": [";
  for (std::size_t i = 0; i < seen.boxes.size(); ++i) {
    const auto& b = seen.boxes[i];
    out += std::string(i ? "," : "") + "\n    {\"title\": " + Json(U8(b.title)) + ", \"text\": " +
           Json(U8(b.text)) + ", \"style\": " + std::to_string(b.style) + ", \"answer\": " +
           Json(ButtonName(b.answer)) + "}";
  }
  out += "\n  ],\n  \"started\": [";
  for (std::size_t i = 0; i < seen.started.size(); ++i) {
    const auto& p = seen.started[i];
    out += std::string(i ? "," : "") + "\n    {\"command_line\": " + Json(U8(p.command_line)) +
           ", \"program_file\": " + Json(U8(p.application)) +
           ", \"window_style\": " + std::to_string(p.window_style) + "}";
  }
  out += "\n  ],\n  \"report\": [";
  for (std::size_t i = 0; i < seen.printed.size(); ++i) {
    out += std::string(i ? ", " : "") + Json(U8(seen.printed[i]));
  }
  out += "],\n  \"restart\": ";
  if (seen.restart) {
    out += "{\"flags\": " + std::to_string(seen.restart->flags) + ", \"reason\": " +
           std::to_string(static_cast<std::uint32_t>(seen.restart->reason)) + ", \"accepted\": " +
           (seen.restart->accepted ? "true" : "false") + "}";
  } else {
    out += "null";
  }
  const int code = seen.exit_code.value_or(-1);
  out += ",\n  \"exit_code\": " + std::to_string(code) + ",\n  \"meaning\": " +
         Json(RunExitMeaning(machine, seen)) + ",\n  \"why\": " +
         Json(Explain(machine, seen) + (notes.caveat.empty() ? "" : " " + notes.caveat));
  out += ",\n  \"notes\": [";
  for (std::size_t i = 0; i < notes.notes.size(); ++i) out += (i ? ", " : "") + Json(notes.notes[i]);
  out += "],\n  \"warnings\": [";
  for (std::size_t i = 0; i < notes.warnings.size(); ++i)
    out += (i ? ", " : "") + Json(notes.warnings[i]);
  out += "],\n  \"logs\": [";
  bool first = true;
  for (const auto& [path, bytes] : seen.written) {
    out += std::string(first ? "" : ",") + "\n    {\"path\": " + Json(U8(path)) + ", \"lines\": [";
    const auto lines = LogLines(bytes);
    for (std::size_t i = 0; i < lines.size(); ++i) out += (i ? ", " : "") + Json(lines[i]);
    out += "]}";
    first = false;
  }
  out += first ? "]" : "\n  ]";
  if (trace) {
    out += ",\n  \"trace\": [";
    for (std::size_t i = 0; i < seen.trace.size(); ++i) {
      const auto& e = seen.trace[i];
      out += std::string(i ? "," : "") + "\n    {\"call\": " + Json(e.call) + ", \"args\": [";
      for (std::size_t a = 0; a < e.args.size(); ++a) out += (a ? ", " : "") + Json(e.args[a]);
      out += "], \"result\": " + Json(e.result) + "}";
    }
    out += "\n  ]";
  }
  return out + "\n}\n";
}

}  // namespace simulator
