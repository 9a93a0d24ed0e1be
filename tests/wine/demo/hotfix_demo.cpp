// hotfix_demo SCENARIO ANSWER: runs Hotfix.exe under Wine on one of the bundled
// demo machines and tells what a person would have seen and what came of it.
// ANSWER (yes, no or enter) goes to the restart question; HOTFIX_DEMO_ARGS is
// Hotfix.exe's command line, and a /log:C:\... named there is shown after. With DISPLAY set and
// INTERACTIVE=1 the boxes appear on that display and are left to the person.
#include <algorithm>
#include <cctype>
#include <variant>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <vector>
#include <functional>
#include <iostream>
#include <map>
#include <string>

#include "deployment/exit_status.h"
#include "deployment/switches.h"
#include "hotfix_case.h"
#include "hotfix_words.h"
#include "trk_variant.h"
#include "wine_prefix.h"

namespace {

using namespace wine_harness;
namespace fs = std::filesystem;

struct Machine {
  std::string description;
  std::function<void(HotfixCase&, const Builds&)> change;  // from the machine the fix applies to
};

// The bundled demo machines, all defined here.
const std::map<std::string, Machine>& machines() {
  static const std::map<std::string, Machine> all = {
      {"applies",
       {"Windows XP with Orvane Firewall v3.03, trk.exe 3.3.1000.0: the fix applies",
        [](HotfixCase&, const Builds&) {}}},
      {"firewall-missing",
       {"Windows XP without Orvane Firewall (no uninstall entry)",
        [](HotfixCase& c, const Builds&) { c.without_registry_key(kUninstallKey); }}},
      {"wrong-version",
       {"Windows XP with Orvane Firewall, but trk.exe is 3.3.1000.1",
        [](HotfixCase& c, const Builds& builds) {
          const fs::path variant = builds.dir.parent_path() / "wine-demo" / "trk_3_3_1000_1.exe";
          const std::string problem =
              write_trk_with_version(builds.trk, variant, 3, 3, 1000, 1);
          if (!problem.empty()) throw std::runtime_error(problem);
          c.file(kTrkWindowsPath, variant);
        }}},
      {"windows-2000",
       {"Windows 2000 with Orvane Firewall v3.03, trk.exe 3.3.1000.0",
        [](HotfixCase& c, const Builds&) { c.windows_version("win2k"); }}},
  };
  return all;
}

std::string meaning(unsigned long code) {
  return platform::ToUtf8(deployment::ExitStatusMeaning(static_cast<platform::Long>(code)));
}

// Message box texts break lines at CR LF or a bare CR.
std::string shown(const std::string& text) {
  std::string out = "    ";
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\n    ";
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string word; in >> word;) out.push_back(word);
  return out;
}

// "folder\\file.log" below C:\\ as a relative host path.
fs::path windows_relative(std::string path) {
  for (auto& c : path)
    if (c == '\\') c = '/';
  return path;
}

std::string env_or(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : fallback;
}

