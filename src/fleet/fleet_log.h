// One machine's Hotfix.exe log, as the fleet report reads it: the last run
// it holds, by its first line and its result line.
#pragma once

#include <istream>
#include <string>

namespace fleet {

struct Row {
  std::string file;
  std::string computer;
  std::string time;  // ISO 8601, local time as the log gives it
  std::string mode;  // check or install
  // applies, not-applicable, installed, failed, busy, interrupted (a last
  // run without its result line) or unreadable (not a log of Hotfix.exe)
  std::string verdict;
  std::string reason;
  std::string windows;
  std::string trk_version;
  std::string exit_status;
  std::string warning;  // why a file is unreadable
};

// Reads a log's lines one at a time: memory stays that of one line (at most
// kLongestLine bytes; a longer one makes the file unreadable).
Row ReadLog(std::istream& in, const std::string& file);
Row ReadLogFile(const std::string& path);

inline constexpr std::size_t kLongestLine = 1 << 20;

}  // namespace fleet
