// The robot that plays the person answers a box only once it has read it
// whole. latebox.exe shows it boxes it cannot read at once: one whose title
// and text come late, one whose thread stops answering for longer than a
// single read waits, and one that never gets a text.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "pace.h"
#include "records.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

struct LateBox {
  const char* mode;
  const char* delay_ms;
  bool readable;
  std::chrono::milliseconds limit;  // boxbot's, on a quiet machine
};

class BoxbotReads : public HotfixWineTest {};

TEST_P(BoxbotReads, AnswersABoxOnlyOnceItIsReadWhole) {
  const fs::path work = prefix().drive_c() / "harness" / "boxbot-reads";
  fs::remove_all(work);
  fs::create_directories(work);
  for (const char* program : {"boxbot.exe", "latebox.exe"})
    fs::copy_file(builds().dir / program, work / program);

  const LateBox rows[] = {{"text", "3000", true, 20s},
                          {"stall", "3000", true, 20s},
                          {"never", "0", false, 4s}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.mode);
    const fs::path log = work / (std::string(row.mode) + ".log");
    const auto result = prefix().wine(
        {prefix().windows_path(work / "boxbot.exe"), "--log", prefix().windows_path(log),
         "--answers", "no", "--timeout-ms", std::to_string(scaled(row.limit).count()), "--",
         prefix().windows_path(work / "latebox.exe"), row.mode, row.delay_ms},
        {}, work / (std::string(row.mode) + ".out"), work / (std::string(row.mode) + ".err"),
        row.limit + 30s);
    EXPECT_EQ(prefix().settle(10s), std::vector<std::string>{}) << "left running by boxbot";
    std::vector<Record> boxes, unreadable, exits;
    for (const auto& r : read_records(log))
      (r.at(0) == "box" ? boxes : r.at(0) == "unreadable" ? unreadable : exits).push_back(r);

    if (row.readable) {
      EXPECT_EQ(result.exit_code, 0) << read_text(log);
      ASSERT_EQ(boxes.size(), 1u) << read_text(log);
      EXPECT_EQ(boxes[0].at(2), "Late box");
      EXPECT_EQ(boxes[0].at(3), "Read me whole");
      EXPECT_EQ(boxes[0].at(4), "Yes=6,No=7");
      EXPECT_EQ(boxes[0].at(10), "No");
      EXPECT_EQ(exits.back(), (Record{"exit", exits.back().at(1), "7"})) << read_text(log);
    } else {
      EXPECT_EQ(result.exit_code, 5) << read_text(log);
      EXPECT_TRUE(boxes.empty()) << "a box that was never read was answered:\n"
                                 << read_text(log);
      ASSERT_EQ(unreadable.size(), 1u) << read_text(log);
      EXPECT_NE(unreadable[0].at(2).find("no text"), std::string::npos) << unreadable[0].at(2);
    }
  }
}

HOTFIX_WINE_TEST_SUITE(BoxbotReads);

}  // namespace
}  // namespace wine_harness
