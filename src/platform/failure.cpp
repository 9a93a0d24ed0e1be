#include "platform/failure.h"

#include <utility>

namespace platform {

RuntimeFailure::RuntimeFailure(std::int32_t number, Text description)
    : number_(number), description_(std::move(description)),
      what_(ToUtf8(Concat({"run-time error ", Decimal(number), ": ", description_}))) {}

RuntimeFailure FailureFileNotFound() { return {53, u"File not found"}; }
RuntimeFailure FailureOverflow() { return {6, u"Overflow"}; }
RuntimeFailure FailureOutOfMemory() { return {7, u"Out of memory"}; }
RuntimeFailure FailureInvalidProcedureCall() {
  return {5, u"Invalid procedure call or argument"};
}

RuntimeFailure FailureFromNumber(std::int32_t number) {
  switch (number) {
    case 5: return FailureInvalidProcedureCall();
    case 6: return FailureOverflow();
    case 7: return FailureOutOfMemory();
    case 53: return FailureFileNotFound();
    case 70: return {70, u"Permission denied"};
    case 75: return {75, u"Path/File access error"};
    default: return {number, u"Application-defined or object-defined error"};
  }
}

}  // namespace platform
