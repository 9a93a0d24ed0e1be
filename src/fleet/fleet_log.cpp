#include "fleet/fleet_log.h"
#include "platform/host_path.h"

#include <fstream>
#include <string_view>

namespace fleet {
namespace {

// "YYYY-MM-DD HH:MM:SS.mmm  " before every entry of the log.
constexpr std::size_t kStamp = 25;
constexpr std::string_view kStarted = "Hotfix.exe 1.00 (CR40517) started on ";

bool IsStamp(std::string_view line) {
  if (line.size() < kStamp) return false;
  for (std::size_t i = 0; i < 23; ++i) {
    const char c = line[i];
    const bool digit = c >= '0' && c <= '9';
    if ((i == 4 || i == 7) ? c != '-' : i == 10 ? c != ' ' : (i == 13 || i == 16) ? c != ':'
                             : i == 19 ? c != '.' : !digit)
      return false;
  }
  return line[23] == ' ' && line[24] == ' ';
}

// The value of "name=" in a result line's "; "-separated fields.
std::string Field(std::string_view result, std::string_view name) {
  std::size_t at = 0;
  while (at < result.size()) {
    const std::size_t end = std::min(result.find("; ", at), result.size());
    const std::string_view field = result.substr(at, end - at);
    if (field.size() > name.size() && field.substr(0, name.size()) == name &&
        field[name.size()] == '=')
      return std::string(field.substr(name.size() + 1));
    at = end + 2;
  }
  return {};
}

Row Unreadable(const std::string& file, std::string why) {
  Row row;
  row.file = file;
  row.verdict = "unreadable";
  row.warning = std::move(why);
  return row;
}

}  // namespace

Row ReadLog(std::istream& in, const std::string& file) {
  Row row;  // the last run so far
  bool run_seen = false, ended = false;
  std::string line;
  bool first = true;
  while (true) {
    line.clear();
    // A line at a time, never more than kLongestLine bytes.
    int c;
    while ((c = in.get()) != EOF && c != '\n') {
      if (c == '\0') return Unreadable(file, "a binary file, not a log of Hotfix.exe");
      if (line.size() == kLongestLine) return Unreadable(file, "a line longer than 1 MiB");
      line += static_cast<char>(c);
    }
    if (c == EOF && line.empty()) break;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    first = false;
    if (!IsStamp(line)) continue;  // a continuation line
    const std::string_view entry = std::string_view(line).substr(kStamp);
    if (entry.starts_with(kStarted)) {
      row = Row{};
      run_seen = true, ended = false;
      row.file = file;
      row.time = line.substr(0, 10) + "T" + line.substr(11, 8);
      const std::string_view rest = entry.substr(kStarted.size());
      const std::size_t by = rest.rfind(" by ");
      row.computer = std::string(rest.substr(0, by == std::string_view::npos ? 0 : by));
      const std::size_t mode = rest.rfind(", mode ");
      if (mode != std::string_view::npos) row.mode = std::string(rest.substr(mode + 7));
    } else if (!run_seen) {
      continue;
    } else if (entry.starts_with("Result: ")) {
      ended = true;
      row.verdict = Field(entry.substr(8), "verdict");
      row.reason = Field(entry.substr(8), "reason");
      row.windows = Field(entry.substr(8), "windows");
      row.trk_version = Field(entry.substr(8), "trk_version");
      row.exit_status = Field(entry.substr(8), "exit_status");
    } else if (entry.starts_with("Windows: \"")) {
      const std::string_view name = entry.substr(10);
      row.windows = std::string(name.substr(0, name.find('"')));
    } else if (entry.starts_with("Report: File version: ")) {
      row.trk_version = std::string(entry.substr(22));
    } else if (entry.starts_with("Exit status ")) {
      const std::string_view status = entry.substr(12);
      row.exit_status = std::string(status.substr(0, status.find(':')));
    }
  }
  if (!run_seen) return Unreadable(file, "no run of Hotfix.exe in it (empty, or another program's file)");
  if (!ended) {
    // Stopped, cut short or still being written: what its lines tell.
    row.verdict = "interrupted";
    row.reason = "no-result-line";
  }
  return row;
}

Row ReadLogFile(const std::string& path) {
  std::ifstream in(platform::HostPath(path), std::ios::binary);
  if (!in) return Unreadable(path, "cannot be opened");
  return ReadLog(in, path);
}

}  // namespace fleet
