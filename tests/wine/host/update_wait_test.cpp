// Hotfix waits for each update program to end before it goes on.
#include <gtest/gtest.h>

#include "hotfix_words.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

class UpdateWait : public HotfixWineTest {};

TEST_P(UpdateWait, SlowUpdatesRunOneAfterTheOtherAndTheQuestionComesLast) {
  const HotfixRun run =
      hotfix_case().env("HOTFIX_STUB_SLEEP_MS", "1500").answers({"no"}).run();

  ASSERT_EQ(run.installers.size(), 2u) << run.transcript;
  const InstallerRun& first = run.installers[0];
  const InstallerRun& second = run.installers[1];
  ASSERT_TRUE(first.end_tick && second.end_tick) << "an update never ended\n" << run.transcript;
  // GetTickCount moves in steps of about 16 ms.
  EXPECT_GE(*first.end_tick - first.start_tick, 1450u) << "the update took its time";
  EXPECT_GE(second.start_tick, *first.end_tick) << "started while the first was running\n"
                                                << run.transcript;

  ASSERT_EQ(run.boxes.size(), 1u) << run.transcript;
  EXPECT_EQ(run.boxes[0].title, kRestartTitle);
  EXPECT_GE(run.boxes[0].tick, *second.end_tick) << "asked while an update was running\n"
                                                  << run.transcript;
  EXPECT_EQ(run.exit_code, kRestartRequired) << run.transcript;
}

HOTFIX_WINE_TEST_SUITE(UpdateWait);

}  // namespace
}  // namespace wine_harness
