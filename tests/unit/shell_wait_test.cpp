// Launch and wait: how many passes, what each pass does, and failures.
#include <gtest/gtest.h>

#include "machines.h"
#include "platform/failure.h"
#include "platform/simulated/simulated_platform.h"
#include "system/shell_wait.h"

namespace {

using namespace testing_machines;
using platform::Text;

struct Passes {
  std::size_t opens = 0;
  std::size_t successful_opens = 0;
  std::size_t closes = 0;
  std::size_t message_passes = 0;
};

// The passes as the wait sees them when nothing else keeps an ended
// process's object: the program start closes its handle at once.
Passes RunShellWait(sim::ProgramBehaviour behaviour, bool start_keeps_handle = false) {
  sim::Machine m;
  m.program_start_keeps_handle = start_keeps_handle;
  m.AddProgram(u"C:\\Hotfix\\40517-2.exe", behaviour);
  sim::SimulatedPlatform p(m);
  sys::Shell_Wait(p, u"C:\\Hotfix\\40517-2.exe", 0);
  Passes passes;
  const auto& seen = p.observations();
  for (const auto& e : CallsNamed(seen, "OpenProcess")) {
    ++passes.opens;
    EXPECT_EQ(e.args[0], "0x100000");  // SYNCHRONIZE only
    EXPECT_EQ(e.args[1], "0");         // not inheritable
    if (e.result != "0x0") ++passes.successful_opens;
  }
  passes.closes = CallsNamed(seen, "CloseHandle").size();
  passes.message_passes = CallsNamed(seen, "DoEvents").size();
  return passes;
}

TEST(ShellWait, ProgramThatEndsBeforeTheFirstOpenTakesOnePass) {
  const Passes p = RunShellWait({.lifetime = 0});
  EXPECT_EQ(p.opens, 1u);
  EXPECT_EQ(p.successful_opens, 0u);
  EXPECT_EQ(p.closes, 0u);
  EXPECT_EQ(p.message_passes, 1u);
}

TEST(ShellWait, ProgramThatLivesKPassesIsOpenedKPlusOneTimes) {
  for (int k : {1, 2, 7, 50}) {
    SCOPED_TRACE(k);
    const Passes p = RunShellWait({.lifetime = k});
    EXPECT_EQ(p.opens, static_cast<std::size_t>(k) + 1);
    EXPECT_EQ(p.successful_opens, static_cast<std::size_t>(k));
    EXPECT_EQ(p.closes, static_cast<std::size_t>(k));  // no handle kept across passes
    EXPECT_EQ(p.message_passes, static_cast<std::size_t>(k) + 1);
  }
}

TEST(ShellWait, EndedProcessWhoseObjectIsStillHeldOpenEndsTheWait) {
  const Passes p = RunShellWait({.lifetime = 3, .held_open_after_end = true});
  EXPECT_EQ(p.opens, 4u);
  EXPECT_EQ(p.successful_opens, 4u);  // the object can still be opened...
  EXPECT_EQ(p.closes, 4u);            // ...and is closed again at once
  EXPECT_EQ(p.message_passes, 4u);
}

TEST(ShellWait, RunningProcessThatRefusesTheOpenCountsAsEnded) {
  const Passes p = RunShellWait({.lifetime = 5, .refuses_open = true});
  EXPECT_EQ(p.opens, 1u);
  EXPECT_EQ(p.message_passes, 1u);
}

// Hotfix.exe's program start keeps the handle, so the last pass finds the
// ended process's object, sees it signalled and closes it again.
TEST(ShellWait, WithTheStartsHandleKeptTheLastPassOpensTheEndedProcess) {
  for (int k : {0, 3}) {
    SCOPED_TRACE(k);
    const Passes p = RunShellWait({.lifetime = k}, true);
    EXPECT_EQ(p.opens, static_cast<std::size_t>(k) + 1);
    EXPECT_EQ(p.successful_opens, static_cast<std::size_t>(k) + 1);
    EXPECT_EQ(p.closes, static_cast<std::size_t>(k) + 1);
  }
}

// An ended installer whose process object nobody holds frees its identifier,
// and Windows may give it to an unrelated program that starts then.
TEST(ShellWait, AReusedIdentifierCannotProlongTheWaitWhileTheStartsHandleIsKept) {
  const sim::ProgramBehaviour installer{.lifetime = 2, .identifier_reused_for = 5};
  // Without the kept handle the wait follows the other program's life too.
  const Passes fooled = RunShellWait(installer, false);
  EXPECT_EQ(fooled.successful_opens, 2u + 5u);
  EXPECT_EQ(fooled.opens, 2u + 5u + 1u);
  // With it the identifier stays the installer's, and the wait ends with it.
  const Passes kept = RunShellWait(installer, true);
  EXPECT_EQ(kept.opens, 3u);
  EXPECT_EQ(kept.successful_opens, 3u);
}

TEST(ShellWait, EveryPassChecksTheHandleWithAZeroTimeWaitBeforeClosingIt) {
  sim::Machine m;
  m.program_start_keeps_handle = false;
  m.AddProgram(u"C:\\Hotfix\\40517-2.exe", {.lifetime = 1});
  sim::SimulatedPlatform p(m);
  sys::Shell_Wait(p, u"C:\\Hotfix\\40517-2.exe", 0);
  std::vector<std::string> calls;
  for (const auto& e : p.observations().trace) calls.push_back(e.call);
  EXPECT_EQ(calls, (std::vector<std::string>{"Shell", "OpenProcess", "WaitForSingleObject",
                                             "CloseHandle", "DoEvents", "OpenProcess",
                                             "DoEvents"}));
  EXPECT_EQ(CallsNamed(p.observations(), "WaitForSingleObject")[0].args[1], "0");
}

TEST(ShellWait, MissingProgramRaisesFileNotFoundAndNeverOpens) {
  sim::Machine m;
  sim::SimulatedPlatform p(m);
  try {
    sys::Shell_Wait(p, u"C:\\Hotfix\\40517-2.exe", 0);
    FAIL() << "expected a failure";
  } catch (const platform::RuntimeFailure& f) {
    EXPECT_EQ(f.number(), 53);
    EXPECT_EQ(f.description(), u"File not found");
  }
  EXPECT_TRUE(CallsNamed(p.observations(), "OpenProcess").empty());
  EXPECT_TRUE(p.observations().started.empty());
}

TEST(ShellWait, CommandLineAndStyleReachTheProgramStartUnchanged) {
  sim::Machine m;
  m.AddProgram(u"C:\\Prog Files\\Orvane\\TRK.EXE");
  sim::SimulatedPlatform p(m);
  const Text command = u"C:\\Prog Files\\Orvane\\TRK.EXE /Uninstall";
  Text caller_copy = command;
  sys::Shell_Wait(p, caller_copy, 0, platform::ProgramName::kLeadingPart);
  EXPECT_EQ(caller_copy, command);
  ASSERT_EQ(p.observations().started.size(), 1u);
  const auto& started = p.observations().started[0];
  EXPECT_EQ(started.command_line, command);
  EXPECT_EQ(started.application, u"C:\\Prog Files\\Orvane\\TRK.EXE");
  EXPECT_EQ(started.arguments, u"/Uninstall");
  EXPECT_EQ(started.window_style, 0);
}

}  // namespace
