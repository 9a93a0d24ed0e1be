// Runs that cannot go wrong on the paths real machines and deployment tools
// take: a second copy, a lost installer beside a planted shorter path, a log
// path that leads to another file, a session nobody can see.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "hotfix_words.h"
#include "process.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr unsigned long kAlreadyRunning = 1618;
constexpr unsigned long kLogRefused = 1622;
constexpr unsigned long kFailure = 1603;

class OneCopy : public HotfixWineTest {};

// The second double-click lands while the first copy waits for 40517.exe.
TEST_P(OneCopy, ASecondCopyWhileTheFirstRunsSaysSoOnceAndStartsNothing) {
  const HotfixRun run = hotfix_case().second_copy({}, {"ok"}).answers({"no"}).timeout(60s).run();

  ASSERT_EQ(run.second_copies.size(), 1u);
  const HotfixRun& second = run.second_copies[0];
  EXPECT_EQ(run.second_copy_ran, "0") << "the second copy's robot\n" << run.transcript;
  EXPECT_EQ(second.exit_code, kAlreadyRunning) << run.transcript;
  ASSERT_EQ(second.boxes.size(), 1u) << run.transcript;
  EXPECT_EQ(second.boxes[0].title, "Hotfix");
  EXPECT_TRUE(second.boxes[0].text.starts_with("L'aggiornamento CR40517 \xC3\xA8 gi\xC3\xA0 in corso"))
      << second.boxes[0].text;
  // Each installer started once, by the first copy, which ends as usual.
  ASSERT_EQ(run.installers.size(), 2u) << run.transcript;
  EXPECT_EQ(run.installers[0].module, "C:\\hotfix\\40517.exe");
  EXPECT_EQ(run.installers[1].module, "C:\\hotfix\\40517-2.exe");
  EXPECT_EQ(run.exit_code, kRestartRequired) << run.transcript;
  EXPECT_TRUE(run.problems.empty() && second.problems.empty()) << run.transcript;
}

TEST_P(OneCopy, AQuietSecondCopyShowsNoBoxAndItsLogSaysWhy) {
  auto hotfix = hotfix_case();
  const std::string log = prefix().windows_path(hotfix.work_dir() / "second-copy.log");
  const HotfixRun run =
      hotfix.second_copy({"/quiet", "/log:" + log}, {}).answers({"no"}).timeout(60s).run();

  ASSERT_EQ(run.second_copies.size(), 1u);
  const HotfixRun& second = run.second_copies[0];
  EXPECT_EQ(second.exit_code, kAlreadyRunning) << run.transcript;
  EXPECT_TRUE(second.boxes.empty()) << run.transcript;
  EXPECT_NE(read_text(hotfix.work_dir() / "second-copy.log")
                .find("Another copy of Hotfix.exe is running (it holds Global\\Hotfix-CR40517)"),
            std::string::npos)
      << read_text(hotfix.work_dir() / "second-copy.log");
  EXPECT_EQ(run.installers.size(), 2u) << run.transcript;
  EXPECT_EQ(run.exit_code, kRestartRequired) << run.transcript;
}

HOTFIX_WINE_TEST_SUITE(OneCopy);

class NoStandIn : public HotfixWineTest {};

// An archive that lost 40517.exe, unpacked below a folder with a blank,
// where a program sits at the shorter path C:\hf.exe.
TEST_P(NoStandIn, AMissingInstallerIsAnErrorEvenBesideAShorterPath) {
  const HotfixRun run = hotfix_case()
                            .folder("C:\\hf test\\app")
                            .without_installer("40517.exe")
                            .file("C:\\hf.exe", builds().dir / "stub.exe")
                            .answers({"ok"})
                            .run();

  EXPECT_TRUE(run.installers.empty()) << "something was started\n" << run.transcript;
  ASSERT_EQ(run.boxes.size(), 1u) << run.transcript;
  EXPECT_EQ(run.boxes[0].text, kFileNotFoundText);
  EXPECT_EQ(run.exit_code, kFailure) << run.transcript;
}

HOTFIX_WINE_TEST_SUITE(NoStandIn);

class LogRefused : public HotfixWineTest {};

// A user plants a hard link where the administrator's log will be.
TEST_P(LogRefused, AHardLinkedLogLeavesTheOtherFileUnchanged) {
  auto hotfix = hotfix_case();
  const fs::path other = hotfix.work_dir() / "other.txt";
  const fs::path link = hotfix.work_dir() / "hotfix.log";
  const std::string content = "a file the user should not be able to change\r\n";
  const HotfixRun run = hotfix.arguments({"/quiet", "/log:" + prefix().windows_path(link)})
                            .on_laid_out([&] {
                              std::ofstream(other, std::ios::binary) << content;
                              fs::create_hard_link(other, link);
                            })
                            .run();

  EXPECT_EQ(read_text(other), content);
  EXPECT_TRUE(run.boxes.empty()) << run.transcript;
  EXPECT_TRUE(run.installers.empty()) << run.transcript;
  EXPECT_EQ(run.exit_code, kLogRefused) << run.transcript;
}

TEST_P(LogRefused, ADeviceIsNamedInTheBox) {
  const HotfixRun run = hotfix_case().arguments({"/log:NUL"}).answers({"ok"}).run();

  ASSERT_EQ(run.boxes.size(), 1u) << run.transcript;
  EXPECT_TRUE(run.boxes[0].text.starts_with("The log file is refused: it is a device"))
      << run.boxes[0].text;
  EXPECT_TRUE(run.installers.empty()) << run.transcript;
  EXPECT_EQ(run.exit_code, kLogRefused) << run.transcript;
}

HOTFIX_WINE_TEST_SUITE(LogRefused);

class NoDesktop : public HotfixWineTest {};

// A service's programs run on a window station of their own, which has no
// visible desktop: Wine marks only WinSta0 visible. A box there would wait
// for ever, out of the robot's sight.
TEST_P(NoDesktop, WithoutAVisibleDesktopNoBoxIsShownAndTheRestartIsDeclined) {
  const HotfixRun run = hotfix_case().desktop("hfsvc\\Default").trace_calls().run();

  EXPECT_FALSE(run.timed_out) << "Hotfix.exe waited for an answer\n" << run.transcript;
  EXPECT_TRUE(run.calls_to("MessageBoxW").empty()) << run.transcript;
  EXPECT_EQ(run.installers.size(), 2u) << run.transcript;
  EXPECT_EQ(run.exit_code, kRestartRequired) << run.transcript;
  EXPECT_TRUE(run.problems.empty()) << run.transcript;
}

HOTFIX_WINE_TEST_SUITE(NoDesktop);

}  // namespace
}  // namespace wine_harness
