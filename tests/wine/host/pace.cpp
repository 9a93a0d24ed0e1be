#include "pace.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace wine_harness {
namespace {

using Clock = std::chrono::steady_clock;

// A fixed amount of integer work, about 60 ms on the reference machine in
// the native (Debug) build: longer than the scheduler's time slices, so that
// cores shared with other jobs show; what the optimiser cannot drop or fold.
std::chrono::nanoseconds one_sample() {
  const auto began = Clock::now();
  std::uint64_t x = 88172645463325252ull;
  for (int i = 0; i < 16'000'000; ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
  }
  volatile std::uint64_t sink = x;
  (void)sink;
  return Clock::now() - began;
}

// The sample's time on a quiet machine of the project's kind (2 cores,
// Debug build).
constexpr std::chrono::nanoseconds kReference = std::chrono::milliseconds(60);

// Runnable tasks per core over the last minute. A short sample does not see
// a loaded machine: the scheduler favours a task that has slept, as this
// one and the Wine programs it waits for mostly do, so the cores' share is
// read from the load average as well.
double load_per_core() {
  double load = 0;
  if (std::FILE* file = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(file, "%lf", &load) != 1) load = 0;
    std::fclose(file);
  }
  const long cores = sysconf(_SC_NPROCESSORS_ONLN);
  return cores > 0 ? load / static_cast<double>(cores) : 0;
}

double measure() {
  const double ratio =
      static_cast<double>(one_sample().count()) / static_cast<double>(kReference.count());
  return std::clamp(std::max(ratio, load_per_core()), 1.0, kMaxSlowness);
}

}  // namespace

double slowness() {
  if (const char* fixed = std::getenv("HOTFIX_SLOWNESS"); fixed != nullptr && *fixed != '\0')
    return std::clamp(std::strtod(fixed, nullptr), 1.0, kMaxSlowness);
  static double value = 0;
  static Clock::time_point measured;
  if (value == 0 || Clock::now() - measured > std::chrono::seconds(30)) {
    value = measure();
    measured = Clock::now();
  }
  return value;
}

std::chrono::milliseconds scaled(std::chrono::milliseconds limit) {
  return std::chrono::milliseconds(
      static_cast<std::int64_t>(static_cast<double>(limit.count()) * slowness()));
}

}  // namespace wine_harness
