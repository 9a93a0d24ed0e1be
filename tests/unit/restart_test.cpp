// Restart: the family decision, the shutdown-privilege steps on the NT family
// and what happens when Windows refuses every step.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machines.h"
#include "platform/simulated/simulated_platform.h"
#include "system/restart.h"

namespace {

using namespace testing_machines;

struct Restart {
  platform::Long result = 0;
  sim::Observations seen;
};

Restart RunRestart(sim::Machine& m) {
  sim::SimulatedPlatform p(m);
  Restart r;
  r.result = sys::restart_Windows(p);
  r.seen = p.observations();
  return r;
}

sim::Machine MachineWith(const char* windows) {
  sim::Machine m;
  m.windows = *sim::WindowsVersionNamed(windows);
  return m;
}

std::vector<std::string> CallNames(const sim::Observations& seen) {
  std::vector<std::string> calls;
  for (const auto& e : seen.trace) calls.push_back(e.call);
  return calls;
}

const std::vector<std::string> kNtCalls = {
    "GetVersionExA",  "GetVersionExA",         "GetVersionExA",
    "GetCurrentProcess", "OpenProcessToken",   "LookupPrivilegeValueA",
    "AdjustTokenPrivileges", "CloseHandle",    "ExitWindowsEx"};
const std::vector<std::string> k95Calls = {"GetVersionExA", "GetVersionExA",
                                           "GetVersionExA", "ExitWindowsEx"};

// The token handle OpenProcessToken gave, as the trace writes handles.
std::string TokenOpened(const sim::Observations& seen) {
  const auto opens = CallsNamed(seen, "OpenProcessToken");
  if (opens.size() != 1) return "?";
  const std::string& result = opens[0].result;
  const auto at = result.find("token=");
  return at == std::string::npos ? "0x0" : result.substr(at + 6);
}

TEST(Restart, Windows95FamilyRestartsDirectlyWithReasonZero) {
  for (const char* windows : {"win95", "win98", "winme"}) {
    SCOPED_TRACE(windows);
    sim::Machine m = MachineWith(windows);
    const Restart r = RunRestart(m);
    EXPECT_EQ(CallNames(r.seen), k95Calls);  // no privilege step at all
    const auto exits = CallsNamed(r.seen, "ExitWindowsEx");
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_EQ(exits[0].args, (std::vector<std::string>{"0x3", "0x0"}));
    EXPECT_EQ(r.result, 1);
    EXPECT_TRUE(r.seen.boxes.empty());
  }
}

TEST(Restart, EveryOtherNameEnablesTheShutdownPrivilegeFirst) {
  struct Case {
    const char* label;
    sim::WindowsVersion windows;
  };
  sim::WindowsVersion failing = *sim::WindowsVersionNamed("winxp");
  failing.query_fails = true;
  const Case cases[] = {
      {"Windows XP", *sim::WindowsVersionNamed("winxp")},
      {"Windows 2000", *sim::WindowsVersionNamed("win2k")},
      {"Windows NT 4.0", *sim::WindowsVersionNamed("nt40")},
      {"Windows NT 3.51", *sim::WindowsVersionNamed("nt351")},
      {"empty name (NT 6.1)", *sim::WindowsVersionNamed("win7")},
      {"Failed", failing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    sim::Machine m;
    m.windows = c.windows;
    const Restart r = RunRestart(m);
    ASSERT_EQ(CallNames(r.seen), kNtCalls);
    const auto& t = r.seen.trace;
    const std::string token = TokenOpened(r.seen);
    EXPECT_NE(token, "0x0");
    EXPECT_EQ(t[4].args, (std::vector<std::string>{"0xFFFFFFFF", "0x28", "&token"}));
    EXPECT_EQ(t[4].args[0], t[3].result);  // the process handle it was given
    EXPECT_EQ(t[5].args,
              (std::vector<std::string>{"\"\"", "\"SeShutdownPrivilege\"", "&luid"}));
    EXPECT_EQ(t[6].args,
              (std::vector<std::string>{token, "0", "{count=1 luid=0x13 attributes=2}", "16",
                                        "&previous", "&length"}));
    EXPECT_EQ(t[7].args, std::vector<std::string>{token});
    EXPECT_EQ(t[7].result, "1");
    EXPECT_EQ(t[8].args, (std::vector<std::string>{"0x3", "0xFFFFFFFF"}));
    ASSERT_TRUE(r.seen.restart.has_value());
    EXPECT_TRUE(r.seen.restart->privilege_enabled);
    EXPECT_TRUE(r.seen.restart->accepted);
    EXPECT_EQ(r.result, 1);
    EXPECT_TRUE(r.seen.boxes.empty());
  }
}

TEST(Restart, EachComparisonAsksWindowsAfresh) {
  // fail_call N makes the N-th name query say "Failed": only the comparison
  // that uses that query loses its match.
  const struct {
    const char* windows;
    int failing_query;
    bool privilege_step;
  } cases[] = {
      {"winme", 1, true},  {"winme", 2, false}, {"winme", 3, false},
      {"win98", 1, false}, {"win98", 2, true},  {"win98", 3, false},
      {"win95", 1, false}, {"win95", 2, false}, {"win95", 3, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.windows) + ", query " + std::to_string(c.failing_query));
    sim::Machine m = MachineWith(c.windows);
    m.fail_call = c.failing_query;
    const Restart r = RunRestart(m);
    EXPECT_EQ(CallNames(r.seen), c.privilege_step ? kNtCalls : k95Calls);
    const auto exits = CallsNamed(r.seen, "ExitWindowsEx");
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_EQ(exits[0].args[1], c.privilege_step ? "0xFFFFFFFF" : "0x0");
  }
}

TEST(Restart, ResultIsWhatExitWindowsExReturned) {
  for (const char* windows : {"winxp", "win98"}) {
    SCOPED_TRACE(windows);
    sim::Machine m = MachineWith(windows);
    m.security.refuse_restart = true;
    const Restart r = RunRestart(m);
    ASSERT_TRUE(r.seen.restart.has_value());
    EXPECT_FALSE(r.seen.restart->accepted);
    EXPECT_EQ(r.result, 0);
  }
}

TEST(Restart, EverythingRefusedStillMakesExactlyOneRequestAndShowsNothing) {
  sim::Machine m = MachineWith("winxp");
  m.security.token_opens = false;
  m.security.holds_shutdown_privilege = false;
  m.security.refuse_restart = true;
  const Restart r = RunRestart(m);
  EXPECT_EQ(CallsNamed(r.seen, "ExitWindowsEx").size(), 1u);
  EXPECT_EQ(CallsNamed(r.seen, "OpenProcessToken").size(), 1u);  // no second attempt
  EXPECT_TRUE(r.seen.boxes.empty());
  EXPECT_EQ(r.result, 0);
}

TEST(Restart, AnySingleFailingCallStillEndsInExactlyOneRequest) {
  for (int failing = 1; failing <= 9; ++failing) {
    SCOPED_TRACE(failing);
    sim::Machine m = MachineWith("winxp");
    m.fail_call = failing;
    Restart r;
    ASSERT_NO_THROW(r = RunRestart(m));
    EXPECT_EQ(CallsNamed(r.seen, "ExitWindowsEx").size(), 1u);
    EXPECT_TRUE(r.seen.boxes.empty());
    ASSERT_TRUE(r.seen.restart.has_value());
    EXPECT_EQ(r.result, r.seen.restart->accepted ? 1 : 0);
  }
}

TEST(Restart, TokenThatCannotBeOpenedIsStillUsedAsZeroAndNeverClosed) {
  sim::Machine m = MachineWith("winxp");
  m.security.token_opens = false;
  const Restart r = RunRestart(m);
  const auto adjusts = CallsNamed(r.seen, "AdjustTokenPrivileges");
  ASSERT_EQ(adjusts.size(), 1u);
  EXPECT_EQ(adjusts[0].args[0], "0x0");
  EXPECT_TRUE(CallsNamed(r.seen, "CloseHandle").empty());
  const auto exits = CallsNamed(r.seen, "ExitWindowsEx");
  ASSERT_EQ(exits.size(), 1u);
  EXPECT_EQ(exits[0].args, (std::vector<std::string>{"0x3", "0xFFFFFFFF"}));
  EXPECT_EQ(r.result, 0);  // NT refuses without the privilege
  EXPECT_TRUE(r.seen.boxes.empty());
}

TEST(Restart, FailedPrivilegeLookupLeavesTheIdentifierZeroInTheAdjustment) {
  // Which call number the lookup is depends on the fake's counting; find it.
  bool lookup_failed = false;
  for (int failing = 1; failing <= 9 && !lookup_failed; ++failing) {
    sim::Machine m = MachineWith("winxp");
    m.fail_call = failing;
    const Restart r = RunRestart(m);
    const auto lookups = CallsNamed(r.seen, "LookupPrivilegeValueA");
    if (lookups.size() != 1 || lookups[0].result != "0") continue;
    lookup_failed = true;
    const auto adjusts = CallsNamed(r.seen, "AdjustTokenPrivileges");
    ASSERT_EQ(adjusts.size(), 1u);
    EXPECT_EQ(adjusts[0].args[2], "{count=1 luid=0x0 attributes=2}");
    EXPECT_EQ(CallsNamed(r.seen, "ExitWindowsEx").size(), 1u);
    EXPECT_FALSE(r.seen.restart->privilege_enabled);
    EXPECT_EQ(r.result, 0);
  }
  EXPECT_TRUE(lookup_failed);
}

}  // namespace
