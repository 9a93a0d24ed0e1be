// A pinned build checks both installer files, through the program's own
// code, on the simulated machine: what starts, what the person sees, what
// the log says, and when the checked files are let go.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "deployment/payload_check.h"
#include "fleet/fleet_report.h"
#include "machines.h"
#include "payload/sha256.h"
#include "platform/buttons.h"
#include "simulator/explain.h"

namespace {

using namespace testing_machines;
using platform::Text;

const Text kFirst = u"C:\\Hotfix\\40517.exe";
const Text kSecond = u"C:\\Hotfix\\40517-2.exe";
const Text kLog = u"C:\\hotfix.log";
// Past one 64 KB block, so that the check reads the first file in pieces.
const std::string kFirstBytes = std::string(150000, 'A') + "end of 40517.exe";
const std::string kSecondBytes = "CR40517 two";
const Text kMismatchBox =
    u"I file dell'aggiornamento CR40517 accanto a Hotfix.exe sono danneggiati o non sono "
    u"quelli originali. Nessuna modifica \u00E8 stata apportata al computer.\r\n\r\n"
    u"Rivolgersi all'amministratore del sistema.";

payload::PinnedFile Pinned(const std::string& bytes) {
  payload::PinnedFile file{bytes.size(), {}};
  payload::Sha256 sha;
  sha.Update(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  sha.Final(file.sha256);
  return file;
}

std::string Described(const std::string& bytes) {
  const payload::PinnedFile file = Pinned(bytes);
  return platform::ToUtf8(deployment::Described(file.size, file.sha256));
}

sim::Machine PinnedMachine(const Text& arguments = u"/log:C:\\hotfix.log") {
  sim::Machine m = ApplicableMachine();
  m.arguments = arguments;
  m.pinned.pinned = 1;
  m.pinned.files[0] = Pinned(kFirstBytes);
  m.pinned.files[1] = Pinned(kSecondBytes);
  m.files[kFirst].contents = kFirstBytes;
  m.files[kSecond].contents = kSecondBytes;
  return m;
}

std::string LogOf(const sim::Observations& seen) {
  const auto it = seen.written.find(kLog);
  return it == seen.written.end() ? std::string() : it->second;
}

// Where in the trace the call `call` with first argument `arg` stands.
std::vector<std::size_t> Positions(const sim::Observations& seen, const std::string& call,
                                   const std::string& arg) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < seen.trace.size(); ++i)
    if (seen.trace[i].call == call && !seen.trace[i].args.empty() && seen.trace[i].args[0] == arg)
      at.push_back(i);
  return at;
}

// The first wait after `from` that found the started program ended.
std::size_t EndSeenAfter(const sim::Observations& seen, std::size_t from) {
  for (std::size_t i = from; i < seen.trace.size(); ++i)
    if (seen.trace[i].call == "WaitForSingleObject" && seen.trace[i].result == "0x0") return i;
  return seen.trace.size();
}

TEST(PinnedInstallers, BothAsPinnedBothStartEachFileHeldUntilItsInstallerHasEnded) {
  sim::Machine m = PinnedMachine();
  m.AddProgram(kFirst, sim::ProgramBehaviour{3});
  m.AddProgram(kSecond, sim::ProgramBehaviour{2});
  m.answers = {sim::AnswerNo()};
  const auto seen = sim::RunProgram(m).seen;
  EXPECT_EQ(seen.exit_code, 3010);
  EXPECT_EQ(CommandLines(seen), (std::vector<Text>{kFirst, kSecond}));
  EXPECT_EQ(seen.handles_open_at_end, 0u);
  const std::string log = LogOf(seen);
  EXPECT_NE(log.find("Payload: installers pinned\r\n"), std::string::npos);
  EXPECT_NE(log.find("Payload: C:\\Hotfix\\40517.exe: as pinned, " + Described(kFirstBytes)), std::string::npos);
  EXPECT_NE(log.find("Payload: C:\\Hotfix\\40517-2.exe: as pinned, " + Described(kSecondBytes)), std::string::npos);

  const auto opens = CallsNamed(seen, "OpenFileForReading");
  ASSERT_EQ(opens.size(), 2u);
  const std::size_t start1 = Positions(seen, "Shell", sim::Quote(kFirst)).at(0);
  const std::size_t start2 = Positions(seen, "Shell", sim::Quote(kSecond)).at(0);
  const auto close1 = Positions(seen, "CloseHandle", opens[0].result);
  const auto close2 = Positions(seen, "CloseHandle", opens[1].result);
  ASSERT_EQ(close1.size(), 1u);
  ASSERT_EQ(close2.size(), 1u);
  EXPECT_GT(close1[0], EndSeenAfter(seen, start1));
  EXPECT_LT(close1[0], start2);
  EXPECT_GT(close2[0], EndSeenAfter(seen, start2));
}

