// The record of every call the simulated platform answered.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/text.h"

namespace sim {

struct TraceEvent {
  std::string call;               // "RegOpenKeyExA", "MsgBox", ...
  std::vector<std::string> args;  // each argument as written by Format*
  std::string result;             // the result, then any out-values

  bool operator==(const TraceEvent&) const = default;
};

// One line per event: call(arg, arg) -> result
std::string ToString(const TraceEvent& event);

// Argument formats: texts quoted with C escapes (\r, \n, \0, \"), handles and
// masks in hex, counts in decimal.
std::string Quote(std::u16string_view text);
std::string Hex(std::uint32_t value);
std::string Dec(std::int64_t value);

}  // namespace sim
