#include "pace.h"

#include <algorithm>
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

double measure() {
  const double ratio =
      static_cast<double>(one_sample().count()) / static_cast<double>(kReference.count());
  return std::clamp(ratio, 1.0, kMaxSlowness);
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
