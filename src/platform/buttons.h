// The message-box buttons by name, as their labels read.
#pragma once

#include <string_view>

#include "platform/win_types.h"

namespace platform {

// "Yes", "No", "OK", ...; empty for a code that names no button.
inline std::u16string_view ButtonName(Long code) {
  switch (code) {
    case kIdOk: return u"OK";
    case kIdCancel: return u"Cancel";
    case kIdAbort: return u"Abort";
    case kIdRetry: return u"Retry";
    case kIdIgnore: return u"Ignore";
    case kIdYes: return u"Yes";
    case kIdNo: return u"No";
    default: return {};
  }
}

}  // namespace platform
