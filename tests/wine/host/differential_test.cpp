// Every bundled scenario run by the simulator and by the real Hotfix.exe
// under Wine: what a person sees, what runs, what is reported, the restart
// request and the exit status must be the same. A difference means the
// simulator, the scenario or Wine is wrong about Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <tuple>

#include "platform/simulated/simulated_platform.h"
#include "scenario_runner.h"
#include "simulator/scenario.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

namespace fs = std::filesystem;

// Scenarios whose Windows Wine does not reproduce, with the reason; they
// still run, and a difference is shown as a skip with this reason. Should
// one stop differing, the test fails so the mark is taken away.
const std::map<std::string, std::string>& known_wine_differences() {
  static const std::map<std::string, std::string> known = {};
  return known;
}

fs::path scenarios_dir() { return fs::path(HOTFIX_SOURCE_DIR) / "scenarios"; }

std::vector<std::string> scenario_names() {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(scenarios_dir(), error))
    if (fs::exists(entry.path() / "scenario.toml")) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

using Param = std::tuple<std::string, Arch>;

// One runner per architecture, kept across scenarios: it remembers what it placed.
std::map<Arch, std::unique_ptr<ScenarioRunner>>& runners() {
  static std::map<Arch, std::unique_ptr<ScenarioRunner>> all;
  return all;
}

class Differential : public ::testing::TestWithParam<Param> {
 protected:
  void SetUp() override {
    const Arch arch = std::get<1>(GetParam());
    builds_.dir = fs::path(HOTFIX_SOURCE_DIR) / "build" / ("mingw-" + arch_name(arch));
    builds_.trk = fs::path(HOTFIX_SOURCE_DIR) / "tests/fixtures" /
                  (arch == Arch::i686 ? "trk_3_3_1000_0_x86.exe" : "trk_3_3_1000_0_x64.exe");
    if (!fs::exists(builds_.dir / "Hotfix.exe"))
      GTEST_SKIP() << "no " << arch_name(arch) << " build: " << (builds_.dir / "Hotfix.exe")
                   << " is missing (cmake --preset mingw-" << arch_name(arch)
                   << " && cmake --build --preset mingw-" << arch_name(arch) << ")";
    for (const char* helper : {"boxbot.exe", "stub.exe", "regset.exe"})
      ASSERT_TRUE(fs::exists(builds_.dir / helper))
          << (builds_.dir / helper) << " is missing; build the mingw-" << arch_name(arch)
          << " preset fully";

    // Not build/wine: the other Wine suites may run at the same time.
    WinePrefix* prefix = nullptr;
    ReadyPrefix(arch, "wine-diff", "harness-diff", prefix);
    if (prefix == nullptr) return;
    auto& runner = runners()[arch];
    if (!runner) runner = std::make_unique<ScenarioRunner>(*prefix, builds_);
    runner_ = runner.get();
  }

  ScenarioRunner* runner_ = nullptr;
  Builds builds_;
};

// Keeps a failed run's logs out of reach of the next test program, which
// starts by clearing the prefix's working folders.
std::string kept(const WineRun& wine, const std::string& name, Arch arch) {
  const fs::path to = fs::path(HOTFIX_SOURCE_DIR) / "build/wine-diff/failed" / arch_name(arch) / name;
  std::error_code error;
  fs::remove_all(to, error);
  fs::create_directories(to.parent_path(), error);
  fs::copy(wine.work_dir, to, fs::copy_options::recursive, error);
  return error ? "(logs could not be kept: " + error.message() + ")" : "logs kept in " + to.string();
}

TEST_P(Differential, SimulatorAndWineAgree) {
  const std::string& name = std::get<0>(GetParam());
  const fs::path dir = scenarios_dir() / name;
  const simulator::Scenario scenario = simulator::LoadScenario(dir);
  if (scenario.simulated_only)
    GTEST_SKIP() << name << " is simulated only (" << scenario.description << ")";
  if (const auto why = ScenarioRunner::not_reproducible(scenario))
    GTEST_SKIP() << name << " cannot be built under Wine: " << *why;

  SimulatedRun simulated;
  try {
    simulated = run_simulated(scenario);
  } catch (const sim::ScriptError& error) {
    FAIL() << name << ": the simulator's run went off its script: " << error.what();
  }
  const WineRun wine = runner_->run(dir, scenario);
  for (const auto& note : wine.notes) {
    std::cout << "[   NOTE   ] " << name << ": " << note << "\n";
    RecordProperty("note", note);
  }
  const Arch arch = std::get<1>(GetParam());
  ASSERT_TRUE(wine.problems.empty()) << name << ": the Wine run is not to be trusted; "
                                     << kept(wine, name, arch) << "\n"
                                     << wine.transcript;

  const auto sim_lines = describe(simulated.outcome);
  const auto wine_lines = describe(wine.outcome);
  const std::string diff = line_diff(sim_lines, wine_lines);
  const auto known = known_wine_differences().find(name);
  if (known != known_wine_differences().end()) {
    if (diff.empty())
      FAIL() << name << " is marked as differing under Wine (" << known->second
             << ") but no longer does: remove the mark";
    GTEST_SKIP() << name << ": known difference under Wine: " << known->second
                 << "\n(- simulator, + Wine)\n"
                 << diff;
  }
  if (diff.empty()) return;
  ADD_FAILURE() << name << ": simulator and Wine differ (- simulator, + Wine); "
                << kept(wine, name, arch) << "\n"
                << diff << "\n=== simulator\n"
                << simulated.report << "\n=== Wine\n"
                << wine.transcript;
}

std::string param_name(const ::testing::TestParamInfo<Param>& info) {
  std::string id = std::get<0>(info.param) + "_" + arch_name(std::get<1>(info.param));
  for (auto& c : id)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return id;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Differential,
                         ::testing::Combine(::testing::ValuesIn(scenario_names()),
                                            ::testing::Values(Arch::i686, Arch::x86_64)),
                         param_name);

}  // namespace
}  // namespace wine_harness
