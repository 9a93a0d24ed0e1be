#include "scenario_runner.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <map>

#include "platform/simulated/run.h"
#include "platform/win_types.h"
#include "pace.h"
#include "process.h"
#include "records.h"
#include "relay.h"
#include "simulator/report.h"

namespace wine_harness {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr size_t kFixedInfoSize = 52;
// Time a stub runs for each pass the simulator lets a program run: long
// enough that a program not waited for is caught ending after its successor.
constexpr unsigned long kMsPerPass = 100;

// Keys a scenario's machine.reg may add; removed from both registry views
// before every scenario.
constexpr const char* kScenarioKeys[] = {
    "SOFTWARE\\Orvane",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{D13A6F58-02C7-4E9B-8B21-7F4C05E9A6D3}",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{4B7D2E19-6C0A-11D1-9E53-2A61C8F07B34}",
};

std::string u8(const platform::Text& text) { return platform::ToUtf8(text); }

std::string button_label(long id) {
  switch (id) {
    case platform::kIdOk: return "OK";
    case platform::kIdCancel: return "Cancel";
    case platform::kIdAbort: return "Abort";
    case platform::kIdRetry: return "Retry";
    case platform::kIdIgnore: return "Ignore";
    case platform::kIdYes: return "Yes";
    case platform::kIdNo: return "No";
    default: return "#" + std::to_string(id);
  }
}

std::vector<long> buttons_of(long style) {
  switch (style & 0xF) {
    case 1: return {platform::kIdOk, platform::kIdCancel};
    case 2: return {platform::kIdAbort, platform::kIdRetry, platform::kIdIgnore};
    case 3: return {platform::kIdYes, platform::kIdNo, platform::kIdCancel};
    case 4: return {platform::kIdYes, platform::kIdNo};
    case 5: return {platform::kIdRetry, platform::kIdCancel};
    default: return {platform::kIdOk};
  }
}

std::string icon_of(long style) {
  switch (style & 0xF0) {
    case 0x10: return "hand";
    case 0x20: return "question";
    case 0x30: return "exclamation";
    case 0x40: return "asterisk";
    case 0: return "none";
    default: return "unknown";
  }
}

std::string visible(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '\0') out += "\\0";
    else out += c;
  }
  return out;
}

std::string hex(unsigned long value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%lX", value);
  return buffer;
}

std::string hex_of(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  for (std::uint8_t byte : bytes) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", byte);
    out += pair;
  }
  return out;
}

std::uint32_t le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

template <typename Bytes>
long find_fixed_info(const Bytes& bytes) {
  for (size_t i = 0; i + kFixedInfoSize <= bytes.size(); i += 4)
    if (le32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + i) == kFixedInfoSignature)
      return static_cast<long>(i);
  return -1;
}

bool same_windows(const sim::WindowsVersion& a, const sim::WindowsVersion& b) {
  return a.platform_id == b.platform_id && a.major == b.major && a.minor == b.minor &&
         a.build == b.build && a.service_pack == b.service_pack && a.query_fails == b.query_fails;
}

// [[files]] entries naming a real PE file: Windows path -> that file.
std::map<std::string, fs::path> pe_files(const fs::path& dir) {
  std::map<std::string, fs::path> out;
  const toml::table doc = toml::parse_file((dir / "scenario.toml").string());
  if (const auto* files = doc["files"].as_array())
    for (const auto& item : *files)
      if (const auto* table = item.as_table())
        if (auto pe = (*table)["pe"].value<std::string>())
          if (auto path = (*table)["path"].value<std::string>())
            out[u8(sim::FoldCase(sim::NormalizePath(platform::FromUtf8(*path))))] = dir / *pe;
  return out;
}

std::string escaped(const std::string& field) {
  std::string out;
  for (char c : field) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

// Keys below HKEY_LOCAL_MACHINE that a .reg file writes values to.
std::vector<std::string> keys_in(const fs::path& reg_file) {
  std::string bytes = read_text(reg_file);
  std::string text;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    platform::Text wide;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      wide += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                    static_cast<unsigned char>(bytes[i + 1]) << 8);
    text = u8(wide);
  } else {
    text = bytes;
  }
  const std::string root = "[HKEY_LOCAL_MACHINE\\";
  std::vector<std::string> keys;
  size_t begin = 0;
  for (size_t end; begin < text.size(); begin = end + 1) {
    end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.starts_with(root) && line.ends_with("]"))
      keys.push_back(line.substr(root.size(), line.size() - root.size() - 1));
  }
  return keys;
}

