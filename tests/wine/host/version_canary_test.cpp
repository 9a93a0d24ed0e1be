// Hotfix reads file versions with the system's version.dll only: a
// version.dll planted beside it (a canary that records its callers) must
// never serve Hotfix.exe, and the run must go on as usual.
#include <gtest/gtest.h>

#include <cctype>

#include "expectations.h"
#include "hotfix_words.h"
#include "process.h"
#include "records.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

namespace fs = std::filesystem;

class VersionCanary : public HotfixWineTest {};

std::string lower(std::string text) {
  for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string file_name(const std::string& windows_path) {
  return lower(windows_path.substr(windows_path.find_last_of('\\') + 1));
}

TEST_P(VersionCanary, TheProgramImportsNoVersionDll) {
  const std::string objdump =
      (GetParam() == Arch::i686 ? "i686" : "x86_64") + std::string("-w64-mingw32-objdump");
  ASSERT_FALSE(find_program(objdump).empty()) << objdump << " not found";
  const fs::path out = fs::path(HOTFIX_BINARY_DIR) / ("hotfix-imports-" + arch_name(GetParam()));
  const auto result =
      run_process({{objdump, "-p", (builds().dir / "Hotfix.exe").string()}, {}, {}, out, {}});
  ASSERT_EQ(result.exit_code, 0) << result.failure;
  const std::string dump = lower(read_text(out));
  EXPECT_NE(dump.find("dll name: kernel32.dll"), std::string::npos) << "no import table read";
  EXPECT_EQ(dump.find("dll name: version.dll"), std::string::npos) << read_text(out);
}

TEST_P(VersionCanary, APlantedVersionDllIsNeverCalledByTheProgram) {
  auto hotfix = hotfix_case();
  const fs::path work = hotfix.work_dir();
  const std::string log = prefix().windows_path(work / "canary.log");
  const std::string probe_log = prefix().windows_path(work / "probe.log");
  const std::string overrides = "version=n,b";
  int probe_exit = -1;
  const HotfixRun run =
      hotfix.file("C:\\hotfix\\version.dll", builds().dir / "version_canary.dll")
          .file("C:\\hotfix\\version_probe.exe", builds().dir / "version_probe.exe")
          .env("WINEDLLOVERRIDES", overrides)
          .env("HOTFIX_CANARY_LOG", log)
          .answers({"no"})
          .trace_calls()
          .on_ended([&] {
            // The control: a program in the same folder that imports
            // version.dll gets the canary, which names it as the caller.
            probe_exit = prefix()
                             .wine({"C:\\hotfix\\version_probe.exe", kTrkWindowsPath},
                                   {{"WINEDLLOVERRIDES", overrides},
                                    {"HOTFIX_CANARY_LOG", probe_log}},
                                   {}, {}, std::chrono::seconds(60))
                             .exit_code;
          })
          .run();

  std::string probe_calls;
  for (const auto& record : read_records(work / "probe.log"))
    if (record.at(0) == "call") probe_calls += record.at(1) + " " + file_name(record.at(2)) + "\n";
  EXPECT_EQ(probe_exit, 0);
  EXPECT_EQ(probe_calls, "GetFileVersionInfoSizeW version_probe.exe\n")
      << "the canary did not record the probe's call";

  std::string from_hotfix;
  for (const auto& record : read_records(work / "canary.log"))
    if (record.at(0) == "call" && file_name(record.at(2)) == "hotfix.exe")
      from_hotfix += record.at(1) + "\n";
  EXPECT_EQ(from_hotfix, "") << read_text(work / "canary.log");

  const auto lines = run.report_lines();
  ASSERT_EQ(lines.size(), 6u) << run.transcript;
  EXPECT_EQ(lines[1], "File version: 3.3.1000.0\n");
  ASSERT_EQ(run.boxes.size(), 1u) << run.transcript;
  EXPECT_EQ(run.boxes[0].title, kRestartTitle);
  ASSERT_EQ(run.installers.size(), 2u) << run.transcript;
  expect_started_hidden(run.installers[0], "C:\\hotfix\\40517.exe");
  expect_started_hidden(run.installers[1], "C:\\hotfix\\40517-2.exe");
  EXPECT_EQ(run.exit_code, kRestartRequired) << run.transcript;
}

HOTFIX_WINE_TEST_SUITE(VersionCanary);

}  // namespace
}  // namespace wine_harness
