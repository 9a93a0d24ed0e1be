#include "simulator/explain.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

#include "deployment/arguments.h"
#include "deployment/exit_status.h"
#include "deployment/payload_check.h"
#include "deployment/switches.h"
#include "payload/sha256.h"
#include "platform/simulated/simulated_platform.h"
#include "registry/lookups.h"
#include "system/os_version.h"

namespace simulator {
namespace {

using platform::Text;

std::string U8(const Text& t) { return platform::ToUtf8(t); }

std::string WindowsName(const sim::Machine& machine) {
  sim::Machine copy;
  copy.windows = machine.windows;
  sim::SimulatedPlatform probe(copy);
  const Text name = sys::get_OS(probe);
  const auto& w = machine.windows;
  std::string numbers = "platform " + std::to_string(w.platform_id) + ", version " +
                        std::to_string(w.major) + "." + std::to_string(w.minor);
  return "\"" + U8(name) + "\" (" + numbers + ")";
}

bool ShowedNotice(const sim::Observations& seen) {
  for (const auto& b : seen.boxes) {
    if (b.text == u"No Version Info available!") return true;
  }
  return false;
}

// The first installer started that ends with a failure, with its code.
std::optional<std::pair<Text, platform::Long>> FailedInstaller(const sim::Machine& machine,
                                                                const sim::Observations& seen) {
  for (const auto& p : seen.started) {
    const sim::SimFile* file = machine.FindFile(p.application);
    if (file && file->program && !file->program->refuses_open &&
        !deployment::InstallerSucceeded(file->program->exit_code))
      return std::pair(p.command_line, file->program->exit_code);
  }
  return std::nullopt;
}

// The log path of the command line, or none.
std::optional<Text> LogPath(const sim::Machine& machine) {
  const auto parsed =
      deployment::ParseSwitches(deployment::SplitArguments(u"Hotfix.exe " + machine.arguments));
  const auto* switches = std::get_if<deployment::Switches>(&parsed);
  return switches ? switches->log : std::nullopt;
}

// Why the log path was refused, or could not be opened, as the run saw it.
std::string LogTrouble(const sim::Machine& machine) {
  const auto path = LogPath(machine);
  if (!path) return "";
  sim::Machine copy;
  copy.app_path = machine.app_path;
  copy.current_directory = machine.current_directory;
  sim::SimulatedPlatform probe(copy);
  Text full = *path;
  probe.GetFullPathNameW(*path, full);
  const std::string name = " (" + U8(full) + ")";
  if (sim::IsDeviceName(full)) return "the log path is a device" + name + ", not a file";
  if (const auto kind = machine.path_kinds.find(sim::NormalizePath(full));
      kind != machine.path_kinds.end()) {
    switch (kind->second) {
      case sim::PathKind::kFolder: return "the log path is a folder" + name;
      case sim::PathKind::kHardLink:
        return "the log path is a file with a second name (a hard link)" + name +
               ", so writing to it would change another file";
      case sim::PathKind::kReparsePoint:
        return "the log path is a reparse point (a junction or symbolic link)" + name;
      case sim::PathKind::kFile: break;
    }
  }
  return "the log file cannot be opened for appending" + name;
}

// A path as the trace quoted it.
Text Unquoted(const std::string& quoted) {
  std::string out;
  for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
    char c = quoted[i];
    if (c == '\\') {
      const char e = quoted[++i];
      c = e == 'r' ? '\r' : e == 'n' ? '\n' : e == 't' ? '\t' : e == '0' ? '\0' : e;
    }
    out += c;
  }
  return platform::FromUtf8(out);
}

// What the check found in one installer file, from the calls the run made
// on it; empty when it is as pinned.
std::string InstallerTrouble(const sim::Machine& machine, const sim::Observations& seen,
                             const sim::TraceEvent& open, const payload::PinnedFile& pinned) {
  const Text path = Unquoted(open.args.at(0));
  const std::string name = U8(path);
  if (const auto error = open.result.find(" error="); error != std::string::npos) {
    const std::string code = open.result.substr(error + 7);
    if (code == "2" || code == "3") return name + " is missing";
    return name + " could not be opened for reading (Windows error " + code +
           (code == "5" ? ": access denied, or it is a folder)" : code == "32" ? ": in use by another program)" : ")");
  }
  std::uint64_t size = 0;
  for (const auto& e : seen.trace) {
    if (e.args.empty() || e.args[0] != open.result) continue;
    if (e.call == "GetFileInformationByHandle" && e.result == "0") return name + " could not be examined";
    if (e.call == "GetFileInformationByHandle" &&
        std::stoul(e.result.substr(e.result.find("attributes=") + 11), nullptr, 16) & platform::kFileAttributeReparsePoint)
      return name + " is a reparse point (a junction or symbolic link), which a pinned build "
                    "refuses: what it leads to could change after the check";
    if (e.call == "ReadFile" && e.result == "0")
      return name + " could not be read to its end (a damaged disk, or a program locking the file)";
    if (e.call == "ReadFile") size += std::stoull(e.result.substr(e.result.find("read=") + 5));
  }
  const sim::SimFile* file = machine.FindFile(path);
  const std::string bytes = file ? file->contents.substr(0, size) : std::string();
  std::uint8_t digest[payload::kDigestSize];
  payload::Sha256 sha;
  sha.Update(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  sha.Final(digest);
  if (size == pinned.size && std::equal(digest, digest + sizeof digest, pinned.sha256)) return "";
  return name + " holds " + U8(deployment::Described(size, digest)) + ", but this build expects " +
         U8(deployment::Described(pinned.size, pinned.sha256));
}

// Why a pinned build started nothing: the files it found not as pinned.
std::string PayloadTrouble(const sim::Machine& machine, const sim::Observations& seen) {
  std::string found;
  std::size_t index = 0;
  for (const auto& e : seen.trace) {
    if (e.call != "OpenFileForReading" || index >= payload::kPinnedInstallers) continue;
    const std::string trouble = InstallerTrouble(machine, seen, e, machine.pinned.files[index++]);
    if (!trouble.empty()) found += (found.empty() ? "" : "; ") + trouble;
  }
  return "This build of Hotfix.exe is pinned to its two installers and checks them before it "
         "starts either: " + (found.empty() ? std::string("the check failed") : found) +
         ". Nothing was started. The installer files beside Hotfix.exe were damaged or "
         "replaced: copy the original ones of this release beside it again.";
}

}  // namespace

std::string OneLine(const Text& t) {
  std::string out;
  for (char c : U8(t)) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '\0') out += "\\0";
    else out += c;
  }
  return out;
}

