#include "hotfix_case.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "pace.h"
#include "records.h"

namespace wine_harness {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::vector<std::string> split(const std::string& list, char separator) {
  std::vector<std::string> out;
  if (list.empty()) return out;
  size_t begin = 0;
  for (size_t end; (end = list.find(separator, begin)) != std::string::npos; begin = end + 1)
    out.push_back(list.substr(begin, end - begin));
  out.push_back(list.substr(begin));
  return out;
}

std::string join(const std::vector<std::string>& words, char separator) {
  std::string out;
  for (const auto& word : words) out += (out.empty() ? "" : std::string(1, separator)) + word;
  return out;
}

unsigned long number(const std::string& text) { return std::stoul(text); }

constexpr const char* kTrkPath = "C:\\Program Files\\Orvane\\Firewall\\trk.exe";

// Orvane Firewall v3.03 as its installer registers it.
constexpr const char* kFirewallRegistry =
    "REGEDIT4\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    "{D13A6F58-02C7-4E9B-8B21-7F4C05E9A6D3}]\r\n"
    "\"DisplayName\"=\"Orvane Firewall v3.03\"\r\n"
    "\"Publisher\"=\"Orvane\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Orvane firewall]\r\n"
    "\"Installpath\"=\"C:\\\\Program Files\\\\Orvane\\\\Firewall\\\\\"\r\n"
    "\"Version\"=\"3.03\"\r\n";

Box box_from(const Record& r) {
  Box box;
  box.tick = number(r.at(1));
  box.title = r.at(2);
  box.text = r.at(3);
  for (const auto& entry : split(r.at(4), ',')) {
    const size_t equals = entry.rfind('=');
    box.buttons.push_back(entry.substr(0, equals));
    box.button_ids.push_back(std::stoi(entry.substr(equals + 1)));
  }
  box.default_button = r.at(5);
  box.focus = r.at(6);
  box.icon = r.at(7);
  box.owner = r.at(8);
  box.answer = r.at(9);
  box.pressed = r.at(10);
  return box;
}

// A file copied into the prefix; a failure is the case's problem, named.
void copy_into(const fs::path& source, const fs::path& target, HotfixRun& run) {
  std::error_code error;
  fs::create_directories(target.parent_path(), error);
  if (!error) fs::copy_file(source, target, fs::copy_options::overwrite_existing, error);
  if (error)
    run.problems.push_back("could not copy " + source.string() + " to " + target.string() +
                           ": " + error.message());
}

std::string tail(const std::string& text, size_t size) {
  return text.size() <= size ? text : "..." + text.substr(text.size() - size);
}

}  // namespace

std::vector<Call> HotfixRun::calls_to(const std::string& function) const {
  std::vector<Call> out;
  std::copy_if(calls.begin(), calls.end(), std::back_inserter(out),
               [&](const Call& call) { return call.function == function; });
  return out;
}

std::vector<std::string> HotfixRun::report_lines() const {
  std::vector<std::string> out;
  for (const auto& call : calls)
    if (call.function == "OutputDebugStringW" || call.function == "OutputDebugStringA")
      out.push_back(call.text(0));
  return out;
}

HotfixCase::HotfixCase(const WinePrefix& prefix, Builds builds, std::string id)
    : prefix_(prefix), builds_(std::move(builds)), id_(std::move(id)) {}

HotfixCase& HotfixCase::folder(const std::string& windows_folder) {
  folder_ = windows_folder;
  return *this;
}

HotfixCase& HotfixCase::installer(const std::string& name) {
  installers_.push_back(name);
  return *this;
}

HotfixCase& HotfixCase::without_installer(const std::string& name) {
  installers_.erase(std::remove(installers_.begin(), installers_.end(), name), installers_.end());
  return *this;
}

HotfixCase& HotfixCase::answers(std::vector<std::string> words) {
  answers_ = std::move(words);
  return *this;
}

HotfixCase& HotfixCase::env(const std::string& name, const std::string& value) {
  env_[name] = value;
  return *this;
}

HotfixCase& HotfixCase::registry(const std::string& key, const std::string& name,
                                 const std::string& type, const std::string& data) {
  values_.push_back({key, name, type, data});
  return *this;
}

HotfixCase& HotfixCase::without_registry_value(const std::string& key, const std::string& name) {
  removed_values_.push_back({key, name, "", ""});
  return *this;
}

HotfixCase& HotfixCase::without_registry_key(const std::string& key) {
  removed_keys_.push_back(key);
  return *this;
}

HotfixCase& HotfixCase::watch_only() {
  watch_only_ = true;
  return *this;
}

HotfixCase& HotfixCase::arguments(std::vector<std::string> args) {
  arguments_ = std::move(args);
  return *this;
}

