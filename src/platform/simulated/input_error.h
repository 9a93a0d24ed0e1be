// Malformed input describing a machine: a .reg export, a PE file, a scenario.
#pragma once

#include <stdexcept>

namespace sim {

// The message names the file and the line or offset, and what is wrong.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace sim
