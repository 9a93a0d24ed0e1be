// Every Windows call of a run failing in turn, the way Windows fails it: the
// run must still end with the warning, the notice, the error report or the
// normal end, with an exit status, and never start an installer after a
// failed test.
#include <gtest/gtest.h>

#include <algorithm>

#include "machines.h"
#include "platform/entry.h"
#include "platform/failure.h"

namespace {

using namespace testing_machines;
using platform::Text;

const Text kWarningTitle = u"Orvane Firewall v3.03 Hotfix (CR 40517)";

// A fault may take the restart question away, leaving its answer unused;
// that is no script error here.
sim::Observations RunAllowingUnusedAnswers(sim::Machine& m) {
  sim::SimulatedPlatform p(m);
  try {
    platform::ProgramMain(p, p);
  } catch (const platform::EndProgram&) {
  }
  return p.observations();
}

int CountWindowsCalls(sim::Machine m) {
  static const char* kServices[] = {"MsgBox", "DoEvents", "AppPath", "Print", "Unload", "End"};
  int n = 0;
  for (const auto& e : RunAllowingUnusedAnswers(m).trace) {
    if (std::none_of(std::begin(kServices), std::end(kServices),
                     [&](const char* s) { return e.call == s; })) {
      ++n;
    }
  }
  return n;
}

void SweepFaults(const sim::Machine& base) {
  const int calls = CountWindowsCalls(base);
  ASSERT_GT(calls, 10);
  for (int n = 1; n <= calls + 1; ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n));
    sim::Machine m = base;
    m.fail_call = n;
    const auto seen = RunAllowingUnusedAnswers(m);

    ASSERT_TRUE(seen.exit_code.has_value());
    EXPECT_TRUE(*seen.exit_code == 3010 || *seen.exit_code == 1641 || *seen.exit_code == 1642 ||
                *seen.exit_code == 1603)
        << *seen.exit_code;
    const bool warned = std::any_of(seen.boxes.begin(), seen.boxes.end(),
                                    [](const sim::BoxShown& b) { return b.title == kWarningTitle; });
    if (warned) {
      EXPECT_TRUE(seen.started.empty());
      EXPECT_EQ(*seen.exit_code, 1642);
    }
    if (!seen.started.empty()) {
      // Only a machine that passed all three tests runs anything.
      ASSERT_GE(seen.printed.size(), 2u);
      EXPECT_EQ(seen.printed[1], u"File version: 3.3.1000.0");
      EXPECT_EQ(seen.started[0].command_line, base.app_path + u"\\40517.exe");
    }
    if (*seen.exit_code == 1603) {
      ASSERT_FALSE(seen.boxes.empty());
      EXPECT_TRUE(seen.boxes.back().text.starts_with(u"Run-time error '"));
    }
  }
}

TEST(FaultSweep, FixAppliesAndTheRestartIsDeclined) {
  sim::Machine m = ApplicableMachine();
  m.answers = {sim::AnswerNo()};
  SweepFaults(m);
}

TEST(FaultSweep, FixAppliesAndTheRestartIsAccepted) {
  sim::Machine m = ApplicableMachine();
  m.answers = {sim::AnswerYes()};
  SweepFaults(m);
}

TEST(FaultSweep, InstallersThatRunForSeveralPasses) {
  sim::Machine m = ApplicableMachine();
  m.AddProgram(u"C:\\Hotfix\\40517.exe", {.lifetime = 3});
  m.AddProgram(u"C:\\Hotfix\\40517-2.exe", {.lifetime = 2, .held_open_after_end = true});
  m.answers = {sim::AnswerYes()};
  SweepFaults(m);
}

TEST(FaultSweep, WrongWindows) {
  sim::Machine m = ApplicableMachine();
  m.windows = *sim::WindowsVersionNamed("win2k");
  SweepFaults(m);
}

}  // namespace