struct Fault {
  const char* what;
  std::function<void(sim::Machine&)> make;
  std::string found;  // the log's finding for 40517-2.exe
  std::string why;    // in the explanation for support staff
};

// The N-th Windows call of the run, counted as the fake counts them, that
// is the failing one: the first whose failure leaves 40517-2.exe unread.
void FailTheSecondFilesRead(sim::Machine& m) {
  for (int n = 1; n < 400; ++n) {
    sim::Machine probe = m;
    probe.fail_call = n;
    probe.enter_when_unscripted = true;  // a fault elsewhere may lead to the restart question
    if (LogOf(sim::RunProgram(probe, sim::UnusedAnswers::kAreAllowed).seen)
            .find("40517-2.exe: NOT AS PINNED: cannot be read") != std::string::npos) {
      m.fail_call = n;
      return;
    }
  }
  FAIL() << "no call fails the read";
}

const Fault kFaults[] = {
    {"replaced", [](sim::Machine& m) { m.files[kSecond].contents = "CR40517 2!!"; },
     Described("CR40517 2!!"), "holds " + Described("CR40517 2!!") + ", but this build expects " +
                                   Described(kSecondBytes)},
    {"one byte longer", [](sim::Machine& m) { m.files[kSecond].contents = kSecondBytes + "!"; },
     Described(kSecondBytes + "!"), "holds " + Described(kSecondBytes + "!")},
    {"missing", [](sim::Machine& m) { m.files.erase(kSecond); }, "missing (Windows error 2)",
     "40517-2.exe is missing"},
    {"a folder", [](sim::Machine& m) { m.path_kinds[kSecond] = sim::PathKind::kFolder; },
     "cannot be opened (Windows error 5)", "could not be opened for reading (Windows error 5"},
    {"a reparse point", [](sim::Machine& m) { m.path_kinds[kSecond] = sim::PathKind::kReparsePoint; },
     "a reparse point (a link to another file), refused", "40517-2.exe is a reparse point"},
    {"unreadable", FailTheSecondFilesRead, "cannot be read", "could not be read to its end"},
};

TEST(PinnedInstallers, OneFileNotAsPinnedStartsNothingShowsOneBoxAndEndsWith1620) {
  for (const Fault& fault : kFaults) {
    SCOPED_TRACE(fault.what);
    sim::Machine m = PinnedMachine();
    fault.make(m);
    const sim::Machine described = m;
    const auto seen = sim::RunProgram(m).seen;
    EXPECT_EQ(seen.exit_code, 1620);
    EXPECT_TRUE(seen.started.empty());
    ASSERT_EQ(seen.boxes.size(), 1u);
    EXPECT_EQ(seen.boxes[0].title, u"Hotfix");
    EXPECT_EQ(seen.boxes[0].style, platform::kMbIconHand);
    EXPECT_EQ(seen.boxes[0].text, kMismatchBox);
    EXPECT_EQ(seen.handles_open_at_end, 0u);
    const std::string log = LogOf(seen);
    EXPECT_NE(log.find("Payload: C:\\Hotfix\\40517.exe: as pinned, " + Described(kFirstBytes)), std::string::npos);
    EXPECT_NE(log.find("Payload: C:\\Hotfix\\40517-2.exe: NOT AS PINNED: " + fault.found + "; pinned " +
                       Described(kSecondBytes) + "\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Payload: nothing was started\r\n"), std::string::npos);
    EXPECT_NE(log.find("Result: verdict=failed; reason=payload-mismatch; "), std::string::npos);
    EXPECT_NE(simulator::Explain(described, seen).find(fault.why), std::string::npos)
        << simulator::Explain(described, seen);
  }
}

