// Every bundled scenario gives the outcome it states.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/simulated/run.h"
#include "simulator/report.h"
#include "simulator/scenario.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> ScenarioDirs() {
  std::vector<fs::path> dirs;
  for (const auto& entry : fs::directory_iterator(fs::path(HOTFIX_SOURCE_DIR) / "scenarios")) {
    if (fs::exists(entry.path() / "scenario.toml")) dirs.push_back(entry.path());
  }
  std::sort(dirs.begin(), dirs.end());
  return dirs;
}

TEST(BundledScenarios, ThereAreEnoughToCoverTheGate) { EXPECT_GE(ScenarioDirs().size(), 30u); }

TEST(BundledScenarios, EachGivesItsStatedOutcome) {
  for (const fs::path& dir : ScenarioDirs()) {
    SCOPED_TRACE(dir.filename().string());
    simulator::Scenario s = simulator::LoadScenario(dir);
    ASSERT_TRUE(s.expect.exit_code.has_value());
    EXPECT_TRUE(s.reg_warnings.empty()) << sim::Describe(s.reg_warnings.front());
    const sim::Machine described = s.machine;
    const auto seen = sim::RunProgram(s.machine).seen;
    EXPECT_EQ(seen.exit_code, *s.expect.exit_code);
    std::vector<platform::Text> titles, started;
    for (const auto& b : seen.boxes) titles.push_back(b.title);
    for (const auto& p : seen.started) started.push_back(p.command_line);
    EXPECT_EQ(titles, s.expect.box_titles.value_or(titles));
    EXPECT_EQ(started, s.expect.started.value_or(started));
    EXPECT_EQ(seen.restart.has_value(), s.expect.restart.value_or(seen.restart.has_value()));
    // Every run can be explained to a person.
    EXPECT_FALSE(simulator::Explain(described, seen).empty());
  }
}

}  // namespace
