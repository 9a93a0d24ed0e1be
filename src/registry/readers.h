// The three registry readers. Each has its own semantics and its callers rely
// on them, so they stay separate.
#pragma once

#include "platform/platform.h"
#include "registry/variant.h"

namespace registry {

// What get_reg_value returns when it has no value to return.
inline constexpr char16_t kSentinel[] = u"No! Value or Key Doesn't exist";

// Presence test: true (-1) when the value exists as REG_SZ or REG_DWORD and
// its text, as read, is not blank after trimming blanks (U+0020 only; a kept
// terminating NUL makes even an empty REG_SZ present). Opens with access mask
// 0x3F, which includes write rights, so a read-only key answers false. The
// texts pass through the ANSI code page and back.
platform::Boolean QueryValue(platform::Platform& platform,
                             platform::Long& lPredefinedKey,
                             platform::Text& sKeyName,
                             platform::Text& sValueName);

// Typed read from an open key. Returns the status: 0, a Windows status, or -1
// for a type other than REG_SZ and REG_DWORD. REG_SZ gives the stored bytes
// with the terminating NUL kept; REG_DWORD a number. Never raises: a failure
// inside ends the reader with the status it holds, vValue as it was.
platform::Long QueryValueEx(platform::Platform& platform, platform::Long lhKey,
                            platform::Text szValueName, Variant& vValue);

// Text read that never reports a registry failure: the REG_SZ text cut at its
// first NUL, or kSentinel when there is nothing (or only the empty text) to
// return. A first NUL beyond position 32767 raises the overflow failure (6).
Variant get_reg_value(platform::Platform& platform, platform::Long& lRoot,
                      platform::Text& sKeyPath, platform::Text& sValueName);

}  // namespace registry