// Regedit ends string data that has no NUL with one, as Windows' regedit
// does; such values are set afterwards byte for byte. One record a value.
std::string values_regedit_changes(const fs::path& reg_file, const sim::Registry& registry) {
  std::string records;
  for (const auto& key : keys_in(reg_file)) {
    const sim::RegistryKey* found = registry.FindKey(platform::kHkeyLocalMachine,
                                                     platform::FromUtf8(key));
    if (found == nullptr) continue;
    for (const auto& [name, value] : found->values) {
      const bool string_type = value.type == platform::kRegSz ||
                               value.type == platform::kRegExpandSz ||
                               value.type == platform::kRegMultiSz;
      const auto& d = value.data;
      const bool ends_in_nul = d.size() >= 2 && d.size() % 2 == 0 && d[d.size() - 1] == 0 &&
                               d[d.size() - 2] == 0;
      if (!string_type || ends_in_nul) continue;
      const std::string data = hex_of(d);
      records += escaped(key) + "\t" + escaped(u8(name)) + "\t" + std::to_string(value.type) +
                 "\t" + data + "\n";
    }
  }
  return records;
}

// The prefix must hold what the scenario describes: its Windows version (as
// far as Hotfix reads it) and, byte for byte, the values of its keys.
void check_machine(const std::vector<Record>& dump, const simulator::Scenario& s, WineRun& run) {
  const sim::WindowsVersion& w = s.machine.windows;
  bool version_seen = false;
  std::map<std::string, std::map<std::string, std::string>> held;  // key -> name -> "type hex"
  std::map<std::string, bool> present;
  for (const auto& r : dump) {
    if (r.at(0) == "version" && r.size() >= 6) {
      version_seen = true;
      const std::string wine = r[1] + " " + r[2] + "." + r[3];
      const std::string want = std::to_string(w.platform_id) + " " + std::to_string(w.major) +
                               "." + std::to_string(w.minor);
      if (wine != want)
        run.problems.push_back("Wine's \"" + s.windows_name + "\" is platform " + wine +
                               ", the simulator's is platform " + want);
      // Windows 9x keeps the version in the build number's high word.
      const std::uint32_t build = w.platform_id == 1 ? (w.major & 0xFF) << 24 |
                                                           (w.minor & 0xFF) << 16 |
                                                           (w.build & 0xFFFF)
                                                     : w.build;
      if (r[4] != std::to_string(build) || r[5] != w.service_pack)
        run.notes.push_back("Wine's \"" + s.windows_name + "\" is build " + r[4] + " \"" + r[5] +
                            "\", the simulator's build " + std::to_string(build) + " \"" +
                            w.service_pack + "\"");
    } else if (r.at(0) == "key" && r.size() >= 3) {
      present[u8(sim::FoldCase(platform::FromUtf8(r[1])))] = r[2] == "present";
    } else if (r.at(0) == "value" && r.size() >= 5) {
      held[u8(sim::FoldCase(platform::FromUtf8(r[1])))]
          [u8(sim::FoldCase(platform::FromUtf8(r[2])))] = r[3] + " " + r[4];
    }
  }
  if (!version_seen) run.problems.push_back("regset did not report the Windows version");
  for (const auto& [key, is_present] : present) {
    const sim::RegistryKey* want =
        s.machine.registry.FindKey(platform::kHkeyLocalMachine, platform::FromUtf8(key));
    if (!want) {
      if (is_present) run.problems.push_back("the prefix holds HKLM\\" + key + ", the scenario not");
      continue;
    }
    if (!is_present) {
      run.problems.push_back("the prefix lacks HKLM\\" + key);
      continue;
    }
    std::map<std::string, std::string> expected;
    for (const auto& [name, value] : want->values)
      expected[u8(sim::FoldCase(name))] = std::to_string(value.type) + " " + hex_of(value.data);
    const auto& got = held[key];
    if (got != expected) {
      std::string detail;
      for (const auto& [name, v] : expected)
        if (!got.count(name) || got.at(name) != v)
          detail += " " + name + ": scenario " + v + ", prefix " +
                    (got.count(name) ? got.at(name) : std::string("none")) + ";";
      for (const auto& [name, v] : got)
        if (!expected.count(name)) detail += " " + name + ": scenario none, prefix " + v + ";";
      run.problems.push_back("HKLM\\" + key + " differs from the scenario:" + detail);
    }
  }
}

}  // namespace

