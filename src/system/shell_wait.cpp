#include "system/shell_wait.h"

#include <cmath>

#include "platform/failure.h"

namespace sys {
namespace {

using platform::Long;

// The identifier comes back as a floating value; convert as the classic
// runtime does (round half to even), failing on values a Long cannot hold.
Long ToLong(double value) {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
    throw platform::FailureOverflow();
  }
  return static_cast<Long>(rounded);
}

// One pass: is the process gone? An open that fails means it has ended. A
// process object can outlive its process while another program holds a handle
// to it, so a successful open is checked with a zero-time wait as well.
bool ProcessHasEnded(platform::Platform& platform, Long process_id) {
  const Long handle = platform.OpenProcess(platform::kSynchronize, 0, process_id);
  if (handle == 0) return true;
  const bool signalled =
      platform.WaitForSingleObject(handle, 0) == platform::kWaitObject0;
  platform.CloseHandle(handle);
  return signalled;
}

}  // namespace

void Shell_Wait(platform::Platform& platform, platform::Text command_line,
                Long window_style, platform::ProgramName program) {
  const Long process_id = ToLong(platform.Shell(command_line, window_style, program));
  bool ended = false;
  do {
    ended = ProcessHasEnded(platform, process_id);
    platform.DoEvents();
  } while (!ended);
}

}  // namespace sys
