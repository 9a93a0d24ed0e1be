#include "platform/command_line.h"

namespace platform {
namespace {

Text AfterSeparator(const Text& line, std::size_t end) {
  std::size_t start = end;
  while (start < line.size() && (line[start] == u' ' || line[start] == u'\t')) ++start;
  return line.substr(start);
}

}  // namespace

std::optional<ProgramSplit> ResolveProgram(
    const Text& command_line, ProgramName program,
    const std::function<bool(const Text&)>& is_file) {
  if (command_line.empty()) return std::nullopt;
  if (command_line[0] == u'"') {
    const auto close = command_line.find(u'"', 1);
    const Text name = command_line.substr(1, close == Text::npos ? Text::npos : close - 1);
    if (name.empty() || !is_file(name)) return std::nullopt;
    const std::size_t end = close == Text::npos ? command_line.size() : close + 1;
    return ProgramSplit{name, AfterSeparator(command_line, end)};
  }
  if (program == ProgramName::kWholeLine) {
    if (!is_file(command_line)) return std::nullopt;
    return ProgramSplit{command_line, Text()};
  }
  // Candidate ends: every blank or tab, and the end of the line; longest first.
  std::size_t end = command_line.size();
  while (true) {
    const Text candidate = command_line.substr(0, end);
    if (!candidate.empty() && is_file(candidate))
      return ProgramSplit{candidate, AfterSeparator(command_line, end)};
    if (end == 0) return std::nullopt;
    const auto blank = command_line.find_last_of(u" \t", end - 1);
    if (blank == Text::npos) return std::nullopt;
    end = blank;
  }
}

}  // namespace platform