TEST(PinnedInstallers, QuietShowsNoBoxAndStillEndsWith1620) {
  sim::Machine m = PinnedMachine(u"/quiet /log:C:\\hotfix.log");
  m.files[kSecond].contents = "CR40517 2!!";
  const auto seen = sim::RunProgram(m).seen;
  EXPECT_EQ(seen.exit_code, 1620);
  EXPECT_TRUE(seen.started.empty());
  EXPECT_TRUE(seen.boxes.empty());
  EXPECT_NE(LogOf(seen).find("Message box not shown (/quiet), taken as OK: \"Hotfix\""), std::string::npos);
  // The fleet report counts such a machine by its reason.
  std::istringstream in(LogOf(seen));
  const fleet::Row row = fleet::ReadLog(in, "XPDESK.log");
  EXPECT_EQ((std::vector<std::string>{row.verdict, row.reason, row.exit_status, row.trk_version}),
            (std::vector<std::string>{"failed", "payload-mismatch", "1620", "3.3.1000.0"}));
  fleet::Counts counts;
  counts.Add(row);
  EXPECT_NE(fleet::CountsText(counts).find("  failed: payload-mismatch: 1\n"), std::string::npos);
}

TEST(PinnedInstallers, CheckGivesZeroOnlyWhenBothFilesAreAsPinned) {
  for (const bool replaced : {false, true}) {
    SCOPED_TRACE(replaced ? "replaced" : "as pinned");
    sim::Machine m = PinnedMachine(u"/check /quiet /log:C:\\hotfix.log");
    if (replaced) m.files[kFirst].contents = "other";
    const auto seen = sim::RunProgram(m).seen;
    EXPECT_EQ(seen.exit_code, replaced ? 1620 : 0);
    EXPECT_TRUE(seen.started.empty());
    EXPECT_NE(LogOf(seen).find(replaced ? "reason=payload-mismatch" : "reason=checks-passed"), std::string::npos);
  }
}

// 1620 is also what a failing installer may end with: then the report
// speaks of that installer, not of the check.
TEST(PinnedInstallers, AnInstallersOwn1620IsReportedAsTheInstallers) {
  sim::Machine m = PinnedMachine(u"/quiet /norestart");
  m.AddProgram(kFirst, sim::ProgramBehaviour{0, false, false, 1620});
  const sim::Machine described = m;
  const auto seen = sim::RunProgram(m).seen;
  EXPECT_EQ(seen.exit_code, 1620);
  EXPECT_EQ(CommandLines(seen), (std::vector<Text>{kFirst, kSecond}));
  EXPECT_EQ(simulator::RunExitMeaning(described, seen),
            "the exit code of the installer C:\\Hotfix\\40517.exe, which failed");
  EXPECT_EQ(simulator::Explain(described, seen).find("pinned"), std::string::npos);
}

TEST(PinnedInstallers, AnUnpinnedBuildSaysSoAndReadsNoInstaller) {
  sim::Machine m = ApplicableMachine();
  m.arguments = u"/log:C:\\hotfix.log";
  m.files[kSecond].contents = "anything";
  m.answers = {sim::AnswerNo()};
  const auto seen = sim::RunProgram(m).seen;
  EXPECT_EQ(seen.exit_code, 3010);
  EXPECT_EQ(CommandLines(seen), (std::vector<Text>{kFirst, kSecond}));
  EXPECT_NE(LogOf(seen).find("Payload: installers not pinned\r\n"), std::string::npos);
  EXPECT_EQ(LogOf(seen).find("Payload: C:"), std::string::npos);
  EXPECT_TRUE(CallsNamed(seen, "OpenFileForReading").empty());
}

}  // namespace
