#include "platform/command_line.h"

namespace platform {
namespace {

bool HasExtension(const Text& path) {
  const auto sep = path.find_last_of(u"\\/:");
  const auto dot = path.find_last_of(u'.');
  return dot != Text::npos && (sep == Text::npos || dot > sep);
}

std::optional<Text> ExistingProgram(const Text& candidate,
                                    const std::function<bool(const Text&)>& is_file) {
  if (candidate.empty()) return std::nullopt;
  if (is_file(candidate)) return candidate;
  if (!HasExtension(candidate) && is_file(candidate + u".exe")) {
    return candidate + u".exe";
  }
  return std::nullopt;
}

Text AfterSeparator(const Text& line, std::size_t end) {
  std::size_t start = end;
  while (start < line.size() && (line[start] == u' ' || line[start] == u'\t')) ++start;
  return line.substr(start);
}

}  // namespace

std::optional<ProgramSplit> ResolveProgram(
    const Text& command_line, const std::function<bool(const Text&)>& is_file) {
  if (!command_line.empty() && command_line[0] == u'"') {
    const auto close = command_line.find(u'"', 1);
    const Text name = command_line.substr(1, close == Text::npos ? Text::npos : close - 1);
    const auto found = ExistingProgram(name, is_file);
    if (!found) return std::nullopt;
    const std::size_t end = close == Text::npos ? command_line.size() : close + 1;
    return ProgramSplit{*found, AfterSeparator(command_line, end)};
  }
  // Candidate ends: every blank or tab, and the end of the line; longest first.
  std::size_t end = command_line.size();
  while (true) {
    if (const auto found = ExistingProgram(command_line.substr(0, end), is_file)) {
      return ProgramSplit{*found, AfterSeparator(command_line, end)};
    }
    if (end == 0) return std::nullopt;
    const auto blank = command_line.find_last_of(u" \t", end - 1);
    if (blank == Text::npos) return std::nullopt;
    end = blank;
  }
}

}  // namespace platform
