// What the parts of the deployment layer share: the names they write texts
// with, and the title of the layer's own boxes and windows.
#pragma once

#include "platform/text.h"

namespace deployment {

using platform::Concat;
using platform::Decimal;
using platform::Text;
using Part = platform::TextPart;  // a literal in a choice: its length counted where it is written

inline constexpr char16_t kTitle[] = u"Hotfix";

}  // namespace deployment
