// Any bytes given to the .reg reader end in a loaded registry (with warnings
// for the lines it skipped) or an InputError; anything else (a crash, another
// exception, a hang) is a finding.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "platform/simulated/input_error.h"
#include "platform/simulated/machine.h"
#include "platform/simulated/reg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  sim::Registry registry;
  std::vector<sim::RegWarning> warnings;
  try {
    sim::LoadRegText(in, "fuzz.reg", registry, &warnings);
  } catch (const sim::InputError&) {
  }
  for (const auto& warning : warnings) (void)sim::Describe(warning);
  return 0;
}
