// How failures travel: run-time failures, and the end-of-program signal.
#pragma once

#include <cstdint>
#include <stdexcept>

#include "platform/text.h"

namespace platform {

// A run-time failure: a number and a description, as the classic run-time
// reports them ("53", "File not found"). Handlers catch this type only.
class RuntimeFailure : public std::exception {
 public:
  RuntimeFailure(std::int32_t number, Text description);

  std::int32_t number() const noexcept { return number_; }
  const Text& description() const noexcept { return description_; }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::int32_t number_;
  Text description_;
  std::string what_;
};

// The run-time failures this program can meet.
RuntimeFailure FailureFileNotFound();           // 53
RuntimeFailure FailureOverflow();               // 6
RuntimeFailure FailureOutOfMemory();            // 7
RuntimeFailure FailureInvalidProcedureCall();   // 5
RuntimeFailure FailureFromNumber(std::int32_t number);

// "End the program at once". Deliberately not derived from std::exception, so
// no failure handler, and no catch of std::exception, can swallow it. Only the
// simulated platform throws it; the Win32 one exits the process instead.
struct EndProgram {
  std::int32_t exit_code;
};

}  // namespace platform