std::vector<std::string> describe(const Outcome& outcome) {
  std::vector<std::string> lines;
  for (const auto& box : outcome.boxes) {
    std::string buttons;
    for (const auto& label : box.buttons) buttons += (buttons.empty() ? "" : ",") + label;
    lines.push_back("box \"" + visible(box.title) + "\": \"" + visible(box.text) + "\" [" +
                    buttons + ", default " + box.default_button + ", icon " + box.icon +
                    "] answered " + box.answer);
  }
  for (const auto& start : outcome.started)
    lines.push_back("started " + visible(start.command_line) + " (show " +
                    (start.window < 0 ? std::string("not given") : std::to_string(start.window)) +
                    ")");
  for (const auto& line : outcome.report) lines.push_back("report \"" + visible(line) + "\"");
  if (outcome.restart)
    lines.push_back("restart ExitWindowsEx(" + hex(outcome.restart->flags) + ", " +
                    hex(outcome.restart->reason) + ") " +
                    (outcome.restart->accepted ? "accepted" : "refused"));
  else
    lines.push_back("restart not requested");
  lines.push_back("exit " + (outcome.exit_code ? std::to_string(*outcome.exit_code)
                                               : std::string("never")));
  return lines;
}

std::string line_diff(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  if (a == b) return "";
  // Longest common subsequence; the lists are a few dozen lines.
  std::vector<std::vector<size_t>> common(a.size() + 1, std::vector<size_t>(b.size() + 1, 0));
  for (size_t i = a.size(); i-- > 0;)
    for (size_t j = b.size(); j-- > 0;)
      common[i][j] = a[i] == b[j] ? common[i + 1][j + 1] + 1
                                  : std::max(common[i + 1][j], common[i][j + 1]);
  std::string out;
  size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    if (i < a.size() && j < b.size() && a[i] == b[j]) {
      out += "  " + a[i++] + "\n";
      ++j;
    } else if (j == b.size() || (i < a.size() && common[i + 1][j] >= common[i][j + 1])) {
      out += "- " + a[i++] + "\n";
    } else {
      out += "+ " + b[j++] + "\n";
    }
  }
  return out;
}

SimulatedRun run_simulated(const simulator::Scenario& scenario) {
  sim::Machine machine = scenario.machine;
  const sim::RunResult result = sim::RunProgram(machine);
  const sim::Observations& seen = result.seen;
  SimulatedRun run;
  for (const auto& box : seen.boxes) {
    SeenBox out;
    out.title = u8(box.title);
    out.text = u8(box.text);
    const auto offered = buttons_of(box.style);
    for (long id : offered) out.buttons.push_back(button_label(id));
    const size_t default_index = static_cast<size_t>((box.style >> 8) & 0xF);
    out.default_button = button_label(offered[default_index < offered.size() ? default_index : 0]);
    out.icon = icon_of(box.style);
    out.answer = button_label(box.answer);
    run.outcome.boxes.push_back(out);
  }
  for (const auto& start : seen.started)
    run.outcome.started.push_back({u8(start.command_line), static_cast<int>(start.window_style)});
  for (const auto& line : seen.printed) run.outcome.report.push_back(u8(line));
  if (seen.restart)
    run.outcome.restart = SeenRestart{static_cast<unsigned long>(seen.restart->flags) & 0xFFFFFFFFu,
                                      static_cast<unsigned long>(seen.restart->reason) & 0xFFFFFFFFu,
                                      seen.restart->accepted};
  if (seen.exit_code) run.outcome.exit_code = static_cast<unsigned long>(*seen.exit_code);
  run.report = simulator::TextReport(scenario.machine, seen, true);
  return run;
}

