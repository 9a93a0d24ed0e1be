// What a person at the machine sees under the switches of a pushed update:
// the progress window of /passive and the restart countdown.
#include <gtest/gtest.h>

#include "hotfix_words.h"
#include "pace.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

using namespace std::chrono_literals;

constexpr const char* kCountdownStart =
    "Windows verr\xC3\xA0 riavviato per completare l'aggiornamento CR40517.\r\n\r\nRiavvio tra ";

class WhatAPersonSees : public HotfixWineTest {};

// Each installer runs long enough for the robot to see the window, however
// slow the machine is now.
TEST_P(WhatAPersonSees, PassiveShowsWhichInstallerRunsAndNoBox) {
  const HotfixRun run = hotfix_case()
                            .arguments({"/passive", "/norestart"})
                            .env("HOTFIX_STUB_SLEEP_MS", std::to_string(scaled(3s).count()))
                            .timeout(60s)
                            .trace_calls()
                            .run();

  EXPECT_TRUE(run.boxes.empty()) << run.transcript;
  EXPECT_TRUE(run.calls_to("MessageBoxW").empty()) << run.transcript;
  ASSERT_EQ(run.installers.size(), 2u) << run.transcript;
  const std::string steps[] = {"Passo 1 di 2: 40517.exe", "Passo 2 di 2: 40517-2.exe"};
  // Seen before that installer ended, and the second after the first ended
  // (the window shows a step as soon as its installer is started, before the
  // installer's own first record).
  for (std::size_t i = 0; i < 2; ++i) {
    ASSERT_TRUE(run.installers[0].end_tick && run.installers[1].end_tick) << run.transcript;
    const unsigned long after = i == 0 ? 0 : *run.installers[0].end_tick;
    bool seen = false;
    for (const auto& window : run.windows)
      seen = seen || (window.title == "Hotfix" && window.text.ends_with("\n" + steps[i]) &&
                      window.tick >= after && window.tick <= *run.installers[i].end_tick);
    EXPECT_TRUE(seen) << steps[i] << " while it ran\n" << run.transcript;
  }
  for (const auto& window : run.windows)
    EXPECT_TRUE(window.text.starts_with("Installazione dell'aggiornamento CR40517 in corso."))
        << window.text;
  EXPECT_EQ(run.exit_code, kRestartRequired) << run.transcript;
  EXPECT_TRUE(run.problems.empty()) << run.transcript;
}

TEST_P(WhatAPersonSees, PassiveWhereTheFixDoesNotApplyShowsNothing) {
  const HotfixRun run =
      hotfix_case().arguments({"/passive"}).without_registry_key(kUninstallKey).run();

  EXPECT_TRUE(run.boxes.empty()) << run.transcript;
  EXPECT_TRUE(run.windows.empty()) << run.transcript;
  EXPECT_TRUE(run.installers.empty()) << run.transcript;
  EXPECT_EQ(run.exit_code, kNotApplicable) << run.transcript;
  EXPECT_TRUE(run.problems.empty()) << run.transcript;
}

// The countdown left alone, or answered; what it ends in.
TEST_P(WhatAPersonSees, TheRestartCountdownAndWhatEachAnswerDoes) {
  const struct {
    std::vector<std::string> args;
    const char* answer;
    bool restart;
    unsigned long exit_code;
  } cases[] = {
      {{"/passive", "/warnrestart:3"}, "wait", true, kRestartInitiated},
      {{"/quiet", "/warnrestart:3"}, "wait", true, kRestartInitiated},
      {{"/warnrestart:30"}, "cancel", false, kRestartRequired},
      {{"/warnrestart:30"}, "ok", true, kRestartInitiated},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front() + " " + c.args.back() + ", answered " + c.answer);
    const HotfixRun run =
        hotfix_case().arguments(c.args).answers({c.answer}).timeout(90s).trace_calls().run();

    ASSERT_EQ(run.boxes.size(), 1u) << "only the countdown\n" << run.transcript;
    const Box& box = run.boxes[0];
    EXPECT_EQ(box.title, kRestartTitle);
    EXPECT_TRUE(box.text.starts_with(kCountdownStart)) << box.text;
    EXPECT_EQ(box.buttons, (std::vector<std::string>{"Riavvia ora", "Annulla"}));
    EXPECT_EQ(box.button_ids, (std::vector<int>{1, 2}));
    EXPECT_EQ(box.default_button, "Annulla");
    EXPECT_EQ(run.calls_to("ExitWindowsEx").size(), c.restart ? 1u : 0u) << run.transcript;
    if (std::string(c.answer) == "wait") {
      ASSERT_TRUE(run.installers.size() == 2 && run.installers[1].end_tick) << run.transcript;
      EXPECT_GE(run.exit_tick - *run.installers[1].end_tick, 2000u)
          << "the countdown's 3 s passed before the restart";
    }
    EXPECT_EQ(run.exit_code, c.exit_code) << run.transcript;
    EXPECT_TRUE(run.problems.empty()) << run.transcript;
  }
}

TEST_P(WhatAPersonSees, TwoRestartSwitchesAreAnInvalidCommandLine) {
  const HotfixRun run =
      hotfix_case().arguments({"/norestart", "/warnrestart"}).answers({"ok"}).run();

  ASSERT_EQ(run.boxes.size(), 1u) << run.transcript;
  EXPECT_TRUE(run.boxes[0].text.starts_with(
      "/norestart cannot be used with another restart switch.\r\n"))
      << run.boxes[0].text;
  EXPECT_TRUE(run.installers.empty()) << run.transcript;
  EXPECT_EQ(run.exit_code, 87u) << run.transcript;
  EXPECT_TRUE(run.problems.empty()) << run.transcript;
}

HOTFIX_WINE_TEST_SUITE(WhatAPersonSees);

}  // namespace
}  // namespace wine_harness