int usage() {
  std::cerr << "usage: hotfix_demo SCENARIO ANSWER\n  SCENARIO:";
  for (const auto& [name, machine] : machines()) std::cerr << " " << name;
  std::cerr << "\n  ANSWER: yes, no or enter (to the restart question)\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string scenario = argc > 1 ? argv[1] : "applies";
  const std::string answer = argc > 2 ? argv[2] : "no";
  const auto machine = machines().find(scenario);
  if (machine == machines().end() || (answer != "yes" && answer != "no" && answer != "enter"))
    return usage();
  const bool interactive =
      env_or("INTERACTIVE", "") == "1" && !env_or("DISPLAY", "").empty();

  const fs::path source = env_or("HOTFIX_SOURCE_DIR", HOTFIX_SOURCE_DIR);
  const fs::path root = prefix_root(source / "build", "wine-demo");
  // HOTFIX_DEMO_ARCH: i686 or x86_64; otherwise i686 where 32-bit Wine runs.
  const std::string wanted = env_or("HOTFIX_DEMO_ARCH", "");
  Arch arch = wanted == "x86_64" ? Arch::x86_64 : Arch::i686;
  {
    WinePrefix probe(Arch::i686, root);
    const auto problem = probe.loader_problem();
    if (problem && wanted == "i686") {
      std::cerr << "The i686 build cannot run here: " << *problem << "\n";
      return 1;
    }
    if (problem) {
      arch = Arch::x86_64;
      std::cout << "Architecture: x86_64, because 32-bit Wine cannot run here: " << *problem
                << "\n  The i686 build, the one that ships for Windows XP: make run ARCH=i686"
                   " (runs it in the 32-bit lane, a Debian guest under qemu)\n";
    } else if (arch == Arch::i686) {
      std::cout << "Architecture: i686, the build that ships ("
                << (env_or("HOTFIX_LANE_GUEST", "") == "1"
                        ? "32-bit Wine in the lane's guest under qemu"
                        : "32-bit Wine works on this machine")
                << ")\n";
    } else {
      std::cout << "Architecture: x86_64 (HOTFIX_DEMO_ARCH)\n";
    }
  }
  Builds builds;
  builds.dir = source / "build" / ("mingw-" + arch_name(arch));
  builds.trk = source / "tests/fixtures" /
               (arch == Arch::i686 ? "trk_3_3_1000_0_x86.exe" : "trk_3_3_1000_0_x64.exe");
  for (const char* file : {"Hotfix.exe", "boxbot.exe", "stub.exe"})
    if (!fs::exists(builds.dir / file)) {
      std::cerr << (builds.dir / file) << " is missing; run `make build` first\n";
      return 1;
    }

  std::cout << "Machine: " << scenario << " - " << machine->second.description << "\n";
  std::cout << "Preparing the Wine prefix (" << (root / arch_name(arch)).string()
            << "; made once, takes a minute the first time)...\n"
            << std::flush;
  WinePrefix prefix(arch, root);
  if (auto problem = prefix.start()) {
    std::cerr << "Wine prefix: " << *problem << "\n";
    return 1;
  }

  HotfixCase hotfix(prefix, builds, "demo");
  try {
    machine->second.change(hotfix, builds);
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
    return 1;
  }
  // HOTFIX_DEMO_ARGS: Hotfix.exe's command line, split at blanks.
  const std::vector<std::string> arguments = words(env_or("HOTFIX_DEMO_ARGS", ""));
  hotfix.arguments(arguments);
  // Read as Hotfix.exe reads them: whether the question is asked, which log.
  std::vector<platform::Text> wide;
  for (const auto& arg : arguments) wide.push_back(platform::FromUtf8(arg));
  const auto parsed = deployment::ParseSwitches(wide);
  const auto* switches = std::get_if<deployment::Switches>(&parsed);
  const bool question_asked =
      !switches || !(switches->quiet || switches->norestart || switches->forcerestart);
  std::optional<fs::path> log;
  std::string log_name;
  if (switches && switches->log) {
    log_name = platform::ToUtf8(*switches->log);
    if (log_name.size() > 3 && (log_name[0] == 'C' || log_name[0] == 'c') &&
        log_name.compare(1, 2, ":\\") == 0)
      log = prefix.drive_c() / windows_relative(log_name.substr(3));
  }
  std::uintmax_t log_before = 0;
  std::error_code no_log;
  if (log && fs::exists(*log)) log_before = fs::file_size(*log, no_log);
  hotfix.trace_calls();
  if (interactive) {
    std::cout << "Interactive: the boxes appear on " << env_or("DISPLAY", "")
              << "; answer them yourself.\n";
    hotfix.watch_only().env("DISPLAY", env_or("DISPLAY", "")).timeout(std::chrono::minutes(10));
    prefix.set_value("HKCU\\Software\\Wine\\Drivers", "Graphics", "REG_SZ", "x11");
  } else {
    // Only the restart question takes the answer; OK boxes get OK.
    if (scenario == "applies" && question_asked) hotfix.answers({answer});
  }
  std::cout << "Running " << "C:\\hotfix\\Hotfix.exe";
  for (const auto& arg : arguments) std::cout << " " << arg;
  std::cout << " under Wine (" << arch_name(arch) << ")\n\n";
  const HotfixRun run = hotfix.run();
  if (interactive) prefix.set_value("HKCU\\Software\\Wine\\Drivers", "Graphics", "REG_SZ", "null");

  std::cout << "Message boxes (" << run.boxes.size() << "):\n";
  for (size_t i = 0; i < run.boxes.size(); ++i) {
    const Box& box = run.boxes[i];
    std::cout << "  " << i + 1 << ". Title: " << box.title << "\n  Text:\n"
              << shown(box.text) << "\n  Buttons:";
    for (const auto& label : box.buttons)
      std::cout << " [" << label << (label == box.default_button ? " (default)" : "") << "]";
    std::cout << "\n  Answer: "
              << (box.answer == "person"   ? std::string("given by the person at the screen")
                  : box.answer == "enter" ? "Enter, which pressed " + box.default_button
                                          : box.pressed)
              << "\n";
  }
  std::cout << "\nInstallers run (" << run.installers.size() << "):\n";
  for (const auto& installer : run.installers)
    std::cout << "  " << installer.module << "   command line: " << installer.command_line
              << (installer.show_window == 0 ? "   (hidden)" : "") << "\n";
  const auto lines = run.report_lines();
  std::cout << "\nReport lines (OutputDebugString, " << lines.size() << "):\n";
  for (auto line : lines) {
    if (!line.empty() && line.back() == '\n') line.pop_back();
    std::cout << "  " << line << "\n";
  }
  std::cout << "\nRestart request: ";
  const auto exits = run.calls_to("ExitWindowsEx");
  if (exits.empty()) std::cout << "none\n";
  for (const auto& call : exits)
    std::cout << "ExitWindowsEx(0x" << std::hex << call.dword(0) << ", 0x" << call.dword(1)
              << std::dec << ") -> "
              << (call.retval && (*call.retval & 0xFFFFFFFFu) != 0
                      ? "accepted (Wine ended its session)"
                      : "refused")
              << "\n";
  std::cout << "\nExit status: ";
  if (run.exit_code)
    std::cout << *run.exit_code << " (" << meaning(*run.exit_code) << ")\n";
  else
    std::cout << "none, Hotfix.exe did not end\n";
  if (log) {
    const std::string text = read_text(*log);
    std::cout << "\nLog " << log_name << " (what this run appended):\n";
    const std::string added = text.substr(std::min<std::size_t>(text.size(), log_before));
    std::size_t begin = added.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    for (std::size_t end; (end = added.find("\r\n", begin)) != std::string::npos; begin = end + 2)
      std::cout << "  " << added.substr(begin, end - begin) << "\n";
    if (added.empty()) std::cout << "  (nothing)\n";
  }
  for (const auto& problem : run.problems) std::cout << "Harness problem: " << problem << "\n";
  prefix.stop();
  return run.exit_code && run.problems.empty() ? 0 : 1;
}