ScenarioRunner::ScenarioRunner(const WinePrefix& prefix, Builds builds)
    : prefix_(prefix), builds_(std::move(builds)) {}

std::optional<std::string> ScenarioRunner::not_reproducible(const simulator::Scenario& s) {
  const auto named = sim::WindowsVersionNamed(s.windows_name);
  if (!named || !same_windows(*named, s.machine.windows))
    return "its Windows is given by numbers, not by a name Wine knows";
  if (!s.machine.security.token_opens || !s.machine.security.holds_shutdown_privilege)
    return "its process token cannot be made to fail under Wine";
  if (s.machine.fail_call != 0 || s.machine.mutex_error != 0 || !s.machine.failing_writes.empty())
    return "it makes a Windows call fail";
  if (s.machine.other_copy != sim::OtherCopy::kNone)
    return "another copy running is a Wine case of its own (Wine/OneCopy)";
  if (!s.machine.visible_desktop)
    return "a session without a visible desktop is a Wine case of its own (Wine/NoDesktop)";
  if (s.machine.pinned.pinned)
    return "a build pinned to the scenario's installer files: pinned builds are Wine cases of "
           "their own (Wine/Pinned)";
  if (!s.machine.path_kinds.empty() || !s.machine.current_directory.empty())
    return "its links, folders and current folder are Wine cases of their own (Wine/LogRefused)";
  for (const auto& [path, file] : s.machine.files) {
    const std::string where = u8(path);
    if (where.size() < 3 || (where[0] != 'C' && where[0] != 'c') || where[1] != ':')
      return where + " is not on drive C:";
    if (file.program && file.program->refuses_open)
      return where + " refuses to be opened while it runs";
    if (file.version_resource) {
      const auto& bytes = *file.version_resource;
      if (bytes.size() < 4 || (bytes[2] | bytes[3] << 8) != kFixedInfoSize ||
          find_fixed_info(bytes) < 0)
        return where + " has a version block no PE file written by a linker holds";
    }
  }
  return std::nullopt;
}