HotfixCase& HotfixCase::timeout(std::chrono::milliseconds limit) {
  timeout_ = limit;
  return *this;
}

HotfixCase& HotfixCase::second_copy(std::vector<std::string> args,
                                     std::vector<std::string> answers) {
  second_copy_.emplace(std::move(args), std::move(answers));
  return *this;
}

HotfixCase& HotfixCase::desktop(const std::string& station_and_desktop) {
  desktop_ = station_and_desktop;
  return *this;
}

HotfixCase& HotfixCase::on_laid_out(std::function<void()> hook) {
  on_laid_out_ = std::move(hook);
  return *this;
}

HotfixCase& HotfixCase::on_ended(std::function<void()> hook) {
  on_ended_ = std::move(hook);
  return *this;
}

fs::path HotfixCase::work_dir() const { return prefix_.drive_c() / "harness" / id_; }

HotfixCase& HotfixCase::windows_version(const std::string& version) {
  // Per program, so boxbot and the stubs keep the prefix's own version.
  return registry("HKCU\\Software\\Wine\\AppDefaults\\Hotfix.exe", "Version", "REG_SZ", version);
}

HotfixCase& HotfixCase::file(const std::string& windows_path, const fs::path& source) {
  files_.emplace_back(windows_path, source);
  return *this;
}

HotfixCase& HotfixCase::without_file(const std::string& windows_path) {
  removed_files_.push_back(windows_path);
  return *this;
}

HotfixCase& HotfixCase::hide_file(const std::string& windows_path) {
  hidden_.push_back(windows_path);
  return *this;
}

HotfixCase& HotfixCase::trace_calls() {
  trace_ = true;
  return *this;
}

