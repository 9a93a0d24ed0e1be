// What a long Wine suite has done so far, for the person waiting on `make
// test` or `make soak`: ctest shows a test's output only when it ends, so
// each finished case is appended, as a line, to the file HOTFIX_PROGRESS
// names (make tails it), with the count done and the count left. The file
// HOTFIX_RESULTS names gets one "<result> <case>" line per case and round
// (make soak counts the failed runs from it). Both are opened per line, so
// that a case killed with the program loses nothing already written.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "pace.h"
#include "progress.h"

namespace wine_harness {
namespace {

class Progress : public ::testing::EmptyTestEventListener {
  void OnTestIterationStart(const ::testing::UnitTest& unit, int iteration) override {
    total_ = unit.test_to_run_count();
    done_ = 0;
    round_ = iteration + 1;
    started_ = std::chrono::steady_clock::now();
    char line[160];
    std::snprintf(line, sizeof line, "[wine %s] round %d: %d cases, slowness %.1f\n",
                  suite(), round_, total_, slowness());
    append_to("HOTFIX_PROGRESS", line);
  }

  void OnTestEnd(const ::testing::TestInfo& info) override {
    const auto* result = info.result();
    const char* verdict = result->Skipped() ? "skip" : result->Failed() ? "FAIL" : "ok";
    const std::string name = std::string(info.test_suite_name()) + "." + info.name();
    ++done_;
    const long elapsed = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(
                                               std::chrono::steady_clock::now() - started_)
                                               .count());
    char line[512];
    std::snprintf(line, sizeof line, "[wine %s] %d/%d, %d left, %ld s: %-4s %s (%.1f s)\n",
                  suite(), done_, total_, total_ - done_, elapsed, verdict, name.c_str(),
                  static_cast<double>(result->elapsed_time()) / 1000);
    append_to("HOTFIX_PROGRESS", line);
    append_to("HOTFIX_RESULTS", std::string(verdict) + " " + name + "\n");
  }

  // The architecture the filter picked, and the shard, for the line's prefix.
  static const char* suite() {
    static const std::string name = [] {
      const std::string filter = ::testing::GTEST_FLAG(filter);
      std::string out = filter.find("i686") != std::string::npos     ? "i686"
                        : filter.find("x86_64") != std::string::npos ? "x86_64"
                                                                     : "all";
      if (const char* shard = std::getenv("HOTFIX_SHARD")) out += std::string(" shard ") + shard;
      return out;
    }();
    return name.c_str();
  }

  int total_ = 0;
  int done_ = 0;
  int round_ = 0;
  std::chrono::steady_clock::time_point started_;
};

// Registered before main runs, as the fixture's global environment is.
[[maybe_unused]] const bool registered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new Progress);
  return true;
}();

}  // namespace

}  // namespace wine_harness
