// The Windows version name: every row of the naming table, the failed query,
// and the query record that goes out.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "machines.h"
#include "platform/simulated/simulated_platform.h"
#include "system/os_version.h"

namespace {

using namespace testing_machines;
using platform::Text;

Text NameOn(const sim::WindowsVersion& windows) {
  sim::Machine m;
  m.windows = windows;
  sim::SimulatedPlatform p(m);
  return sys::get_OS(p);
}

sim::WindowsVersion Version(std::uint32_t platform_id, std::uint32_t major,
                            std::uint32_t minor) {
  sim::WindowsVersion w;
  w.platform_id = platform_id;
  w.major = major;
  w.minor = minor;
  return w;
}

struct NameCase {
  std::uint32_t platform_id, major, minor;
  const char16_t* name;
};

void ExpectNames(const NameCase* begin, const NameCase* end) {
  for (const NameCase* c = begin; c != end; ++c) {
    SCOPED_TRACE("platform " + std::to_string(c->platform_id) + ", version " +
                 std::to_string(c->major) + "." + std::to_string(c->minor));
    EXPECT_EQ(NameOn(Version(c->platform_id, c->major, c->minor)), c->name);
  }
}

TEST(WindowsVersionName, Windows95FamilyIsToldByTheMinorVersionAlone) {
  const NameCase cases[] = {
      {1, 4, 0, u"Windows 95"},   {1, 4, 10, u"Windows 98"},
      {1, 4, 90, u"Windows Mellinnium"}, {1, 4, 3, u""},
      {1, 0, 0, u"Windows 95"},   {1, 7, 10, u"Windows 98"},
      {1, 5, 90, u"Windows Mellinnium"}, {1, 4, 1, u""},
      {1, 4, 91, u""},            {1, 4, 0xFFFFFFFF, u""},
  };
  ExpectNames(std::begin(cases), std::end(cases));
}

TEST(WindowsVersionName, NtFamilyIsToldByMajorAndForFiveByMinor) {
  const NameCase cases[] = {
      {2, 3, 51, u"Windows NT 3.51"}, {2, 3, 10, u"Windows NT 3.51"},
      {2, 3, 50, u"Windows NT 3.51"}, {2, 4, 0, u"Windows NT 4.0"},
      {2, 4, 90, u"Windows NT 4.0"},  {2, 5, 0, u"Windows 2000"},
      {2, 5, 1, u"Windows XP"},       {2, 5, 2, u"Windows XP"},
      {2, 6, 0, u""},                 {2, 6, 1, u""},
      {2, 10, 0, u""},                {2, 2, 0, u""},
      {2, 0, 0, u""},
  };
  ExpectNames(std::begin(cases), std::end(cases));
}

TEST(WindowsVersionName, OtherPlatformsGiveFailed) {
  const NameCase cases[] = {
      {0, 5, 1, u"Failed"}, {0, 4, 0, u"Failed"}, {3, 5, 1, u"Failed"},
      {3, 4, 10, u"Failed"}, {4, 5, 1, u"Failed"},
  };
  ExpectNames(std::begin(cases), std::end(cases));
}

TEST(WindowsVersionName, FailedQueryGivesFailedWhateverTheMachineIs) {
  // A Windows 95 machine would otherwise name itself from a zero minor.
  for (const char* name : {"winxp", "win95", "win2k"}) {
    SCOPED_TRACE(name);
    sim::WindowsVersion w = *sim::WindowsVersionNamed(name);
    w.query_fails = true;
    EXPECT_EQ(NameOn(w), u"Failed");
  }
}

TEST(WindowsVersionName, QueryRecordGoesOutWith148AsItsSize) {
  sim::Machine m;
  sim::SimulatedPlatform p(m);
  sys::get_OS(p);
  const auto queries = CallsNamed(p.observations(), "GetVersionExA");
  ASSERT_EQ(queries.size(), 1u);
  EXPECT_EQ(queries[0].args, std::vector<std::string>{"size=148"});
  EXPECT_EQ(p.observations().trace.size(), 1u);  // and nothing else
  EXPECT_TRUE(p.observations().boxes.empty());
}

TEST(WindowsVersionName, EveryCallAsksWindowsAgainAndGivesTheSameText) {
  for (const char* name : {"winxp", "win98", "win7"}) {
    SCOPED_TRACE(name);
    sim::Machine m;
    m.windows = *sim::WindowsVersionNamed(name);
    sim::SimulatedPlatform p(m);
    const Text first = sys::get_OS(p);
    const Text second = sys::get_OS(p);
    EXPECT_EQ(first, second);
    EXPECT_EQ(CallsNamed(p.observations(), "GetVersionExA").size(), 2u);
  }
}

TEST(WindowsVersionName, NamedSimulatedVersionsGetTheirExpectedNames) {
  const struct {
    const char* windows;
    const char16_t* name;
  } cases[] = {
      {"winxp", u"Windows XP"},   {"winxp64", u"Windows XP"},
      {"win2003", u"Windows XP"}, {"win2k", u"Windows 2000"},
      {"win98", u"Windows 98"},   {"winme", u"Windows Mellinnium"},
      {"win95", u"Windows 95"},   {"nt40", u"Windows NT 4.0"},
      {"nt351", u"Windows NT 3.51"}, {"vista", u""},
      {"win7", u""},              {"win10", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.windows);
    const auto version = sim::WindowsVersionNamed(c.windows);
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(NameOn(*version), c.name);
  }
}

TEST(WindowsVersionName, UnknownSimulatedVersionNameIsNotFound) {
  for (const char* name : {"", "win11", "xp", "winxp "}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(sim::WindowsVersionNamed(name).has_value());
  }
}

}  // namespace
