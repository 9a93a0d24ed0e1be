// Unattended runs: the switches, the log, and an exit status that tells how
// the installers ended, as a deployment tool and the person at the machine
// see them.
#include <gtest/gtest.h>

#include <functional>

#include "deployment/arguments.h"
#include "machines.h"

namespace {

using namespace testing_machines;
using platform::Long;
using platform::Text;

const Text kFirst = u"C:\\Hotfix\\40517.exe";
const Text kSecond = u"C:\\Hotfix\\40517-2.exe";
const Text kLog = u"C:\\hotfix.log";

void NotApplicable(sim::Machine& m) {
  m.AddVersionedFile(Text(kFirewallDir) + u"trk.exe",
                     sim::MakeVersionResource(sim::FixedFileInfo(3, 3, 1000, 1)));
}
void NoFirstInstaller(sim::Machine& m) { m.files.erase(sim::NormalizePath(kFirst)); }
void NoSecondInstaller(sim::Machine& m) { m.files.erase(sim::NormalizePath(kSecond)); }
std::function<void(sim::Machine&)> Exits(Long first, Long second) {
  return [=](sim::Machine& m) {
    m.AddProgram(kFirst, {.lifetime = 2, .exit_code = first});
    m.AddProgram(kSecond, {.lifetime = 1, .exit_code = second});
  };
}
void LogRefused(sim::Machine& m) { m.unwritable_files[kLog] = platform::kErrorAccessDenied; }
void OtherCopyRuns(sim::Machine& m) { m.other_copy = sim::OtherCopy::kRunning; }
void OtherAccountsCopyRuns(sim::Machine& m) { m.other_copy = sim::OtherCopy::kOtherAccount; }
void NoMutexNamespace(sim::Machine& m) { m.mutex_error = 161; }
void NoDesktop(sim::Machine& m) { m.visible_desktop = false; }
void Windows2000(sim::Machine& m) { m.windows = *sim::WindowsVersionNamed("win2k"); }
void NoFirewall(sim::Machine& m) {
  m.registry.DeleteKey(platform::kHkeyLocalMachine, registry::kFirewallUninstallKey);
}
void NoDesktopOtherCopy(sim::Machine& m) { NoDesktop(m), OtherCopyRuns(m); }
void NoDesktopNotApplicable(sim::Machine& m) { NoDesktop(m), NotApplicable(m); }
// An archive that lost 40517.exe, unpacked where a shorter path is a program.
void MissingBesideShorterPaths(sim::Machine& m) {
  m.app_path = u"C:\\hf test\\app";
  m.files.clear();
  m = ApplicableMachine(m.app_path);
  m.files.erase(sim::NormalizePath(m.app_path + u"\\40517.exe"));
  m.AddProgram(u"C:\\hf.exe");
  m.AddProgram(u"C:\\hf");
}

struct Case {
  const char* name;
  std::function<void(sim::Machine&)> change;
  Text args;
  std::vector<sim::Answer> answers;  // for the boxes that are shown
  std::vector<Text> box_titles;      // shown, in order
  std::size_t started;
  bool restart;
  Long exit_code;
  std::vector<std::string> log;  // entries the log must hold, in order
  std::vector<Long> countdowns = {};  // how each restart countdown shown ended
};

std::vector<Case> Cases() {
  const auto yes = sim::AnswerYes(), no = sim::AnswerNo();
  const sim::Answer restart_now{platform::kIdOk}, annulla{platform::kIdCancel};
  const Long ran_out = platform::kIdTimeout;
  const Text reboot = u"Reboot", warning = u"Orvane Firewall v3.03 Hotfix (CR 40517)",
             hotfix = u"Hotfix";
  const auto none = [](sim::Machine&) {};
  return {
      {"no arguments: the specified run", none, u"", {no}, {reboot}, 2, false, 3010, {}},
      {"quiet: no box, restart", none, u"/quiet", {}, {}, 2, true, 1641, {}},
      {"quiet norestart", none, u"/quiet /norestart", {}, {}, 2, false, 3010, {}},
      {"norestart alone asks nothing", none, u"/norestart", {}, {}, 2, false, 3010, {}},
      {"forcerestart alone asks nothing", none, u"/forcerestart", {}, {}, 2, true, 1641, {}},
      {"quiet forcerestart", none, u"/quiet /forcerestart", {}, {}, 2, true, 1641, {}},
      {"any case, dash or slash", none, u"-QUIET /NoRestart", {}, {}, 2, false, 3010, {}},
      {"quiet where it does not apply", NotApplicable, u"/quiet /log:C:\\hotfix.log", {}, {}, 0,
       false, 1642,
       {"Report: File version: 3.3.1000.1",
        "Message box not shown (/quiet), taken as OK: \"" + platform::ToUtf8(warning) + "\"",
        "Exit status 1642: the fix does not apply to this computer, nothing was done"}},
      {"not applicable, shown", NotApplicable, u"/norestart", {}, {warning}, 0, false, 1642, {}},
      {"quiet, first installer missing", NoFirstInstaller, u"/quiet /log C:\\hotfix.log", {}, {},
       0, false, 1603,
       {"Program not started: C:\\Hotfix\\40517.exe: run-time error 53, File not found",
        "Message box not shown (/quiet), taken as OK: \"Hotfix\"",
        "Exit status 1603: a run-time error ended the run"}},
      {"norestart, second installer missing", NoSecondInstaller, u"/norestart", {}, {hotfix}, 1,
       false, 1603, {}},
      {"first installer fails: its code, the sequence goes on", Exits(1603, 0), u"/quiet", {}, {},
       2, true, 1603, {}},
      {"second installer fails", Exits(0, 5), u"", {no}, {reboot}, 2, false, 5, {}},
      {"the first failure wins", Exits(2, 5), u"/norestart", {}, {}, 2, false, 2, {}},
      {"3010 and 1641 from installers are success", Exits(3010, 1641), u"", {yes}, {reboot}, 2,
       true, 1641, {}},
      {"unknown switch", none, u"/foo", {}, {hotfix}, 0, false, 87, {}},
      {"stray argument", none, u"now", {}, {hotfix}, 0, false, 87, {}},
      {"both restart switches", none, u"/norestart /forcerestart", {}, {hotfix}, 0, false, 87, {}},
      {"bad switch under quiet shows nothing", none, u"/quiet /bogus", {}, {}, 0, false, 87, {}},
      {"log without a file", none, u"/log", {}, {hotfix}, 0, false, 87, {}},
      {"help", none, u"/?", {}, {hotfix}, 0, false, 0, {}},
      {"help is shown even with quiet", none, u"/help /quiet", {}, {hotfix}, 0, false, 0, {}},
      {"log cannot be opened", LogRefused, u"/log:C:\\hotfix.log", {}, {hotfix}, 0, false, 1622,
       {}},
      {"log cannot be opened, quiet", LogRefused, u"/quiet /log:C:\\hotfix.log", {}, {}, 0, false,
       1622, {}},
      {"another copy runs: one box, nothing read", OtherCopyRuns, u"", {}, {hotfix}, 0, false,
       1618, {}},
      {"another copy runs, quiet: the log alone says so", OtherCopyRuns,
       u"/quiet /log:C:\\hotfix.log", {}, {}, 0, false, 1618,
       {"Another copy of Hotfix.exe is running (it holds Global\\Hotfix-CR40517): nothing was "
        "read or started",
        "Exit status 1618: another copy of Hotfix.exe is running, nothing was done"}},
      {"another account's mutex refuses access: held", OtherAccountsCopyRuns, u"/norestart", {},
       {hotfix}, 0, false, 1618, {}},
      {"no mutex namespace: the run goes on", NoMutexNamespace, u"/quiet /log:C:\\hotfix.log", {},
       {}, 2, true, 1641,
       {"The single-instance mutex Global\\Hotfix-CR40517 cannot be created (Windows error 161); "
        "the run goes on without it"}},
      {"no desktop: the restart question is No", NoDesktop, u"/log:C:\\hotfix.log", {}, {}, 2,
       false, 3010,
       {"Message box not shown (no visible desktop), taken as No: \"Reboot\""}},
      {"no desktop, quiet: the switch answers", NoDesktop, u"/quiet", {}, {}, 2, true, 1641, {}},
      {"no desktop, not applicable", NoDesktopNotApplicable, u"", {}, {}, 0, false, 1642, {}},
      {"no desktop, bad switch", NoDesktop, u"/quite", {}, {}, 0, false, 87, {}},
      {"no desktop, help", NoDesktop, u"/?", {}, {}, 0, false, 0, {}},
      {"no desktop, another copy", NoDesktopOtherCopy, u"", {}, {}, 0, false, 1618, {}},
      {"missing installer beside a shorter path: error, nothing runs", MissingBesideShorterPaths,
       u"/norestart", {}, {hotfix}, 0, false, 1603, {}},
      {"passive norestart: the window, no box", none, u"/passive /norestart /log:C:\\hotfix.log", {},
       {}, 2, false, 3010,
       {"Progress window shows: Passo 1 di 2: 40517.exe",
        "Installer ended: C:\\Hotfix\\40517.exe, exit code 0 (success)",
        "Progress window shows: Passo 2 di 2: 40517-2.exe", "Progress window closed", "Message box not shown (/norestart), taken as No: \"Reboot\""}},
      {"passive: the countdown, unanswered, then the restart", none, u"/passive", {}, {}, 2, true,
       1641, {}, {ran_out}},
      {"passive where it does not apply: nothing shown", NotApplicable, u"/passive", {}, {}, 0,
       false, 1642, {}},
      {"passive forcerestart: no countdown", none, u"/passive /forcerestart", {}, {}, 2, true, 1641,
       {}},
      {"warnrestart answered Annulla", none, u"/warnrestart:30", {annulla}, {}, 2, false, 3010, {},
       {platform::kIdCancel}},
      {"warnrestart answered Riavvia ora", none, u"/warnrestart /log:C:\\hotfix.log", {restart_now}, {}, 2, true, 1641,
       {"Restart countdown: 30 s", "Restart countdown answered Riavvia ora: restart"},
       {platform::kIdOk}},
      {"quiet warnrestart: only the countdown", none, u"/quiet /warnrestart:3", {}, {}, 2, true,
       1641, {}, {ran_out}},
      {"forcerestart warnrestart: Annulla keeps Windows running", none,
       u"/forcerestart /warnrestart:5", {annulla}, {}, 2, false, 3010, {}, {platform::kIdCancel}},
      {"warnrestart:0 restarts at once, showing nothing", none, u"/warnrestart:0", {}, {}, 2, true,
       1641, {}, {}},
      {"promptrestart asks even under quiet", none, u"/quiet /promptrestart", {no}, {reboot}, 2,
       false, 3010, {}},
      {"promptrestart asks under passive", none, u"/passive /promptrestart", {yes}, {reboot}, 2,
       true, 1641, {}},
      {"no desktop: warnrestart waits its time, then restarts", NoDesktop,
       u"/passive /warnrestart:7 /log:C:\\hotfix.log", {}, {}, 2, true, 1641,
       {"Restart countdown: 7 s",
        "Restart countdown not shown (no visible desktop); its time passed: restart"},
       {}},
      {"no desktop: promptrestart takes No", NoDesktop, u"/quiet /promptrestart", {}, {}, 2, false,
       3010, {}},
      {"norestart with warnrestart", none, u"/norestart /warnrestart", {}, {hotfix}, 0, false, 87,
       {}},
      {"norestart with promptrestart", none, u"/promptrestart /norestart", {}, {hotfix}, 0, false,
       87, {}},
      {"warnrestart with promptrestart", none, u"/warnrestart:5 /promptrestart", {}, {hotfix}, 0,
       false, 87, {}},
      {"forcerestart with promptrestart", none, u"/forcerestart /promptrestart", {}, {hotfix}, 0,
       false, 87, {}},
      {"quiet with passive", none, u"/quiet /passive", {}, {}, 0, false, 87, {}},
      {"a countdown past an hour", none, u"/warnrestart:3601", {}, {hotfix}, 0, false, 87, {}},
      {"a countdown that is no number", none, u"/warnrestart:1e3", {}, {hotfix}, 0, false, 87, {}},
      {"bad switch under passive shows nothing", none, u"/passive /bogus", {}, {}, 0, false, 87,
       {}},
      {"/check where it applies: the verdict, nothing started", none,
       u"/check /log:C:\\hotfix.log", {}, {hotfix}, 0, false, 0,
       {"Hotfix.exe 1.00 (CR40517) started on XPDESK by Administrator, mode check",
        "Report: File version: 3.3.1000.0",
        "Check passed; not started: C:\\Hotfix\\40517.exe",
        "Exit status 0: the fix applies, nothing was started",
        "Result: verdict=applies; reason=checks-passed; windows=Windows XP; "
        "trk_version=3.3.1000.0; exit_status=0"}},
      {"/check /quiet, another trk.exe", NotApplicable, u"/check /quiet /log:C:\\hotfix.log", {},
       {}, 0, false, 1642,
       {"Result: verdict=not-applicable; reason=trk-version; windows=Windows XP; "
        "trk_version=3.3.1000.1; exit_status=1642"}},
      {"/check /quiet on Windows 2000", Windows2000, u"/check /quiet /log:C:\\hotfix.log", {}, {},
       0, false, 1642,
       {"Result: verdict=not-applicable; reason=not-windows-xp; windows=Windows 2000; "
        "trk_version=3.3.1000.0; exit_status=1642"}},
      {"/check without the firewall shows the warning", NoFirewall,
       u"/check /log:C:\\hotfix.log", {}, {warning}, 0, false, 1642,
       {"Result: verdict=not-applicable; reason=firewall-not-installed; windows=Windows XP; "
        "trk_version=; exit_status=1642"}},
      {"/check /passive acts as /quiet", none, u"/check /passive", {}, {}, 0, false, 0, {}},
      {"/check with a restart switch", none, u"/check /norestart", {}, {hotfix}, 0, false, 87, {}},
      {"an install run's result line", none, u"/quiet /log:C:\\hotfix.log", {}, {}, 2, true, 1641,
       {"Hotfix.exe 1.00 (CR40517) started on XPDESK by Administrator, mode install",
        "Result: verdict=installed; reason=restart-requested; windows=Windows XP; "
        "trk_version=3.3.1000.0; exit_status=1641"}},
      {"a declined restart's result line", none, u"/norestart /log:C:\\hotfix.log", {}, {}, 2,
       false, 3010,
       {"Result: verdict=installed; reason=restart-declined; windows=Windows XP; "
        "trk_version=3.3.1000.0; exit_status=3010"}},
      {"a failed installer's result line", Exits(5, 0), u"/norestart /log:C:\\hotfix.log", {},
       {}, 2, false, 5,
       {"Result: verdict=failed; reason=installer-failed; windows=Windows XP; "
        "trk_version=3.3.1000.0; exit_status=5"}},
      {"another copy's result line", OtherCopyRuns, u"/quiet /log:C:\\hotfix.log", {}, {}, 0,
       false, 1618,
       {"Result: verdict=busy; reason=another-copy; windows=Windows XP; trk_version=; "
        "exit_status=1618"}},
      {"an installer's code is named as the installer's", Exits(1642, 0),
       u"/quiet /log:C:\\hotfix.log", {}, {}, 2, true, 1642,
       {"Exit status 1642: the exit code of the installer C:\\Hotfix\\40517.exe, which failed"}},
  };
}

std::vector<std::string> LogEntries(const std::string& bytes) {
  std::vector<std::string> entries;
  std::size_t begin = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  for (std::size_t end; (end = bytes.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
    const std::string line = bytes.substr(begin, end - begin);
    // "YYYY-MM-DD HH:MM:SS.mmm  " before each entry; continuation lines are indented.
    entries.push_back(line.size() > 25 && line[4] == '-' ? line.substr(25) : line);
  }
  return entries;
}

TEST(Deployment, EachCommandLineOnEachMachine) {
  for (const auto& c : Cases()) {
    SCOPED_TRACE(c.name);
    sim::Machine m = ApplicableMachine();
    c.change(m);
    m.arguments = c.args;
    m.answers.assign(c.answers.begin(), c.answers.end());
    const auto seen = sim::RunProgram(m).seen;

    std::vector<Text> titles;
    for (const auto& box : seen.boxes) titles.push_back(box.title);
    EXPECT_EQ(titles, c.box_titles);
    EXPECT_EQ(seen.started.size(), c.started);
    EXPECT_EQ(seen.restart.has_value(), c.restart);
    EXPECT_EQ(seen.exit_code, c.exit_code);
    EXPECT_EQ(seen.handles_open_at_end, 0u);
    std::vector<Long> countdowns;
    for (const auto& countdown : seen.countdowns) countdowns.push_back(countdown.answer);
    EXPECT_EQ(countdowns, c.countdowns);
    // A bad command line, a log that cannot be opened or another copy
    // running: nothing is read.
    if (c.exit_code == 87 || c.exit_code == 1622 || c.exit_code == 1618 ||
        (c.exit_code == 0 && c.args.find(u"/check") == Text::npos)) {
      EXPECT_TRUE(CallsNamed(seen, "RegOpenKeyExA").empty());
    }

    const auto log = seen.written.find(kLog);
    if (c.log.empty()) continue;
    ASSERT_NE(log, seen.written.end());
    const auto entries = LogEntries(log->second);
    auto at = entries.begin();
    for (const auto& wanted : c.log) {
      at = std::find(at, entries.end(), wanted);
      EXPECT_NE(at, entries.end()) << "missing or out of order: " << wanted;
    }
  }
}

// Each refusal says which it was; nothing reaches the file behind the name.
TEST(Deployment, ALogPathThatIsNoPlainFileOfItsOwnIsRefused) {
  struct Row {
    Text log;
    std::optional<sim::PathKind> kind;
    const char* says;
  };
  const std::vector<Row> rows = {
      {u"C:\\Logs", sim::PathKind::kFolder, "it is a folder"},
      {u"NUL", std::nullopt, "it is a device"},
      {u"C:\\Logs\\com1.log", std::nullopt, "it is a device"},
      {u"C:\\Logs\\h.log", sim::PathKind::kHardLink, "it is a file with 2 names (hard links)"},
      {u"C:\\Logs\\h.log", sim::PathKind::kReparsePoint, "it is a reparse point"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(platform::ToUtf8(row.log));
    sim::Machine m = ApplicableMachine();
    if (row.kind) m.path_kinds[row.log] = *row.kind;
    m.arguments = u"/log:" + row.log;
    const auto seen = sim::RunProgram(m).seen;
    EXPECT_EQ(seen.exit_code, 1622);
    ASSERT_EQ(seen.boxes.size(), 1u);
    EXPECT_NE(platform::ToUtf8(seen.boxes[0].text).find(row.says), std::string::npos)
        << platform::ToUtf8(seen.boxes[0].text);
    EXPECT_TRUE(seen.written.empty());
    EXPECT_TRUE(seen.started.empty());
    EXPECT_EQ(seen.handles_open_at_end, 0u);
  }
}

TEST(Deployment, TheLogRecordsItsFullPathAndTheCurrentFolder) {
  sim::Machine m = ApplicableMachine();
  m.current_directory = u"C:\\WINDOWS\\system32";
  m.arguments = u"/quiet /log:..\\Temp\\h.log";
  const auto seen = sim::RunProgram(m).seen;
  const auto log = seen.written.find(u"C:\\WINDOWS\\Temp\\h.log");
  ASSERT_NE(log, seen.written.end());
  const auto entries = LogEntries(log->second);
  EXPECT_NE(std::find(entries.begin(), entries.end(),
                      "Log file: C:\\WINDOWS\\Temp\\h.log (current folder: C:\\WINDOWS\\system32)"),
            entries.end());
}

// A log that fails mid-run neither stops the installers nor changes the status.
TEST(Deployment, FailedLogWritesLeaveTheRunAndItsStatusAlone) {
  std::vector<int> from_the_fourth_on;  // the share went away for good
  for (int n = 4; n <= 60; ++n) from_the_fourth_on.push_back(n);
  for (const std::vector<int>& failing : {std::vector<int>{5}, from_the_fourth_on}) {
    sim::Machine m = ApplicableMachine();
    m.arguments = u"/norestart /log:C:\\hotfix.log";
    m.failing_writes = failing;
    const auto seen = sim::RunProgram(m).seen;
    EXPECT_EQ(seen.started.size(), 2u);
    EXPECT_EQ(seen.exit_code, 3010);
    const auto entries = LogEntries(seen.written.at(kLog));
    const bool counted = std::find(entries.begin(), entries.end(),
                                   "1 log entry could not be written; the exit status is still the "
                                   "run's own") != entries.end();
    EXPECT_EQ(counted, failing.size() == 1) << seen.written.at(kLog);
  }
}

TEST(Deployment, WithoutLogNothingIsWrittenAnywhere) {
  sim::Machine m = ApplicableMachine();
  m.arguments = u"/quiet /norestart";
  const auto seen = sim::RunProgram(m).seen;
  EXPECT_TRUE(seen.written.empty());
  EXPECT_TRUE(CallsNamed(seen, "OpenFileForAppend").empty());
}

TEST(Deployment, TheLogIsUtf8ForNotepadAndIsAppendedTo) {
  sim::Machine m = ApplicableMachine();
  m.arguments = u"/quiet /log:C:\\hotfix.log";
  sim::RunProgram(m);
  const std::string first = m.written_files.at(kLog);
  sim::RunProgram(m);
  const std::string both = m.written_files.at(kLog);

  ASSERT_TRUE(first.starts_with("\xEF\xBB\xBF"));
  EXPECT_EQ(both.substr(0, first.size()), first);
  EXPECT_EQ(both.find("\xEF\xBB\xBF", 3), std::string::npos);  // one mark, at the start
  for (std::size_t i = 0; i < both.size(); ++i)
    if (both[i] == '\n') {
      EXPECT_EQ(both[i - 1], '\r') << "at byte " << i;
    }
  // The box's paragraphs and the command line arrive intact.
  const auto entries = LogEntries(first);
  EXPECT_NE(std::find(entries.begin(), entries.end(),
                      "Command line: \"C:\\Hotfix\\Hotfix.exe\" /quiet /log:C:\\hotfix.log"),
            entries.end());
  EXPECT_NE(std::find(entries.begin(), entries.end(), "Windows: \"Windows XP\" (version 5.1, build 2600)"),
            entries.end());
  EXPECT_NE(std::find(entries.begin(), entries.end(),
                      "Installer ended: C:\\Hotfix\\40517-2.exe, exit code 0 (success)"),
            entries.end());
}

TEST(Deployment, ArgumentsSplitAsTheCRuntimeSplitsThem) {
  struct Row {
    Text line;
    std::vector<Text> args;
  };
  const std::vector<Row> rows = {
      {u"Hotfix.exe", {}},
      {u"\"C:\\Program Files\\Hotfix.exe\" /quiet", {u"/quiet"}},
      {u"C:\\Hotfix\\Hotfix.exe  /log \"C:\\My Logs\\h.log\"\t/quiet",
       {u"/log", u"C:\\My Logs\\h.log", u"/quiet"}},
      {u"x /log:\"C:\\a b\\h.log\"", {u"/log:C:\\a b\\h.log"}},
      {u"x a\\\\\"b c\" d\\e", {u"a\\b c", u"d\\e"}},
      {u"x a\\\"b", {u"a\"b"}},
      {u"x \"a\"\"b\"", {u"a\"b"}},
      {u"x \"\"", {u""}},
  };
  for (const auto& row : rows)
    EXPECT_EQ(deployment::SplitArguments(row.line), row.args) << platform::ToUtf8(row.line);
}

}  // namespace

namespace stamps {

TEST(Deployment, EachEntryStartsWithAZeroPaddedLocalTime) {
  sim::Machine m = ApplicableMachine();
  m.arguments = u"/quiet /norestart /log:C:\\hotfix.log";
  m.clock = platform::SYSTEMTIME{987, 1, 0, 2, 3, 4, 5, 0};
  const std::string log = sim::RunProgram(m).seen.written.at(kLog);
  EXPECT_EQ(log.substr(3, 21), "0987-01-02 03:04:05.0") << log;
  EXPECT_EQ(log.substr(26, 2), "  ");
}

}  // namespace stamps

namespace {

// Without switches the wait polls; under any switch each pass sleeps until the
// installer ends, so a long installer costs a pass or two, not thousands.
TEST(Deployment, UnderAnySwitchTheWaitSleepsInsteadOfPolling) {
  const struct {
    Text args;
    std::size_t opens_at_most;
    std::size_t sleeps;
  } cases[] = {{u"", 2 * 500 + 2, 0}, {u"/norestart", 4, 2}, {u"/passive /norestart", 4, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.args));
    sim::Machine m = ApplicableMachine();
    m.AddProgram(kFirst, {.lifetime = 500});
    m.AddProgram(kSecond, {.lifetime = 500});
    m.arguments = c.args;
    if (c.args.empty()) m.answers = {sim::AnswerNo()};
    const auto seen = sim::RunProgram(m).seen;

    EXPECT_EQ(seen.exit_code, 3010);
    EXPECT_LE(CallsNamed(seen, "OpenProcess").size(), c.opens_at_most);
    EXPECT_EQ(CallsNamed(seen, "WaitForStartedProgramOrMessage").size(), c.sleeps);
    if (c.args.empty()) {
      EXPECT_GE(CallsNamed(seen, "OpenProcess").size(), 1000u);
    }
  }
}

}  // namespace
