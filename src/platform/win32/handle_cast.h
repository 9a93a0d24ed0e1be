// Handles cross the platform's doors as 32-bit values.
#pragma once

#include "platform/win32/windows_h.h"

#include "platform/win_types.h"

namespace platform::win32 {

// Windows keeps kernel handles and predefined keys within 32 bits and
// sign-extends them on 64-bit (HKEY_LOCAL_MACHINE is 0xFFFFFFFF80000002
// there), so the round trip is exact.
template <typename H>
H ToHandle(Long value) {
  return reinterpret_cast<H>(static_cast<LONG_PTR>(value));
}
template <typename H>
Long FromHandle(H handle) {
  return static_cast<Long>(reinterpret_cast<LONG_PTR>(handle));
}

}  // namespace platform::win32
