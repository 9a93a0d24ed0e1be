// libFuzzer target for the PE version resource reader. Build and run:
//   clang++-14 -std=c++20 -fsanitize=fuzzer,address,undefined -I src \
//     fuzz/pe_version_fuzz.cpp src/platform/simulated/pe_version.cpp -o /tmp/pe_fuzz
//   /tmp/pe_fuzz -max_total_time=60 fuzz/corpus/pe_version
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/simulated/input_error.h"
#include "platform/simulated/pe_version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const auto resource = sim::ReadVersionResourceFromImage(std::span(data, size), "fuzz.exe");
    // An answer is a copy of bytes of the input, so it can never be larger.
    if (resource && (resource->empty() || resource->size() > size)) std::abort();
  } catch (const sim::InputError&) {
    // Refusing damaged input is the expected outcome; anything else escapes and is reported.
  }
  return 0;
}
