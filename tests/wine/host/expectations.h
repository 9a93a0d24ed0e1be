// Checks shared by several tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "hotfix_case.h"

namespace wine_harness {

// Started as Hotfix must start its installers: the program's own path as the
// whole command line, without quotes, and hidden.
inline void expect_started_hidden(const InstallerRun& run, const std::string& path) {
  EXPECT_EQ(run.module, path);
  EXPECT_EQ(run.command_line, path);
  EXPECT_TRUE(run.uses_show_window) << path << ": STARTF_USESHOWWINDOW";
  EXPECT_EQ(run.show_window, 0) << path << ": SW_HIDE";
}

}  // namespace wine_harness
