// Lines for the person watching a long suite (see progress.cpp).
#pragma once

#include <string>

namespace wine_harness {

// Appends text to the file the environment variable names, if it names one;
// opened for each line, so that a program killed later loses nothing.
void append_to(const char* variable, const std::string& text);

// A line (no line end) for the file HOTFIX_PROGRESS names.
void progress_line(const std::string& line);

}  // namespace wine_harness
