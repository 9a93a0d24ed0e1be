// The program's command line split into arguments, as a Windows C runtime
// splits it for main(): no shell32 is needed.
#pragma once

#include <vector>

#include "platform/text.h"

namespace deployment {

// The arguments after the program name. Blanks and tabs separate arguments
// outside quotes; 2n backslashes before a quote give n backslashes and the
// quote opens or closes quoting, 2n+1 give n backslashes and a literal quote;
// other backslashes are literal. The program name itself ends at the first
// blank, or at its closing quote, with no escapes.
std::vector<platform::Text> SplitArguments(const platform::Text& command_line);

}  // namespace deployment
