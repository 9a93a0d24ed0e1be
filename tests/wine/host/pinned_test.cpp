// A pinned Hotfix.exe (pinned to the stub under both installer names) starts
// only the installers it was built with, and holds them so that nobody can
// change them between its check and their start.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "hotfix_words.h"
#include "process.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr unsigned long kPayloadMismatch = 1620;
constexpr unsigned long kIconHand = 16;
constexpr char kMismatchText[] =
    "I file dell'aggiornamento CR40517 accanto a Hotfix.exe sono danneggiati o non sono "
    "quelli originali. Nessuna modifica \xC3\xA8 stata apportata al computer.\r\n\r\n"
    "Rivolgersi all'amministratore del sistema.";

// The file's SHA-256 in lowercase hex, as sha256sum prints it.
std::string sha256_of(const fs::path& file) {
  const fs::path out = fs::temp_directory_path() / ("pinned-sha-" + std::to_string(::getpid()));
  const std::string command = "sha256sum '" + file.string() + "' > '" + out.string() + "'";
  if (std::system(command.c_str()) != 0) return "sha256sum failed";
  const std::string line = read_text(out);
  fs::remove(out);
  return line.substr(0, 64);
}

class Pinned : public HotfixWineTest {
 protected:
  HotfixCase pinned_case() const {
    auto hotfix = hotfix_case();
    hotfix.file("C:\\hotfix\\Hotfix.exe", builds().dir / "Hotfix-pinned.exe");
    return hotfix;
  }
  // While 40517.exe runs, tamper.exe goes at 40517-2.exe; the stub records
  // its exit code (run.second_copy_ran).
  HotfixCase& tampering(HotfixCase& hotfix) const {
    return hotfix.file("C:\\tamper.exe", builds().dir / "tamper.exe")
        .env("HOTFIX_STUB_RUN", "C:\\tamper.exe C:\\hotfix\\40517-2.exe")
        .env("HOTFIX_STUB_RUN_BY", "40517.exe");
  }
  std::string log_of(HotfixCase& hotfix) const {
    return prefix().windows_path(hotfix.work_dir() / "run.log");
  }
};

TEST_P(Pinned, TheInstallersItWasBuiltWithRunAsUnpinned) {
  auto hotfix = pinned_case();
  const HotfixRun run = hotfix.arguments({"/log:" + log_of(hotfix)}).answers({"no"}).run();

  ASSERT_EQ(run.installers.size(), 2u) << run.transcript;
  EXPECT_EQ(run.exit_code, kRestartRequired) << run.transcript;
  const std::string log = read_text(hotfix.work_dir() / "run.log");
  EXPECT_NE(log.find("Payload: installers pinned"), std::string::npos) << log;
  EXPECT_NE(log.find("Payload: C:\\hotfix\\40517-2.exe: as pinned, "), std::string::npos) << log;
  EXPECT_TRUE(run.problems.empty()) << run.transcript;
}

// The second installer replaced by another program: neither runs.
TEST_P(Pinned, AReplacedInstallerStartsNeitherAndSaysSoInOneBox) {
  auto hotfix = pinned_case();
  const HotfixRun run = hotfix.file("C:\\hotfix\\40517-2.exe", builds().dir / "tamper.exe")
                            .arguments({"/log:" + log_of(hotfix)})
                            .answers({"ok"})
                            .trace_calls()
                            .run();

  EXPECT_TRUE(run.installers.empty()) << "something was started\n" << run.transcript;
  ASSERT_EQ(run.boxes.size(), 1u) << run.transcript;
  EXPECT_EQ(run.boxes[0].title, "Hotfix");
  EXPECT_EQ(run.boxes[0].text, kMismatchText);
  const auto calls = run.calls_to("MessageBoxW");
  ASSERT_EQ(calls.size(), 1u) << run.transcript;
  EXPECT_EQ(calls[0].dword(3), kIconHand);
  EXPECT_EQ(run.exit_code, kPayloadMismatch) << run.transcript;
  const std::string log = read_text(hotfix.work_dir() / "run.log");
  // The file found and the file expected, each by size and SHA-256.
  const std::string pinned = "bytes, SHA-256 " + sha256_of(builds().dir / "stub.exe");
  const std::string found = "bytes, SHA-256 " + sha256_of(builds().dir / "tamper.exe");
  EXPECT_NE(log.find("Payload: C:\\hotfix\\40517-2.exe: NOT AS PINNED: " +
                     std::to_string(fs::file_size(builds().dir / "tamper.exe")) + " " + found +
                     "; pinned " + std::to_string(fs::file_size(builds().dir / "stub.exe")) + " " + pinned),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("verdict=failed; reason=payload-mismatch"), std::string::npos) << log;
}

TEST_P(Pinned, AQuietRunWithAMissingInstallerShowsNoBox) {
  auto hotfix = pinned_case();
  const HotfixRun run = hotfix.without_installer("40517-2.exe")
                            .arguments({"/quiet", "/log:" + log_of(hotfix)})
                            .run();

  EXPECT_TRUE(run.installers.empty()) << run.transcript;
  EXPECT_TRUE(run.boxes.empty()) << run.transcript;
  EXPECT_EQ(run.exit_code, kPayloadMismatch) << run.transcript;
  const std::string log = read_text(hotfix.work_dir() / "run.log");
  EXPECT_NE(log.find("40517-2.exe: NOT AS PINNED: missing (Windows error 2)"), std::string::npos)
      << log;
}

// While 40517.exe runs, a program tries to write, rename, replace and
// delete 40517-2.exe: all are refused, and the checked file runs.
TEST_P(Pinned, TheSecondInstallerCannotBeChangedWhileTheFirstRuns) {
  auto hotfix = pinned_case();
  const HotfixRun run = tampering(hotfix).answers({"no"}).run();

  EXPECT_EQ(run.second_copy_ran, "0") << "bits of what worked: 1 write, 2 rename, 4 replace, "
                                         "8 delete\n"
                                      << run.transcript;
  ASSERT_EQ(run.installers.size(), 2u) << run.transcript;
  EXPECT_EQ(run.installers[1].module, "C:\\hotfix\\40517-2.exe");
  EXPECT_EQ(run.exit_code, kRestartRequired) << run.transcript;
}

// The same attempts succeed against the unpinned build, which holds
// nothing (40517-2.exe is gone when its turn comes): the test above can
// tell the two apart.
TEST_P(Pinned, AnUnpinnedBuildHoldsNothing) {
  auto hotfix = hotfix_case();
  const HotfixRun run = tampering(hotfix).answers({"ok"}).run();

  EXPECT_NE(run.second_copy_ran, "0") << run.transcript;
  EXPECT_NE(run.second_copy_ran, "") << run.transcript;
}

HOTFIX_WINE_TEST_SUITE(Pinned);

}  // namespace
}  // namespace wine_harness
