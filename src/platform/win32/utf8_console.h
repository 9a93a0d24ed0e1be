// The host tools' text output on Windows (hotfix-sim.exe): they write UTF-8.
// On a console that would show as the OEM code page's characters, so there
// each piece goes out as UTF-16 through WriteConsoleW; to a pipe or a file
// the UTF-8 bytes go out as they are, which is what a program reading them
// (and the tests) take.
#pragma once

namespace platform::win32 {

// Routes std::cout and std::cerr to WriteConsoleW where each is a console.
// Lasts as long as the program.
void UseWideConsole();

}  // namespace platform::win32
