// Any bytes given to the .reg reader end in a loaded registry or an
// InputError; anything else (a crash, another exception, a hang) is a finding.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "platform/simulated/input_error.h"
#include "platform/simulated/machine.h"
#include "platform/simulated/reg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  sim::Registry registry;
  try {
    sim::LoadRegText(in, "fuzz.reg", registry);
  } catch (const sim::InputError&) {
  }
  return 0;
}
