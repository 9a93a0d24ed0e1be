// hotfix-sim: what would Hotfix.exe do on this machine, and why?
#include <CLI/CLI.hpp>

#include "fleet/fleet_report.h"

#include <iostream>

#include "platform/host_path.h"
#include "platform/simulated/input_error.h"
#include "platform/simulated/reg_file.h"
#include "platform/simulated/run.h"
#include "simulator/report.h"
#include "simulator/scenario.h"

#ifdef _WIN32
#include "platform/win32/utf8_console.h"
#endif

namespace {

constexpr char kHelp[] = R"(Runs the hotfix's real sequence on a simulated machine and shows what a
person would see (each message box with its title, text and the answer
given), the installers started with their command lines, the six report
lines, the restart request, the exit status Hotfix.exe would return, and why.

A machine is a scenario folder (scenario.toml, machine.reg) or is described
ad hoc: Windows XP, the program in C:\Hotfix with both installers, nothing
else, plus what the options add. Options also add to a scenario.

Examples:
  hotfix-sim scenarios/applies
  hotfix-sim --reg customer.reg --file 'C:\Program Files\Orvane\Firewall\trk.exe=./trk.exe' --windows winxp

--args runs Hotfix.exe's command line as a deployment tool would pass it
('/quiet /norestart /log:C:\hotfix.log'); the report then shows what the
log received.

Exit status: Hotfix.exe's on Windows (hotfix-sim.exe); elsewhere its low 8
bits (3010 -> 194, 1641 -> 105, 1642 -> 106, 1618 -> 82, 1603 -> 67,
1622 -> 86, 87 -> 87); 1 when --check finds a difference; 2 for bad input.)";

// Windows keeps a program's whole 32-bit exit status; POSIX only its low 8 bits.
int ExitStatus(int hotfix_status) {
#ifdef _WIN32
  return hotfix_status;
#else
  return hotfix_status & 0xFF;
#endif
}

std::pair<std::string, std::string> SplitAssignment(const std::string& arg, const std::string& option) {
  const auto eq = arg.rfind('=');
  if (eq == std::string::npos || eq == 0 || eq + 1 == arg.size()) {
    throw sim::InputError(option + " " + arg + ": expected WINDOWS_PATH=VALUE");
  }
  return {arg.substr(0, eq), arg.substr(eq + 1)};
}

bool Check(const simulator::Scenario& s, const sim::Observations& seen, std::ostream& out) {
  bool ok = true;
  auto mismatch = [&](const std::string& what) {
    out << "MISMATCH: " << what << "\n";
    ok = false;
  };
  if (s.expect.exit_code && *s.expect.exit_code != seen.exit_code.value_or(-1)) {
    mismatch("exit status " + std::to_string(seen.exit_code.value_or(-1)) + ", expected " +
             std::to_string(*s.expect.exit_code));
  }
  if (s.expect.box_titles) {
    std::vector<platform::Text> titles;
    for (const auto& b : seen.boxes) titles.push_back(b.title);
    if (titles != *s.expect.box_titles) mismatch("box titles differ");
  }
  if (s.expect.started) {
    std::vector<platform::Text> lines;
    for (const auto& p : seen.started) lines.push_back(p.command_line);
    if (lines != *s.expect.started) mismatch("programs started differ");
  }
  if (s.expect.restart && *s.expect.restart != seen.restart.has_value()) {
    mismatch(*s.expect.restart ? "no restart requested" : "a restart was requested");
  }
  return ok;
}

}  // namespace

