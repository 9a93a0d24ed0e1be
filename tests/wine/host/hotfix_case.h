// One run of Hotfix.exe under Wine, as a person would see it: the folder it
// sits in, the installers next to it, the answers given to its message
// boxes; and what came of it.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "relay.h"
#include "wine_prefix.h"

namespace wine_harness {

struct Box {
  unsigned long tick = 0;  // when it was seen (GetTickCount, the stub's clock)
  std::string title;
  std::string text;
  std::vector<std::string> buttons;  // labels, left to right, without & marks
  std::vector<int> button_ids;
  std::string default_button;  // label
  std::string focus;           // label of the focused button
  std::string icon;            // hand, question, ..., none, unknown
  std::string owner;           // none or window
  std::string answer;          // scripted word, auto-ok or unscripted
  std::string pressed;         // label clicked, or enter
};

// A window of the program's own that asks nothing (the progress window), as
// it showed at one moment.
struct WindowSeen {
  unsigned long tick = 0;
  std::string title;
  std::string text;  // its texts, a line each
};

struct InstallerRun {
  unsigned long pid = 0;
  std::string module;        // GetModuleFileNameW
  std::string command_line;  // GetCommandLineW
  std::string current_dir;
  bool uses_show_window = false;  // STARTF_USESHOWWINDOW
  int show_window = -1;           // wShowWindow; 0 is SW_HIDE
  unsigned long start_tick = 0;
  std::optional<unsigned long> end_tick;
  std::optional<unsigned long> exit_code;
};

struct HotfixRun {
  std::optional<unsigned long> exit_code;  // none if it never ended
  unsigned long exit_tick = 0;
  bool timed_out = false;
  std::vector<Box> boxes;
  std::vector<WindowSeen> windows;
  std::vector<InstallerRun> installers;
  std::vector<Call> calls;            // Hotfix.exe's own, when traced
  std::vector<std::string> problems;  // unscripted boxes, leftovers, harness errors
  std::string transcript;             // every log, for failure messages

  // Copies started while this one waited for 40517.exe (second_copy).
  std::vector<HotfixRun> second_copies;
  std::string second_copy_ran;  // what the stub recorded of it: its robot's exit, or failed

  std::vector<Call> calls_to(const std::string& function) const;
  // What Hotfix.exe wrote with OutputDebugString, when traced.
  std::vector<std::string> report_lines() const;
};

struct Builds {
  std::filesystem::path dir;  // Hotfix.exe, boxbot.exe and stub.exe
  std::filesystem::path trk;  // the firewall's trk.exe at file version 3.3.1000.0
};

class HotfixCase {
 public:
  // A machine the fix applies to: Windows XP (the prefix's version), Orvane
  // Firewall v3.03 in the registry with its trk.exe at 3.3.1000.0, and
  // C:\hotfix holding Hotfix.exe with the stub as 40517.exe and 40517-2.exe.
  HotfixCase(const WinePrefix& prefix, Builds builds, std::string id);

  HotfixCase& folder(const std::string& windows_folder);
  HotfixCase& installer(const std::string& name);  // the stub under this name
  HotfixCase& without_installer(const std::string& name);
  HotfixCase& answers(std::vector<std::string> words);  // yes, no, ok, enter, ...
  HotfixCase& arguments(std::vector<std::string> args);  // Hotfix.exe's command line
  HotfixCase& env(const std::string& name, const std::string& value);
  // Changes to the machine for this case only; every case starts again from
  // the machine above.
  HotfixCase& registry(const std::string& key, const std::string& name, const std::string& type,
                       const std::string& data);
  HotfixCase& without_registry_value(const std::string& key, const std::string& name);
  HotfixCase& without_registry_key(const std::string& key);  // the key and all below it
  HotfixCase& windows_version(const std::string& version);  // winxp, win2k, ... for Hotfix.exe
  HotfixCase& file(const std::string& windows_path, const std::filesystem::path& source);
  HotfixCase& without_file(const std::string& windows_path);
  HotfixCase& hide_file(const std::string& windows_path);  // a Windows file, put back after
  // Records Hotfix.exe's calls of the functions listed in the prefix's
  // RelayInclude (see wine_prefix.cpp).
  HotfixCase& trace_calls();
  // Boxes are read and logged but left for a person to answer.
  HotfixCase& watch_only();
  HotfixCase& timeout(std::chrono::milliseconds limit);
  // While 40517.exe runs, it starts a second copy of Hotfix.exe with these
  // arguments, under a robot of its own with these answers, and waits for it.
  HotfixCase& second_copy(std::vector<std::string> args, std::vector<std::string> answers);
  // Starts Hotfix.exe on this desktop ("hfsvc\Default"), out of the robot's sight.
  HotfixCase& desktop(const std::string& station_and_desktop);
  // Called once the machine is laid out, just before Hotfix.exe starts, and
  // once everything it started has ended, before the case's changes are
  // undone: for looking at the machine around the run itself.
  HotfixCase& on_laid_out(std::function<void()> hook);
  HotfixCase& on_ended(std::function<void()> hook);

  // The case's own folder (logs, boxbot) on the host, and the program folder.
  std::filesystem::path work_dir() const;
  std::filesystem::path program_dir() const { return host_path(folder_); }

  HotfixRun run();

 private:
  struct Value {
    std::string key, name, type, data;
  };

  std::filesystem::path host_path(const std::string& windows_path) const;
  void lay_out(HotfixRun& run) const;
  void read_results(HotfixRun& run) const;

  const WinePrefix& prefix_;
  Builds builds_;
  std::string id_;
  std::string folder_ = "C:\\hotfix";
  std::vector<std::string> installers_ = {"40517.exe", "40517-2.exe"};
  std::vector<std::string> answers_;
  std::vector<std::string> arguments_;
  std::map<std::string, std::optional<std::string>> env_;
  std::vector<Value> values_;
  std::vector<Value> removed_values_;
  std::vector<std::string> removed_keys_;
  bool watch_only_ = false;
  std::function<void()> on_laid_out_;
  std::function<void()> on_ended_;
  std::vector<std::pair<std::string, std::filesystem::path>> files_;
  std::vector<std::string> removed_files_;
  std::vector<std::string> hidden_;
  bool trace_ = false;
  std::optional<std::pair<std::vector<std::string>, std::vector<std::string>>> second_copy_;
  std::string desktop_;
  std::chrono::milliseconds timeout_{20000};
};

}  // namespace wine_harness