std::string CaveatFor(const std::vector<sim::RegWarning>& warnings) {
  const Text read_keys[] = {registry::kFirewallUninstallKey, registry::kSuiteUninstallKey,
                            registry::kFirewallKey, registry::kSuiteSetupKey,
                            registry::kUpdaterProgramKey};
  std::string lines;
  for (const auto& w : warnings) {
    if (w.root != platform::kHkeyLocalMachine) continue;
    bool read = false;
    for (const Text& key : read_keys) read = read || sim::FoldCase(w.path) == sim::FoldCase(key);
    if (!read) continue;
    lines += (lines.empty() ? "" : ", ") + w.file + ":" + std::to_string(w.line);
  }
  if (lines.empty()) return "";
  return "But lines of the export in keys the hotfix reads were skipped or read otherwise (" +
         lines + "; see the warnings), so this verdict may not be the customer machine's.";
}

std::string ExitMeaning(int exit_code) { return U8(deployment::ExitStatusMeaning(exit_code)); }

std::string RunExitMeaning(const sim::Machine& machine, const sim::Observations& seen) {
  const int code = seen.exit_code.value_or(-1);
  if (const auto failed = FailedInstaller(machine, seen); failed && failed->second == code)
    return "the exit code of the installer " + OneLine(failed->first) + ", which failed";
  if (code == 0 && IsCheckRun(machine)) return "the fix applies to this computer, nothing was started";
  return ExitMeaning(code);
}

std::string ExplainRun(const sim::Machine& machine, const sim::Observations& seen);

bool IsCheckRun(const sim::Machine& machine) {
  const auto parsed =
      deployment::ParseSwitches(deployment::SplitArguments(u"Hotfix.exe " + machine.arguments));
  const auto* switches = std::get_if<deployment::Switches>(&parsed);
  return switches != nullptr && switches->check && !switches->help;
}

