// Windows-1252, the ANSI code page of the simulated machine.
#pragma once

#include "platform/text.h"

namespace sim {

// Characters outside the code page become '?', as WideCharToMultiByte's
// default character; NUL and every other byte survive.
platform::AnsiString EncodeCp1252(std::u16string_view text);
// Every byte maps to one character; the five unassigned bytes map to the C1
// control of the same number, as MultiByteToWideChar does.
platform::Text DecodeCp1252(std::string_view bytes);

}  // namespace sim
