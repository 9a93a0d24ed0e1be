// The simulated installer files: how the fake opens and reads them, and how
// a scenario's [payload] describes a pinned build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/simulated/input_error.h"
#include "platform/simulated/simulated_platform.h"
#include "simulator/scenario.h"

namespace {

namespace fs = std::filesystem;
using platform::Long;
using platform::Text;

TEST(SimulatedReading, OpensAsWindowsAnswersAndReadsInPiecesToTheEnd) {
  sim::Machine m;
  m.files[u"C:\\Hotfix\\40517.exe"].contents = "abcdefghij";
  m.files[u"C:\\Hotfix\\sub\\x.exe"];
  sim::SimulatedPlatform p(m);
  const struct {
    Text path;
    Long error;  // 0: opens
  } opens[] = {{u"C:\\Hotfix\\missing.exe", 2}, {u"C:\\Hotfix\\sub", 5}, {u"c:/hotfix/40517.EXE", 0}};
  Long handle = 0;
  for (const auto& o : opens) {
    SCOPED_TRACE(platform::ToUtf8(o.path));
    Long error = 0;
    handle = p.OpenFileForReading(o.path, error);
    EXPECT_EQ(handle == 0, o.error != 0);
    if (handle == 0) {
      EXPECT_EQ(error, o.error);
    }
  }
  std::string got;
  std::uint8_t buffer[4];
  Long read = -1;
  for (const std::string piece : {"abcd", "efgh", "ij", ""}) {
    ASSERT_EQ(p.ReadFile(handle, buffer, 4, read), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(read)), piece);
  }
  EXPECT_EQ(p.CloseHandle(handle), 1);
  EXPECT_EQ(p.ReadFile(handle, buffer, 4, read), 0) << "a closed handle reads nothing";
  Long size = 0, error = 0;
  const Long log = p.OpenFileForAppend(u"C:\\hotfix.log", size, error);
  ASSERT_NE(log, 0);
  EXPECT_EQ(p.ReadFile(log, buffer, 4, read), 0) << "a handle opened for appending reads nothing";
}

constexpr char kFirstHex[] = "0a2e6bf736b5a4107bfcd46245f9f7df53473eca27ea7ae6144d8459b2ce58e5";
constexpr char kSecondHex[] = "AF8455A4FF4C7D88C3C17C8AB684A38BED82C79B8B50CC0B8977E495B7DD40B5";

// A scenario folder of its own, with the two installers' bytes beside it.
fs::path WriteScenario(const std::string& name, const std::string& toml) {
  const fs::path dir = fs::temp_directory_path() / ("hotfix-pinned-" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / "scenario.toml") << toml;
  std::ofstream(dir / "one.bin", std::ios::binary) << "CR40517 one";
  std::ofstream(dir / "two.bin", std::ios::binary) << "CR40517 two";
  return dir;
}

std::string Entry(const std::string& name, const std::string& settings) {
  return "'" + name + "' = { " + settings + " }\n";
}
std::string Settings(const std::string& hex, const std::string& holds, const std::string& size = "11") {
  return "pinned_size = " + size + ", pinned_sha256 = '" + hex + "', holds = '" + holds + "'";
}

TEST(ScenarioPayload, PinsBothInstallersAndGivesEachFileItsBytes) {
  const fs::path dir = WriteScenario(
      "good", "[payload]\n" + Entry("40517.exe", Settings(kFirstHex, "one.bin")) +
                  Entry("40517-2.exe", Settings(kSecondHex, "missing")));
  const simulator::Scenario s = simulator::LoadScenario(dir);
  EXPECT_EQ(s.machine.pinned.pinned, 1u);
  EXPECT_EQ(s.machine.pinned.files[0].size, 11u);
  EXPECT_EQ(s.machine.pinned.files[0].sha256[0], 0x0a);
  EXPECT_EQ(s.machine.pinned.files[1].sha256[31], 0xb5);
  ASSERT_NE(s.machine.FindFile(u"C:\\Hotfix\\40517.exe"), nullptr);
  EXPECT_EQ(s.machine.FindFile(u"C:\\Hotfix\\40517.exe")->contents, "CR40517 one");
  EXPECT_TRUE(s.machine.FindFile(u"C:\\Hotfix\\40517.exe")->program.has_value());
  EXPECT_EQ(s.machine.FindFile(u"C:\\Hotfix\\40517-2.exe"), nullptr);
  EXPECT_EQ(simulator::LoadScenario(WriteScenario("unpinned", "windows = 'winxp'\n")).machine.pinned.pinned, 0u);
}

TEST(ScenarioPayload, EachMistakeIsNamedWithItsFileAndLine) {
  const std::string first = Entry("40517.exe", Settings(kFirstHex, "one.bin"));
  const std::string second = Entry("40517-2.exe", Settings(kSecondHex, "two.bin"));
  const struct {
    const char* name;
    std::string payload;  // after [payload] on line 1
    std::string message;  // after "scenario.toml:"
  } cases[] = {
      {"short-hex", first + Entry("40517-2.exe", Settings("abc", "two.bin")),
       "3: '40517-2.exe': pinned_sha256: 64 hexadecimal digits, not 3 characters"},
      {"bad-digit", Entry("40517.exe", Settings(std::string(63, '0') + "g", "one.bin")) + second,
       "2: '40517.exe': pinned_sha256: \"g\" (character 64) is not a hexadecimal digit"},
      {"one-named", first, "1: '40517-2.exe' is not named"},
      {"other-name", first + second + Entry("setup.exe", Settings(kSecondHex, "two.bin")),
       "4: unknown installer \"setup.exe\""},
      {"no-file", first + Entry("40517-2.exe", Settings(kSecondHex, "three.bin")),
       "3: '40517-2.exe': holds: cannot read"},
      {"negative", Entry("40517.exe", Settings(kFirstHex, "one.bin", "-1")) + second,
       "2: '40517.exe': pinned_size: a whole number of bytes, 0 or more"},
      {"no-holds", first + Entry("40517-2.exe", "pinned_size = 11, pinned_sha256 = '" + std::string(kSecondHex) + "'"),
       "3: '40517-2.exe': holds: a string is needed"},
      {"absolute", first + Entry("40517-2.exe", Settings(kSecondHex, "/etc/passwd")),
       "3: '40517-2.exe': holds: a file of the scenario folder, or 'missing'"},
      {"not-a-table", "'40517.exe' = 11\n" + second, "2: '40517.exe': [payload] names"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path dir = WriteScenario(c.name, "[payload]\n" + c.payload);
    try {
      simulator::LoadScenario(dir);
      ADD_FAILURE() << "expected an InputError";
    } catch (const sim::InputError& e) {
      EXPECT_NE(std::string(e.what()).find("scenario.toml:" + c.message), std::string::npos) << e.what();
    }
  }
  const fs::path dir = WriteScenario("left-out", "[installers]\n'40517.exe' = true\n'40517-2.exe' = false\n"
                                                 "[payload]\n" + first + second);
  try {
    simulator::LoadScenario(dir);
    ADD_FAILURE() << "expected an InputError";
  } catch (const sim::InputError& e) {
    EXPECT_NE(std::string(e.what()).find("scenario.toml:6: '40517-2.exe': holds \"two.bin\", but [installers] "
                                         "leaves it out of the program folder"),
              std::string::npos)
        << e.what();
  }
}

}  // namespace
