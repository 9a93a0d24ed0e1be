// A set-up step that fails says what ran, how it ended, what it printed and
// what Wine said; only a failure Wine's messages put down to Wine itself may
// be tried again.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "pace.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

class SetupStep : public HotfixWineTest {};

TEST_P(SetupStep, WinesOwnFailuresAreToldFromAStepsOwn) {
  const struct {
    const char* messages;
    bool wine_failed;
  } rows[] = {
      {"0024:err:module:import_dll Library VERSION.dll not found\n", true},
      {"wine client error:2c: read: Connection reset by peer\n", true},
      {"wine: Unhandled page fault on read access to 00000000 at address 7B012345\n", true},
      {"0030:err:seh:NtRaiseException Unhandled exception code c0000005\n", true},
      {"reg: Unable to find the specified registry key\n", false},
      {"regedit: The file 'C:\\x.reg' was not found.\n", false},
      {"0024:fixme:reg:main stub\n0024:trace:loaddll:build_module Loaded L\"reg.exe\"\n", false},
      {"", false},
  };
  for (const auto& row : rows)
    EXPECT_EQ(!wine_fault(row.messages).empty(), row.wine_failed) << row.messages;
}

TEST_P(SetupStep, AFailedStepSaysWhatRanHowItEndedAndWhatWasPrinted) {
  EXPECT_FALSE(prefix().run_tool({"reg", "import", "C:\\no-such-file.reg"}, 2));
  const std::string& failure = prefix().last_tool_failure();
  EXPECT_NE(failure.find("`wine reg import C:\\no-such-file.reg` exited 1"), std::string::npos)
      << failure;
  EXPECT_NE(failure.find("its output: "), std::string::npos) << failure;
  EXPECT_EQ(failure.find("its output: (none)"), std::string::npos)
      << "reg's own message is missing: " << failure;
  EXPECT_NE(failure.find("Wine's messages: "), std::string::npos) << failure;
  EXPECT_EQ(failure.find("Wine itself failed"), std::string::npos) << failure;

  EXPECT_TRUE(prefix().run_tool({"reg", "query", "HKCU\\Software\\Wine"}, 1));
  EXPECT_TRUE(prefix().last_tool_failure().empty());
}

// A Wine program whose wineserver is ended under it exits 1 and prints
// nothing; the step is then put down to Wine, and its second attempt runs on
// a new server. The server is ended as `wineserver -k` ends it (SIGINT) once
// the first attempt waits on its box; signalled from here, not with
// run_process, which reaps any child and so runs on one thread only.
TEST_P(SetupStep, AStepWhoseWineserverEndsIsRetriedOnceOnANewServer) {
  namespace fs = std::filesystem;
  const fs::path work = prefix().drive_c() / "harness" / "setup-step";
  fs::remove_all(work);
  fs::create_directories(work);
  fs::copy_file(builds().dir / "latebox.exe", work / "latebox.exe");
  const std::string program = prefix().windows_path(work / "latebox.exe");
  const int server = prefix().server_pid();
  ASSERT_NE(server, 0);

  const auto end_server_once_step_runs = [&] {
    for (int i = 0; i < 6000 && !fs::exists(work / "started"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(scaled(std::chrono::milliseconds(500)));
    kill(server, SIGINT);
  };
  const int retries_before = WinePrefix::setup_retries();
  std::thread ender(end_server_once_step_runs);
  const bool done =
      prefix().run_tool({program, "once", prefix().windows_path(work / "started")}, 2);
  ender.join();
  EXPECT_TRUE(done) << prefix().last_tool_failure();
  EXPECT_EQ(WinePrefix::setup_retries(), retries_before + 1);
  EXPECT_NE(prefix().server_pid(), 0) << "no wineserver runs after the retry";
}

HOTFIX_WINE_TEST_SUITE(SetupStep);

}  // namespace
}  // namespace wine_harness