fs::path ScenarioRunner::host_path(const std::string& windows_path) const {
  std::string rest = windows_path.substr(2);
  std::replace(rest.begin(), rest.end(), '\\', '/');
  while (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
  return prefix_.drive_c() / rest;
}

fs::path ScenarioRunner::manifest() const {
  return prefix_.drive_c() / "harness-diff" / "placed.txt";
}

void ScenarioRunner::undo_previous() const {
  std::ifstream in(manifest());
  for (std::string line; std::getline(in, line);) {
    std::error_code ignored;
    if (line.ends_with(kHiddenSuffix))
      fs::rename(line, line.substr(0, line.size() - std::strlen(kHiddenSuffix)), ignored);
    else
      fs::remove(line, ignored);
  }
  std::error_code ignored;
  fs::remove(manifest(), ignored);
}

void ScenarioRunner::place(const fs::path& source, const std::string& windows_path,
                           WineRun& run) const {
  const fs::path target = host_path(windows_path);
  std::error_code error;
  fs::create_directories(target.parent_path(), error);
  if (!error) fs::copy_file(source, target, fs::copy_options::overwrite_existing, error);
  if (error) {
    run.problems.push_back("could not copy " + source.string() + " to " + target.string() +
                           ": " + error.message());
    return;
  }
  std::ofstream(manifest(), std::ios::app) << target.string() << "\n";
}

WineRun ScenarioRunner::run(const fs::path& dir, const simulator::Scenario& s) {
  WineRun run;
  undo_previous();
  run.work_dir = prefix_.drive_c() / "harness-diff" / s.name;
  const fs::path root = prefix_.drive_c() / "harness-diff";
  const fs::path work = root / s.name;
  fs::remove_all(work);
  fs::create_directories(work);
  fs::copy_file(builds_.dir / "boxbot.exe", root / "boxbot.exe",
                fs::copy_options::overwrite_existing);

  // The program folder and every file the machine holds.
  const std::string folder = u8(s.machine.app_path);
  place(builds_.dir / "Hotfix.exe", folder + "\\Hotfix.exe", run);
  const auto real_pe = pe_files(dir);
  const fs::path no_version = fs::path(HOTFIX_SOURCE_DIR) / "tests/fixtures/no_version_x86.exe";
  std::string sleeps, exit_codes;
  int file_number = 0;
  for (const auto& [path, file] : s.machine.files) {
    const std::string where = u8(path);
    if (file.program) {
      place(builds_.dir / "stub.exe", where, run);
      const std::string name = where.substr(where.find_last_of('\\') + 1);
      sleeps += (sleeps.empty() ? "" : ",") + name + "=" +
                std::to_string(file.program->lifetime * kMsPerPass);
      exit_codes += (exit_codes.empty() ? "" : ",") + name + "=" +
                    std::to_string(static_cast<std::uint32_t>(file.program->exit_code));
      if (file.program->held_open_after_end)
        run.notes.push_back(where + " is not held open by another program after it ends, as "
                            "the scenario has it: under Wine its process object goes at once");
    } else if (const auto pe = real_pe.find(u8(sim::FoldCase(path))); pe != real_pe.end()) {
      place(pe->second, where, run);
    } else if (!file.version_resource) {
      place(no_version, where, run);
    } else {
      // The firewall's own trk.exe with the scenario's fixed version block.
      std::string pe_bytes = read_text(builds_.trk);
      const long at = find_fixed_info(pe_bytes);
      const long from = find_fixed_info(*file.version_resource);
      if (at < 0 || from < 0) {
        run.problems.push_back("no version block to patch for " + where);
        continue;
      }
      // Everything after the signature and the structure version.
      std::memcpy(pe_bytes.data() + at + 8, file.version_resource->data() + from + 8,
                  kFixedInfoSize - 8);
      const fs::path patched = work / ("file" + std::to_string(++file_number) + ".exe");
      std::ofstream(patched, std::ios::binary) << pe_bytes;
      place(patched, where, run);
    }
  }

  // One regedit run: clear what earlier scenarios added, set Hotfix.exe's
  // Windows version, then the scenario's own export.
  std::string reset = "REGEDIT4\r\n\r\n";
  for (const char* key : kScenarioKeys) {
    const std::string tail = std::string(key).substr(std::strlen("SOFTWARE\\"));
    reset += std::string("[-HKEY_LOCAL_MACHINE\\") + key + "]\r\n\r\n";
    reset += "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\" + tail + "]\r\n\r\n";
  }
  // regset.exe gets the same version, to show what Hotfix.exe is told.
  for (const char* program : {"Hotfix.exe", "regset.exe"})
    reset += std::string("[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\") + program +
             "]\r\n\"Version\"=\"" + s.windows_name + "\"\r\n\r\n";
  std::ofstream(work / "reset.reg", std::ios::binary) << reset;
  std::vector<std::string> regedit = {"regedit", "/S", prefix_.windows_path(work / "reset.reg")};
  if (fs::exists(dir / "machine.reg")) regedit.push_back(prefix_.windows_path(dir / "machine.reg"));
  const bool imported = prefix_.run_tool(regedit, 2);
  if (!imported) run.problems.push_back("setting up the registry failed: " + prefix_.last_tool_failure());

  // Values regedit cannot make are set byte for byte; then the machine the
  // prefix holds is read back and held against the scenario's.
  std::string exact;
  std::vector<std::string> keys(std::begin(kScenarioKeys), std::end(kScenarioKeys));
  if (fs::exists(dir / "machine.reg")) {
    exact = values_regedit_changes(dir / "machine.reg", s.machine.registry);
    for (const auto& key : keys_in(dir / "machine.reg"))
      if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
  }
  if (!exact.empty()) run.transcript += "--- set byte for byte after regedit\n" + exact;
  std::ofstream(work / "exact.txt", std::ios::binary) << exact;
  {
    std::ofstream list(work / "keys.txt", std::ios::binary);
    for (const auto& key : keys) list << escaped(key) << "\n";
  }
  if (!fs::exists(builds_.dir / "regset.exe")) {
    run.problems.push_back((builds_.dir / "regset.exe").string() + " is missing");
  } else {
    const auto set = prefix_.wine({prefix_.windows_path(builds_.dir / "regset.exe"),
                                   prefix_.windows_path(work / "exact.txt"),
                                   prefix_.windows_path(work / "keys.txt")},
                                  {}, work / "regset.out", work / "regset.err", 60s);
    if (set.exit_code != 0)
      run.problems.push_back("regset failed: " + read_text(work / "regset.err"));
    check_machine(read_records(work / "regset.out"), s, run);
  }

  // A refused restart: without wineboot, Wine's ExitWindowsEx returns FALSE.
  if (s.machine.security.refuse_restart) {
    const fs::path wineboot = prefix_.drive_c() / "windows/system32/wineboot.exe";
    const std::string hidden = wineboot.string() + kHiddenSuffix;
    std::error_code error;
    fs::rename(wineboot, hidden, error);
    if (error) run.problems.push_back("could not hide wineboot.exe: " + error.message());
    else std::ofstream(manifest(), std::ios::app) << hidden << "\n";
  }

  std::vector<std::string> answers;
  for (const auto& answer : s.machine.answers)
    answers.push_back(answer.button == sim::Answer::kEnter ? "enter"
                      : answer.button == platform::kIdYes  ? "yes"
                      : answer.button == platform::kIdNo   ? "no"
                      : answer.button == platform::kIdOk   ? "ok"
                                                           : "cancel");
  std::vector<std::string> args = {prefix_.windows_path(root / "boxbot.exe"), "--log",
                                   prefix_.windows_path(work / "boxbot.log")};
  if (!answers.empty()) {
    std::string list;
    for (const auto& word : answers) list += (list.empty() ? "" : ",") + word;
    args.insert(args.end(), {"--answers", list});
  }
  args.insert(args.end(), {"--timeout-ms", std::to_string(scaled(20s).count()), "--",
                           folder + "\\Hotfix.exe"});
  // The scenario's command line, word by word (no scenario quotes a blank).
  std::istringstream words(u8(s.machine.arguments));
  for (std::string word; words >> word;) args.push_back(word);
  const std::map<std::string, std::optional<std::string>> env = {
      {"HOTFIX_STUB_LOG", prefix_.windows_path(work / "stub.log")},
      {"HOTFIX_STUB_SLEEP_MS", sleeps},
      {"HOTFIX_STUB_EXIT_CODE", exit_codes},
      {"WINEDEBUG", kRunDebug}};
  const auto result = prefix_.wine(args, env, work / "wine.out", work / "wine.err", 50s);
  if (!result.failure.empty()) run.problems.push_back("wine: " + result.failure);
  if (result.timed_out) run.problems.push_back("wine did not end and was killed");
  for (const auto& left : prefix_.settle(10s))
    run.problems.push_back(left + " was still running 10 s after Hotfix.exe ended");
  undo_previous();  // puts wineboot back at once

  // What boxbot saw.
  unsigned long hotfix_pid = 0;
  unsigned long exit_tick = 0;
  std::vector<Record> boxes;
  for (const auto& r : read_records(work / "boxbot.log")) {
    if (r.at(0) == "start") hotfix_pid = std::stoul(r.at(2));
    else if (r.at(0) == "box") boxes.push_back(r);
    else if (r.at(0) == "exit") {
      exit_tick = std::stoul(r.at(1));
      run.outcome.exit_code = std::stoul(r.at(2));
    } else {
      std::string line;
      for (const auto& field : r) line += field + " ";
      run.problems.push_back("boxbot: " + line);
    }
  }
  // What Hotfix.exe called, for the answers, report lines and restart.
  const std::string trace = read_text(work / "wine.err");
  std::vector<Call> message_boxes;
  for (const auto& call : parse_relay(trace)) {
    if (call.pid != hotfix_pid) continue;
    if (call.function == "MessageBoxW" || call.function == "MessageBoxA") {
      message_boxes.push_back(call);
    } else if (call.function == "OutputDebugStringW" || call.function == "OutputDebugStringA") {
      std::string line = call.text(0);
      if (line.ends_with("\n")) line.pop_back();
      run.outcome.report.push_back(line);
    } else if (call.function == "ExitWindowsEx") {
      if (run.outcome.restart) run.problems.push_back("ExitWindowsEx called more than once");
      run.outcome.restart = SeenRestart{call.dword(0), call.dword(1),
                                        call.retval && (*call.retval & 0xFFFFFFFFu) != 0};
    }
  }
  if (message_boxes.size() != boxes.size())
    run.problems.push_back(std::to_string(boxes.size()) + " boxes seen but " +
                           std::to_string(message_boxes.size()) + " MessageBox calls traced");
  for (size_t i = 0; i < boxes.size(); ++i) {
    const Record& r = boxes[i];
    SeenBox box;
    box.title = r.at(2);
    box.text = r.at(3);
    std::string list = r.at(4);
    for (size_t begin = 0; begin < list.size();) {
      size_t end = list.find(',', begin);
      if (end == std::string::npos) end = list.size();
      const std::string entry = list.substr(begin, end - begin);
      box.buttons.push_back(entry.substr(0, entry.rfind('=')));
      begin = end + 1;
    }
    box.default_button = r.at(5);
    // Wine cannot tell another process which icon a box shows; then the
    // icon is read from the style the box was made with.
    box.icon = r.at(7);
    if (box.icon == "unknown" && i < message_boxes.size() && message_boxes[i].args.size() > 3)
      box.icon = icon_of(static_cast<long>(message_boxes[i].dword(3)));
    if (i < message_boxes.size() && message_boxes[i].retval)
      box.answer = button_label(static_cast<long>(*message_boxes[i].retval & 0xFFFFFFFFu));
    else
      box.answer = "(none traced; pressed " + r.at(10) + ")";
    run.outcome.boxes.push_back(box);
  }

  // What ran, and whether each was waited for.
  struct Stub {
    unsigned long pid, start;
    std::optional<unsigned long> end;
  };
  std::vector<Stub> stubs;
  for (const auto& r : read_records(work / "stub.log")) {
    const unsigned long pid = std::stoul(r.at(2));
    if (r.at(0) == "start") {
      run.outcome.started.push_back({r.at(4), r.at(6) == "1" ? std::stoi(r.at(7)) : -1});
      stubs.push_back({pid, std::stoul(r.at(1)), std::nullopt});
    } else {
      for (auto& stub : stubs)
        if (stub.pid == pid && !stub.end) stub.end = std::stoul(r.at(1));
    }
  }
  for (size_t i = 0; i < stubs.size(); ++i) {
    const auto& name = run.outcome.started[i].command_line;
    const unsigned long next = i + 1 < stubs.size() ? stubs[i + 1].start : exit_tick;
    if (!stubs[i].end) run.problems.push_back(name + " never ended");
    else if (run.outcome.exit_code && *stubs[i].end > next)
      run.problems.push_back(name + " was not waited for: it ended after " +
                             (i + 1 < stubs.size() ? "the next one started" : "Hotfix.exe"));
  }

  std::string problems;
  for (const auto& problem : run.problems) problems += problem + "\n";
  for (const auto& note : run.notes) problems += "note: " + note + "\n";
  run.transcript += std::string("--- regedit ") + (imported ? "ok" : "failed") + "\n" +
                    "--- boxbot.log\n" +
                    read_text(work / "boxbot.log") + "--- stub.log\n" + read_text(work / "stub.log") +
                    "--- problems\n" + problems + "--- relay calls of Hotfix.exe\n";
  for (const auto& call : parse_relay(trace)) {
    if (call.pid != hotfix_pid) continue;
    std::string shown;
    for (const auto& arg : call.args) shown += (shown.empty() ? "" : ", ") + arg;
    run.transcript += "  " + call.function + "(" + shown + ")" +
                      (call.retval ? " -> " + hex(static_cast<unsigned long>(*call.retval)) : "") +
                      "\n";
  }
  return run;
}

}  // namespace wine_harness
