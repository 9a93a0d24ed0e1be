// On a machine the fix is not for, Hotfix warns once and changes nothing.
#include <gtest/gtest.h>

#include "hotfix_words.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

class Gate : public HotfixWineTest {};

void expect_warning_only(const HotfixRun& run) {
  ASSERT_EQ(run.boxes.size(), 1u) << run.transcript;
  EXPECT_EQ(run.boxes[0].title, kWarningTitle);
  EXPECT_EQ(run.boxes[0].buttons, std::vector<std::string>{"OK"});
  EXPECT_TRUE(run.installers.empty()) << run.transcript;
  EXPECT_EQ(run.exit_code, kNotApplicable) << run.transcript;
}

TEST_P(Gate, WithoutTheFirewallItWarns) {
  expect_warning_only(hotfix_case()
                          .without_registry_value("HKLM\\SOFTWARE\\Microsoft\\Windows\\"
                                                  "CurrentVersion\\Uninstall\\"
                                                  "{D13A6F58-02C7-4E9B-8B21-7F4C05E9A6D3}",
                                                  "DisplayName")
                          .answers({"ok"})
                          .run());
}

TEST_P(Gate, OnWindows2000ItWarns) {
  expect_warning_only(hotfix_case().windows_version("win2k").answers({"ok"}).run());
}

HOTFIX_WINE_TEST_SUITE(Gate);

}  // namespace
}  // namespace wine_harness