std::string Explain(const sim::Machine& machine, const sim::Observations& seen) {
  std::string why = ExplainRun(machine, seen);
  if (!machine.visible_desktop)
    why += " The session had no visible desktop (a service session): no box was shown; each was "
           "answered by the switches, or else by its default button.";
  return why;
}

std::string ExplainRun(const sim::Machine& machine, const sim::Observations& seen) {
  const int code = seen.exit_code.value_or(-1);
  if (const auto failed = FailedInstaller(machine, seen); failed && failed->second == code) {
    return "The installer " + OneLine(failed->first) + " ended with exit code " +
           std::to_string(static_cast<std::uint32_t>(code)) +
           ", a failure, and Hotfix.exe passes the first failing installer's code on. " +
           (seen.started.size() == 2 ? "Both installers ran" : "Not every installer ran") +
           (seen.restart ? "; the restart was requested." : "; no restart was requested.");
  }
  if (code == 0 && IsCheckRun(machine))
    return "The checks passed: the fix applies to this computer. /check started nothing.";
  if (code == deployment::kExitHelpShown) return "The list of switches was asked for; nothing else was done.";
  if (code == deployment::kExitInvalidCommandLine) {
    const auto parsed = deployment::ParseSwitches(deployment::SplitArguments(u"Hotfix.exe " + machine.arguments));
    const auto* bad = std::get_if<deployment::BadCommandLine>(&parsed);
    std::string reason = bad ? ": " + U8(bad->reason) : std::string();
    if (!reason.ends_with('.')) reason += '.';
    return "The command line cannot be used" + reason + " Nothing was read or started.";
  }
  if (code == deployment::kExitLogFailure) {
    std::string trouble = LogTrouble(machine);
    if (!trouble.empty()) trouble[0] = static_cast<char>(trouble[0] - 'a' + 'A');
    return trouble + ": nothing was written to it and nothing was started.";
  }
  if (code == deployment::kExitAlreadyRunning)
    return std::string("Another copy of Hotfix.exe was running") +
           (machine.other_copy == sim::OtherCopy::kOtherAccount
                ? ", started by another account (its mutex refused this copy: access denied)"
                : "") +
           ", so this copy read nothing and started nothing.";
  if (code == deployment::kExitPayloadMismatch && machine.pinned.pinned) return PayloadTrouble(machine, seen);
  if (code == 1603) {
    const Text text = seen.boxes.empty() ? Text() : seen.boxes.back().text;
    return "The run stopped with a run-time error (" + OneLine(text) +
           "): most likely an installer is missing from the program folder.";
  }
  if (code == 3010 || code == 1641) {
    std::string s = "The fix applies: both installers ran.";
    if (!seen.restart) return s + " The restart was declined.";
    return s + (seen.restart->accepted ? " The restart was requested and accepted."
                                       : " The restart was requested but Windows refused it.");
  }
  if (code != 1642) return "The run ended with status " + std::to_string(code) + ".";
  if (seen.printed.empty()) {
    return "The firewall's uninstall entry was not found: its \"DisplayName\" value is missing, "
           "blank, not REG_SZ or REG_DWORD, or the key cannot be opened with write access.";
  }
  const Text& full_name = seen.printed[0].substr(Text(u"Full filename: ").size());
  const Text version_line = seen.printed.size() > 1 ? seen.printed[1] : Text();
  if (version_line != u"File version: 3.3.1000.0") {
    if (ShowedNotice(seen)) {
      std::string s = "No version information could be read from " + U8(full_name) + ".";
      if (full_name.starts_with(u"No! Value or Key Doesn't exist")) {
        s += " The firewall's \"Installpath\" value is missing or not REG_SZ.";
      } else if (!full_name.ends_with(u"\\trk.exe")) {
        s += " The \"Installpath\" value probably lacks its trailing backslash.";
      } else if (machine.FindFile(full_name) == nullptr) {
        s += " The simulated machine has no file there because none was given: pass the "
             "customer's trk.exe with --file '" + U8(full_name) + "=./trk.exe'.";
      }
      return s;
    }
    return "trk.exe has file version " + U8(version_line.substr(Text(u"File version: ").size())) +
           ", not 3.3.1000.0.";
  }
  return "Windows is named " + WindowsName(machine) + ", not \"Windows XP\".";
}

}  // namespace simulator
