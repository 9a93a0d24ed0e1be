// A whole simulated run of each bundled scenario, its machine already loaded:
// each iteration copies the machine (a run consumes its answers) and runs the
// program on the copy, as hotfix-sim and the tests do.
//
//   hotfix_sim_bench [SCENARIOS_DIR] [--benchmark_... options]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "platform/simulated/run.h"
#include "simulator/scenario.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const fs::path root = argc > 1 ? fs::path(argv[1]) : fs::path(HOTFIX_SOURCE_DIR) / "scenarios";
  std::vector<fs::path> dirs;
  for (const auto& entry : fs::directory_iterator(root))
    if (fs::exists(entry.path() / "scenario.toml")) dirs.push_back(entry.path());
  std::sort(dirs.begin(), dirs.end());
  if (dirs.empty()) {
    std::cerr << "no scenarios in " << root << "\n";
    return 2;
  }
  for (const auto& dir : dirs) {
    auto scenario = std::make_shared<const simulator::Scenario>(simulator::LoadScenario(dir));
    benchmark::RegisterBenchmark(("scenario/" + dir.filename().string()).c_str(),
                                 [scenario](benchmark::State& state) {
                                   for (auto _ : state) {
                                     sim::Machine machine = scenario->machine;
                                     sim::RunResult result = sim::RunProgram(machine);
                                     benchmark::DoNotOptimize(result);
                                   }
                                 })
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
