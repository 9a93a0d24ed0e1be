// The Windows calls Hotfix makes, with the arguments it must pass, read from
// Wine's relay trace of a whole run on a machine the fix applies to.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "expectations.h"
#include "hotfix_words.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

class ContractCalls : public HotfixWineTest {};

constexpr unsigned long kHklm = 0x80000002;

std::string lower(std::string text) {
  for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

const std::vector<std::string> kFixtureReport = {
    std::string("Full filename: ") + kTrkWindowsPath + "\n",
    "File version: 3.3.1000.0\n",
    "Product version: 3.3.1000.0\n",
    "File flags: \n",
    "File OS: NT-Win32\n",
    "File type: App\n",
};

// Several functions are also called by Wine's own code in the process, so
// each check looks for the call with Hotfix's arguments among them.
template <typename Match>
bool any_call(const HotfixRun& run, const std::string& function, Match match) {
  const auto calls = run.calls_to(function);
  return std::any_of(calls.begin(), calls.end(), match);
}

TEST_P(ContractCalls, AFixThatAppliesAnsweredNo) {
  const HotfixRun run = hotfix_case().answers({"no"}).trace_calls().run();

  ASSERT_EQ(run.boxes.size(), 1u) << run.transcript;
  EXPECT_EQ(run.boxes[0].title, kRestartTitle);
  EXPECT_EQ(run.boxes[0].text, kRestartText);
  EXPECT_EQ(run.boxes[0].buttons, (std::vector<std::string>{"Yes", "No"}));
  EXPECT_EQ(run.boxes[0].default_button, "No");
  EXPECT_EQ(run.boxes[0].pressed, "No");
  ASSERT_EQ(run.installers.size(), 2u) << run.transcript;
  expect_started_hidden(run.installers[0], "C:\\hotfix\\40517.exe");
  expect_started_hidden(run.installers[1], "C:\\hotfix\\40517-2.exe");
  EXPECT_EQ(run.report_lines(), kFixtureReport) << run.transcript;
  EXPECT_TRUE(run.calls_to("ExitWindowsEx").empty()) << run.transcript;
  EXPECT_EQ(run.exit_code, kRestartRequired) << run.transcript;
  EXPECT_TRUE(run.problems.empty()) << run.transcript;

  EXPECT_TRUE(any_call(run, "RegOpenKeyExA", [](const Call& c) {
    return c.dword(0) == kHklm &&
           c.text(1) == "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                        "{D13A6F58-02C7-4E9B-8B21-7F4C05E9A6D3}" &&
           c.dword(2) == 0 && c.dword(3) == 0x3F;
  })) << "RegOpenKeyExA(HKLM, uninstall key, 0, 0x3F)\n" << run.transcript;
  EXPECT_TRUE(any_call(run, "RegOpenKeyA", [](const Call& c) {
    return c.dword(0) == kHklm && c.text(1) == "Software\\Orvane\\Orvane firewall";
  })) << "RegOpenKeyA(HKLM, firewall key)\n" << run.transcript;
  for (const char* value : {"DisplayName", "Installpath"})
    EXPECT_TRUE(any_call(run, "RegQueryValueExA", [&](const Call& c) { return c.text(1) == value; }))
        << "RegQueryValueExA of " << value << "\n" << run.transcript;

  // version.dll comes from the system folder by its full path, never by name.
  EXPECT_TRUE(any_call(run, "LoadLibraryW", [](const Call& c) {
    const std::string path = lower(c.text(0));
    return path.size() > 12 && path.find(":\\") == 1 &&
           path.ends_with("\\system32\\version.dll");
  })) << run.transcript;
  EXPECT_FALSE(any_call(run, "LoadLibraryW", [](const Call& c) {
    return lower(c.text(0)) == "version.dll";
  })) << run.transcript;
  EXPECT_FALSE(any_call(run, "LoadLibraryA", [](const Call& c) {
    return lower(c.text(0)) == "version.dll";
  })) << run.transcript;
  for (const char* function : {"GetFileVersionInfoSizeA", "GetFileVersionInfoA"})
    EXPECT_TRUE(any_call(run, function, [](const Call& c) { return c.text(0) == kTrkWindowsPath; }))
        << function << "\n" << run.transcript;
  EXPECT_TRUE(any_call(run, "VerQueryValueA", [](const Call& c) { return c.text(1) == "\\"; }))
      << run.transcript;
  EXPECT_FALSE(run.calls_to("GetVersionExA").empty()) << run.transcript;

  // Each installer: opened for SYNCHRONIZE by its id, polled with a zero
  // wait on that handle, and the handle closed.
  for (const auto& installer : run.installers) {
    const auto opens = run.calls_to("OpenProcess");
    const auto open = std::find_if(opens.begin(), opens.end(), [&](const Call& c) {
      return c.dword(2) == installer.pid;
    });
    ASSERT_NE(open, opens.end()) << "OpenProcess of " << installer.module << "\n"
                                 << run.transcript;
    EXPECT_EQ(open->dword(0), 0x100000u) << "SYNCHRONIZE";
    EXPECT_EQ(open->dword(1), 0u) << "not inherited";
    ASSERT_TRUE(open->retval && *open->retval != 0) << run.transcript;
    const unsigned long long handle = *open->retval;
    EXPECT_TRUE(any_call(run, "WaitForSingleObject", [&](const Call& c) {
      return c.number(0) == handle && c.dword(1) == 0;
    })) << "WaitForSingleObject(h, 0) for " << installer.module << "\n" << run.transcript;
    EXPECT_TRUE(any_call(run, "CloseHandle", [&](const Call& c) { return c.number(0) == handle; }))
        << "CloseHandle(h) for " << installer.module << "\n" << run.transcript;
  }
}

// Windows XP x64 Edition is NT 5.2 and named "Windows XP" too.
TEST_P(ContractCalls, AFixThatAppliesOnWindowsXpX64) {
  if (GetParam() != Arch::x86_64) GTEST_SKIP() << "Windows XP x64 exists only for x86_64";
  const HotfixRun run = hotfix_case().windows_version("winxp64").answers({"no"}).run();

  ASSERT_EQ(run.boxes.size(), 1u) << run.transcript;
  EXPECT_EQ(run.boxes[0].title, kRestartTitle);
  ASSERT_EQ(run.installers.size(), 2u) << run.transcript;
  EXPECT_EQ(run.exit_code, kRestartRequired) << run.transcript;
}

HOTFIX_WINE_TEST_SUITE(ContractCalls);

}  // namespace
}  // namespace wine_harness