int Main(int argc, char** argv) {
  if (argc > 1 && std::string_view(argv[1]) == "fleet") return fleet::FleetMain(argc - 1, argv + 1);
  CLI::App app(kHelp, "hotfix-sim");
  // Its values are Windows paths and command lines ("/quiet"), never options.
  app.allow_windows_style_options(false);
  std::string scenario_dir;
  std::vector<std::string> reg_files, files, version_files, answers, missing;
  std::string windows, folder, arguments;
  bool arguments_given = false;
  bool trace = false, json = false, check = false;
  app.add_option("SCENARIO_DIR", scenario_dir, "Scenario folder (scenario.toml, machine.reg)")
      ->check(CLI::Validator(platform::MissingFolder, "DIR"));
  app.add_option("--reg", reg_files, "A regedit export to load (repeatable)")->check(CLI::Validator(platform::MissingFile, "FILE"));
  app.add_option("--windows", windows, "winxp, winxp64, win2003, win2k, nt40, nt351, win98, win95, winme, vista, win7, win8, win81, win10");
  app.add_option("--file", files, "WINDOWS_PATH=LOCAL_FILE: a file whose version resource is read from a real PE file (repeatable)");
  app.add_option("--version-file", version_files, "WINDOWS_PATH=a.b.c.d: a file with that version (repeatable)");
  int ui_language = 0;
  app.add_option("--ui-language", ui_language,
                 "The machine's UI language as a LANGID (0x410 Italian; default 0x409 English US): "
                 "which language of a file's version resource Windows gives")
      ->check(CLI::Range(1, 0xFFFF));
  app.add_option("--folder", folder, "The program's folder (default C:\\Hotfix)");
  app.add_option("--missing", missing, "An installer absent from the program's folder: 40517.exe or 40517-2.exe (repeatable)");
  app.add_option("--answer", answers, "yes, no or enter, for each question in order, and ok, cancel or wait for a restart countdown (repeatable); without a scenario folder, a question with no answer left gets Enter");
  app.add_option("--args", arguments, "Hotfix.exe's arguments, as one string: '/quiet /norestart'")
      ->each([&](const std::string&) { arguments_given = true; });
  std::string another_copy, current_folder;
  std::vector<std::string> programs, path_kinds;
  bool no_desktop = false;
  app.add_option("--another-copy", another_copy,
                 "Another copy of Hotfix.exe already runs: running (same account) or "
                 "other-account (its mutex refuses this one, access denied)");
  app.add_option("--program", programs,
                 "WINDOWS_PATH: a program file that exists on the machine, such as a planted "
                 "C:\\hf.exe (repeatable)");
  app.add_option("--path-kind", path_kinds,
                 "WINDOWS_PATH=folder|hardlink|reparse-point: what a name is, for a log path "
                 "(repeatable); device names (NUL, COM1, ...) are devices anyway");
  app.add_option("--current-folder", current_folder,
                 "The folder Hotfix.exe is started in (default its own; a deployment tool's is "
                 "often C:\\WINDOWS\\system32): relative log paths start there");
  app.add_flag("--no-desktop", no_desktop,
               "The session has no visible desktop (a service session, as under a deployment "
               "tool running as SYSTEM): no box can be shown");
  app.add_flag("--trace", trace, "Also list every platform call with its arguments and result");
  app.add_flag("--json", json, "Print the same as JSON");
  app.add_flag("--check", check, "Compare with the scenario's expectations; exit 1 on a difference");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }

  try {
    simulator::Scenario s;
    if (!scenario_dir.empty()) {
      s = simulator::LoadScenario(platform::HostPath(scenario_dir));
    } else {
      s.name = "ad hoc";
      s.machine = simulator::BaseMachine();
    }
    if (!folder.empty()) {
      sim::Machine& m = s.machine;
      const platform::Text new_folder = platform::FromUtf8(folder);
      for (const char16_t* name : {u"\\40517.exe", u"\\40517-2.exe"}) {
        const auto it = m.files.find(sim::NormalizePath(m.app_path + name));
        if (it == m.files.end()) continue;
        const sim::SimFile file = it->second;
        m.files.erase(it);
        m.files[sim::NormalizePath(new_folder + name)] = file;
      }
      m.app_path = new_folder;
    }
    for (const auto& name : missing) {
      s.machine.files.erase(sim::NormalizePath(s.machine.app_path + u"\\" + platform::FromUtf8(name)));
    }
    if (!windows.empty()) {
      const auto version = sim::WindowsVersionNamed(windows);
      if (!version) throw sim::InputError("--windows " + windows + ": unknown Windows name");
      s.machine.windows = *version;
    }
    std::vector<sim::RegWarning> reg_warnings = s.reg_warnings;
    if (ui_language != 0) s.machine.ui_language = static_cast<std::uint16_t>(ui_language);
    for (const auto& reg : reg_files) sim::LoadRegFile(reg, s.machine.registry, &reg_warnings);
    for (const auto& f : files) {
      const auto [path, local] = SplitAssignment(f, "--file");
      simulator::AddFileFromPe(s.machine, platform::FromUtf8(path), platform::HostPath(local));
    }
    for (const auto& f : version_files) {
      const auto [path, version] = SplitAssignment(f, "--version-file");
      s.machine.AddVersionedFile(platform::FromUtf8(path),
                                 simulator::VersionResourceFor(version, "--version-file " + f));
    }
    if (arguments_given) s.machine.arguments = platform::FromUtf8(arguments);
    if (!another_copy.empty()) s.machine.other_copy = simulator::ParseOtherCopy(another_copy, "--another-copy");
    for (const auto& p : programs) s.machine.AddProgram(platform::FromUtf8(p));
    for (const auto& k : path_kinds) {
      const auto [path, kind] = SplitAssignment(k, "--path-kind");
      s.machine.path_kinds[sim::NormalizePath(platform::FromUtf8(path))] =
          simulator::ParsePathKind(kind, "--path-kind " + k);
    }
    if (!current_folder.empty()) s.machine.current_directory = platform::FromUtf8(current_folder);
    if (no_desktop) s.machine.visible_desktop = false;
    for (const auto& a : answers) s.machine.answers.push_back(simulator::ParseAnswer(a, "--answer"));
    s.machine.enter_when_unscripted = scenario_dir.empty();

    // Before the run, as regedit would have shown them on import.
    for (const auto& w : reg_warnings) std::cerr << "hotfix-sim: warning: " << sim::Describe(w) << "\n";
    const sim::Machine described = s.machine;
    // Answers typed in advance may meet no question (the run ended at a
    // warning): a note, not an error. --check holds a scenario to its script.
    const sim::RunResult run = sim::RunProgram(
        s.machine, check ? sim::UnusedAnswers::kAreAnError : sim::UnusedAnswers::kAreAllowed);
    const sim::Observations& seen = run.seen;
    simulator::ReportNotes notes;
    if (run.unused_answers != 0)
      notes.notes.push_back(std::to_string(run.unused_answers) +
                            " answer(s) given were not used: the run asked fewer questions");
    for (const auto& w : reg_warnings) notes.warnings.push_back(sim::Describe(w));
    notes.caveat = simulator::CaveatFor(reg_warnings);
    std::cout << (json ? simulator::JsonReport(described, seen, trace, notes)
                       : simulator::TextReport(described, seen, trace, notes));
    if (check && !Check(s, seen, std::cout)) return 1;
    return ExitStatus(seen.exit_code.value_or(0));
  } catch (const sim::InputError& e) {
    std::cerr << "hotfix-sim: " << e.what() << "\n";
    return 2;
  } catch (const sim::ScriptError& e) {
    std::cerr << "hotfix-sim: the scenario's answers do not fit the run: " << e.what() << "\n";
    return 2;
  }
}

#ifdef _WIN32
// The command line in UTF-16, as Windows keeps it: the ANSI main would get
// every character outside the code page as "?" (a customer's folder named
// in Greek or Polish letters). Handed on in UTF-8, as the options are read.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i)
    arguments.push_back(platform::ToUtf8(reinterpret_cast<const char16_t*>(argv[i])));
  std::vector<char*> pointers;
  for (auto& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  platform::win32::UseWideConsole();
  return Main(argc, pointers.data());
}
#else
int main(int argc, char** argv) { return Main(argc, argv); }
#endif
