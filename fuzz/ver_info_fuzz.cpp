// The decoder on arbitrary version resources: whatever the bytes, it decodes
// or shows the notice, and never reads outside the block.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/failure.h"
#include "platform/simulated/simulated_platform.h"
#include "version/ver_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sim::Machine machine;
  machine.AddVersionedFile(u"C:\\FW\\trk.exe", std::vector<std::uint8_t>(data, data + size));
  sim::SimulatedPlatform platform(machine);
  platform::Text name = u"C:\\FW\\trk.exe";
  platform::Text texts[7];
  try {
    version::DisplayVerInfo(platform, name,
                            {texts[0], texts[1], texts[2], texts[3], texts[4], texts[5], texts[6]});
  } catch (const platform::RuntimeFailure&) {
    // Out of memory for an absurd size is a run-time failure, not a crash.
  }
  return 0;
}