fs::path HotfixCase::host_path(const std::string& windows_path) const {
  std::string rest = windows_path.substr(windows_path.find(':') + 1);
  std::replace(rest.begin(), rest.end(), '\\', '/');
  while (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
  return prefix_.drive_c() / rest;
}

void HotfixCase::lay_out(HotfixRun& run) const {
  const fs::path work = prefix_.drive_c() / "harness" / id_;
  const fs::path folder = host_path(folder_);
  fs::remove_all(work);
  fs::remove_all(folder);
  fs::create_directories(work);
  fs::create_directories(folder);
  copy_into(builds_.dir / "boxbot.exe", work / "boxbot.exe", run);
  copy_into(builds_.dir / "Hotfix.exe", folder / "Hotfix.exe", run);
  for (const auto& name : installers_) copy_into(builds_.dir / "stub.exe", folder / name, run);

  auto files = files_;
  files.insert(files.begin(), {kTrkPath, builds_.trk});
  for (const auto& [path, source] : files) copy_into(source, host_path(path), run);
  for (const auto& path : removed_files_) fs::remove(host_path(path));
  for (const auto& path : hidden_) {
    std::error_code error;
    fs::rename(host_path(path), host_path(path).string() + kHiddenSuffix, error);
    if (error) run.problems.push_back("could not hide " + path + ": " + error.message());
  }

  // The firewall's values are written again for every case, so a case that
  // changed them leaves nothing behind for the next.
  std::ofstream(work / "machine.reg", std::ios::binary) << kFirewallRegistry;
  const auto tool_failed = [&](const std::string& what) {
    run.problems.push_back("could not " + what + ": " + prefix_.last_tool_failure());
  };
  if (!prefix_.import_registry(work / "machine.reg"))
    tool_failed("import the firewall's registry values");
  for (const auto& value : values_)
    if (!prefix_.set_value(value.key, value.name, value.type, value.data))
      tool_failed("set " + value.key + "\\" + value.name);
  for (const auto& value : removed_values_)
    if (!prefix_.delete_value(value.key, value.name))
      tool_failed("delete " + value.key + "\\" + value.name);
  for (const auto& key : removed_keys_)
    if (!prefix_.delete_key(key)) tool_failed("delete " + key);
}

HotfixRun HotfixCase::run() {
  HotfixRun run;
  lay_out(run);
  const fs::path work = prefix_.drive_c() / "harness" / id_;
  std::vector<std::string> args = {prefix_.windows_path(work / "boxbot.exe"), "--log",
                                   prefix_.windows_path(work / "boxbot.log")};
  if (!answers_.empty()) args.insert(args.end(), {"--answers", join(answers_, ',')});
  if (watch_only_) args.push_back("--watch");
  if (!desktop_.empty()) args.insert(args.end(), {"--desktop", desktop_});
  args.insert(args.end(), {"--timeout-ms", std::to_string(scaled(timeout_).count()), "--",
                           folder_ + "\\Hotfix.exe"});
  args.insert(args.end(), arguments_.begin(), arguments_.end());
  auto env = env_;
  if (second_copy_) {
    // Its own robot, with the case's time limit; the first copy's limit
    // covers it (see second_copy's callers).
    std::vector<std::string> second = {prefix_.windows_path(work / "boxbot.exe"), "--log",
                                       prefix_.windows_path(work / "second.log")};
    if (!second_copy_->second.empty())
      second.insert(second.end(), {"--answers", join(second_copy_->second, ',')});
    second.insert(second.end(), {"--timeout-ms", std::to_string(scaled(timeout_).count() / 3), "--",
                                 folder_ + "\\Hotfix.exe"});
    second.insert(second.end(), second_copy_->first.begin(), second_copy_->first.end());
    std::string line;
    for (const auto& word : second)
      line += (line.empty() ? "" : " ") +
              (word.find(' ') == std::string::npos ? word : "\"" + word + "\"");
    env["HOTFIX_STUB_RUN"] = line;
    env["HOTFIX_STUB_RUN_BY"] = "40517.exe";
  }
  env["HOTFIX_STUB_LOG"] = prefix_.windows_path(work / "stub.log");
  if (trace_) env["WINEDEBUG"] = kRunDebug;
  if (on_laid_out_) on_laid_out_();

  const auto result = prefix_.wine(args, env, work / "wine.out", work / "wine.err",
                                   timeout_ + 30s);
  if (!result.failure.empty()) run.problems.push_back("wine: " + result.failure);
  if (result.timed_out) run.problems.push_back("wine did not end and was killed");

  for (const auto& left : prefix_.settle(10s))
    run.problems.push_back(left + " was still running 10 s after Hotfix.exe ended");
  if (on_ended_) on_ended_();
  for (const auto& file : files_) fs::remove(host_path(file.first));
  for (const auto& value : values_) prefix_.delete_value(value.key, value.name);
  for (const auto& path : hidden_) {
    std::error_code ignored;
    fs::rename(host_path(path).string() + kHiddenSuffix, host_path(path), ignored);
  }

  read_results(run);
  return run;
}

namespace {

// What a robot's log tells of the program it ran; its process id.
unsigned long read_robot_log(const fs::path& log, HotfixRun& run) {
  unsigned long hotfix_pid = 0;
  for (const auto& r : read_records(log)) {
    const std::string& kind = r.at(0);
    if (kind == "start") hotfix_pid = number(r.at(2));
    else if (kind == "box") run.boxes.push_back(box_from(r));
    else if (kind == "window") run.windows.push_back({number(r.at(1)), r.at(2), r.at(3)});
    else if (kind == "exit") {
      run.exit_tick = number(r.at(1));
      run.exit_code = number(r.at(2));
    } else if (kind == "timeout") {
      run.timed_out = true;
      run.problems.push_back("Hotfix.exe did not end in time and was killed");
    } else {
      run.problems.push_back(join(r, ' '));
    }
  }
  return hotfix_pid;
}

}  // namespace

void HotfixCase::read_results(HotfixRun& run) const {
  const fs::path work = prefix_.drive_c() / "harness" / id_;
  const unsigned long hotfix_pid = read_robot_log(work / "boxbot.log", run);
  if (second_copy_) {
    HotfixRun second;
    read_robot_log(work / "second.log", second);
    run.second_copies.push_back(std::move(second));
  }
  for (const auto& r : read_records(work / "stub.log")) {
    const unsigned long pid = number(r.at(2));
    if (r.at(0) == "ran") {
      run.second_copy_ran = join(std::vector<std::string>(r.begin() + 3, r.end()), ' ');
    } else if (r.at(0) == "start") {
      InstallerRun installer;
      installer.pid = pid;
      installer.start_tick = number(r.at(1));
      installer.module = r.at(3);
      installer.command_line = r.at(4);
      installer.current_dir = r.at(5);
      installer.uses_show_window = r.at(6) == "1";
      installer.show_window = std::stoi(r.at(7));
      run.installers.push_back(installer);
    } else {
      for (auto& installer : run.installers)
        if (installer.pid == pid && !installer.end_tick) {
          installer.end_tick = number(r.at(1));
          installer.exit_code = number(r.at(3));
        }
    }
  }
  const std::string trace = read_text(work / "wine.err");
  if (trace_)
    for (const auto& call : parse_relay(trace))
      if (call.pid == hotfix_pid) run.calls.push_back(call);

  run.transcript = "--- boxbot.log\n" + read_text(work / "boxbot.log") +
                   (second_copy_ ? "--- second.log\n" + read_text(work / "second.log") : "") +
                   "--- stub.log\n" +
                   read_text(work / "stub.log") + "--- problems\n" + join(run.problems, '\n') +
                   "\n--- wine stderr (end)\n" + tail(trace, 3000) + "\n";
}

}  // namespace wine_harness
