// The build number GetVersionExA gives: Windows 95, 98 and Me put the major
// and minor version in its high word (4.10.2222 reads 0x040A08AE), NT gives
// the build alone. Wine's GetVersionExA answers the same way.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/simulated/simulated_platform.h"

namespace {

std::uint32_t BuildOn(const char* windows) {
  sim::Machine m;
  m.windows = *sim::WindowsVersionNamed(windows);
  sim::SimulatedPlatform p(m);
  platform::OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = 148;
  EXPECT_EQ(p.GetVersionExA(info), 1);
  return info.dwBuildNumber;
}

TEST(SimulatedBuildNumber, Windows9xCarriesTheVersionInTheHighWord) {
  EXPECT_EQ(BuildOn("win95"), 0x040003B6u);  // 4.0.950
  EXPECT_EQ(BuildOn("win98"), 0x040A08AEu);  // 4.10.2222
  EXPECT_EQ(BuildOn("winme"), 0x045A0BB8u);  // 4.90.3000
}

TEST(SimulatedBuildNumber, NtGivesTheBuildAlone) {
  EXPECT_EQ(BuildOn("nt40"), 1381u);
  EXPECT_EQ(BuildOn("winxp"), 2600u);
  EXPECT_EQ(BuildOn("win2003"), 3790u);
}

}  // namespace
