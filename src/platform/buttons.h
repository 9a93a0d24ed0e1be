// The message-box buttons by name, as their labels read.
#pragma once

#include <string_view>
#include <vector>

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

// The buttons of a message-box style, left to right.
inline std::vector<Long> ButtonsOf(Long style) {
  switch (style & 0xF) {
    case kMbOkCancel: return {kIdOk, kIdCancel};
    case kMbAbortRetryIgnore: return {kIdAbort, kIdRetry, kIdIgnore};
    case kMbYesNoCancel: return {kIdYes, kIdNo, kIdCancel};
    case kMbYesNo: return {kIdYes, kIdNo};
    case kMbRetryCancel: return {kIdRetry, kIdCancel};
    default: return {kIdOk};
  }
}

// The button Enter presses: the one MB_DEFBUTTONn names, the first when the
// style names one the box lacks (as MessageBox does).
inline Long DefaultButton(Long style) {
  const std::vector<Long> buttons = ButtonsOf(style);
  const auto index = static_cast<std::size_t>((style >> 8) & 0xF);
  return buttons[index < buttons.size() ? index : 0];
}

}  // namespace platform
