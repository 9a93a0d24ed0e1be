// Time limits that follow the machine's speed. A case's limits were set on a
// quiet machine of the project's kind; where the machine is slower (loaded
// cores, or the lane's software emulation, 5 to 20 times slower) every limit
// grows by the measured factor, so that load alone never fails a case, while
// a program that hangs still meets a limit.
#pragma once

#include <chrono>

namespace wine_harness {

// How many times slower than the reference machine this one runs now: at
// least 1, at most kMaxSlowness. The larger of a CPU-bound sample against its
// time on the reference machine and the load average per core; measured
// again at most every half minute. HOTFIX_SLOWNESS=N fixes it to N.
double slowness();

inline constexpr double kMaxSlowness = 40;

// `limit` stretched by slowness().
std::chrono::milliseconds scaled(std::chrono::milliseconds limit);

}  // namespace wine_harness
