// The version decoder as Form1 runs it: the seven texts it writes, what it
// leaves alone, and the notice for files without usable version information.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hotfix/form1.h"
#include "machines.h"
#include "platform/simulated/simulated_platform.h"
#include "version/ver_info.h"

namespace {

using namespace testing_machines;
using platform::Text;
using platform::VS_FIXEDFILEINFO;

const Text kFile = u"C:\\Program Files\\Orvane\\Firewall\\trk.exe";
const Text kNotice = u"No Version Info available!";

// A state whose seven version texts all hold distinct markers, so that a
// field the decoder must not touch shows it.
hotfix::Form1State MarkedState() {
  hotfix::Form1State s;
  s.sStrucVer = u"<struc>";
  s.sFileVer = u"<file>";
  s.sProdVer = u"<prod>";
  s.sFileFlags = u"<flags>";
  s.sFileOS = u"<os>";
  s.sFileType = u"<type>";
  s.sFileSubType = u"<subtype>";
  return s;
}

struct Outcome {
  hotfix::Form1State state;
  sim::Observations seen;
};

// Runs Form1::DisplayVerInfo for sFullName on the machine, from MarkedState.
Outcome RunDecoder(sim::Machine& m, const Text& full_name = kFile) {
  sim::SimulatedPlatform p(m);
  hotfix::Form1 form(p);
  form.state() = MarkedState();
  form.state().sFullName = full_name;
  form.DisplayVerInfo();
  return {form.state(), p.observations()};
}

Outcome Decode(const VS_FIXEDFILEINFO& info, std::uint16_t value_length = 52) {
  sim::Machine m;
  m.AddVersionedFile(kFile, sim::MakeVersionResource(info, value_length));
  return RunDecoder(m);
}

std::vector<std::string> CallNames(const sim::Observations& seen) {
  std::vector<std::string> calls;
  for (const auto& e : seen.trace) calls.push_back(e.call);
  return calls;
}

// Everything but the seven texts and the name is left as it was.
void ExpectOnlyVersionTextsMayDiffer(const hotfix::Form1State& after) {
  hotfix::Form1State expected = MarkedState();
  expected.sFullName = after.sFullName;
  expected.sStrucVer = after.sStrucVer;
  expected.sFileVer = after.sFileVer;
  expected.sProdVer = after.sProdVer;
  expected.sFileFlags = after.sFileFlags;
  expected.sFileOS = after.sFileOS;
  expected.sFileType = after.sFileType;
  expected.sFileSubType = after.sFileSubType;
  EXPECT_EQ(after, expected);
}

// ---- versions --------------------------------------------------------------

TEST(VersionDecoder, FirewallVersionGivesItsTextsAndStructureVersionOneDotZero) {
  const Outcome out = Decode(sim::FixedFileInfo(3, 3, 1000, 0));
  EXPECT_EQ(out.state.sStrucVer, u"1.0");
  EXPECT_EQ(out.state.sFileVer, u"3.3.1000.0");
  EXPECT_EQ(out.state.sProdVer, u"3.3.1000.0");
  EXPECT_EQ(out.state.sFileFlags, u"");
  EXPECT_EQ(out.state.sFileOS, u"NT-Win32");
  EXPECT_EQ(out.state.sFileType, u"App");
  EXPECT_EQ(out.state.sFileSubType, u"<subtype>");  // App has no subtype
  EXPECT_TRUE(out.seen.boxes.empty());
  ExpectOnlyVersionTextsMayDiffer(out.state);
}

TEST(VersionDecoder, FileAndProductVersionsAreReadFromTheirOwnFields) {
  VS_FIXEDFILEINFO info = sim::FixedFileInfo(1, 2, 3, 4);
  info.dwProductVersionMS = 0x00050006;
  info.dwProductVersionLS = 0x00070008;
  info.dwStrucVersion = 0x00020003;
  const Outcome out = Decode(info);
  EXPECT_EQ(out.state.sFileVer, u"1.2.3.4");
  EXPECT_EQ(out.state.sProdVer, u"5.6.7.8");
  EXPECT_EQ(out.state.sStrucVer, u"2.3");
}

TEST(VersionDecoder, HalvesOfHalfTheRangeOrMorePrintAsNegativeNumbers) {
  const struct {
    std::uint16_t a, b, c, d;
    const char16_t* text;
  } cases[] = {
      {65535, 0, 0, 0, u"-1.0.0.0"},
      {0, 0x8000, 0, 0, u"0.-32768.0.0"},
      {0, 0, 40000, 0, u"0.0.-25536.0"},
      {0, 0, 0, 32767, u"0.0.0.32767"},
      {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, u"-1.-1.-1.-1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.text));
    const Outcome out = Decode(sim::FixedFileInfo(c.a, c.b, c.c, c.d));
    EXPECT_EQ(out.state.sFileVer, c.text);
    EXPECT_EQ(out.state.sProdVer, c.text);
  }
}

TEST(VersionDecoder, StructureVersionHalvesAreSignedToo) {
  VS_FIXEDFILEINFO info = sim::FixedFileInfo(1, 0, 0, 0);
  info.dwStrucVersion = 0xFFFF8000;
  EXPECT_EQ(Decode(info).state.sStrucVer, u"-1.-32768");
}

TEST(VersionDecoder, VersionPartIsTheHalfReadAsSigned16Bit) {
  const struct {
    std::uint16_t half;
    const char16_t* text;
  } cases[] = {{0, u"0"},          {1, u"1"},           {1000, u"1000"},
               {32767, u"32767"},  {32768, u"-32768"},  {40000, u"-25536"},
               {65534, u"-2"},     {65535, u"-1"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.half);
    EXPECT_EQ(version::VersionPart(c.half), c.text);
  }
}

// ---- flags -----------------------------------------------------------------

TEST(VersionDecoder, FlagWordsFollowTheBitOrderEachWithATrailingBlank) {
  const struct {
    std::uint32_t flags;
    const char16_t* text;
  } cases[] = {
      {0x3F, u"Debug PreRel Patched Private Info Special "},
      {0x0A, u"PreRel Private "},
      {0x00, u""},
      {0x40, u""},  // above the table: ignored
      {0x01, u"Debug "},
      {0x04, u"Patched "},
      {0x10, u"Info "},
      {0x20, u"Special "},
      {0x31, u"Debug Info Special "},
      {0xFFFFFFC0, u""},
      {0xFFFFFFFF, u"Debug PreRel Patched Private Info Special "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    VS_FIXEDFILEINFO info = sim::FixedFileInfo(3, 3, 1000, 0);
    info.dwFileFlags = c.flags;
    EXPECT_EQ(Decode(info).state.sFileFlags, c.text);
  }
}

TEST(VersionDecoder, FlagsMaskIsNotConsulted) {
  VS_FIXEDFILEINFO info = sim::FixedFileInfo(3, 3, 1000, 0);
  info.dwFileFlags = 0x05;
  info.dwFileFlagsMask = 0;
  EXPECT_EQ(Decode(info).state.sFileFlags, u"Debug Patched ");
}

// ---- target OS -------------------------------------------------------------

TEST(VersionDecoder, TargetOsIsNamedOnlyForTheWholeValuesOfItsTable) {
  const struct {
    std::uint32_t os;
    const char16_t* text;  // "<os>": left as it was
  } cases[] = {
      {0x10001, u"DOS-Win16"},     {0x10004, u"DOS-Win32"},
      {0x20002, u"OS/2-16 PM-16"}, {0x30003, u"OS/2-16 PM-32"},
      {0x40004, u"NT-Win32"},      {0, u"Unknown"},
      {0x4, u"<os>"},              {0x40000, u"<os>"},
      {0x10000, u"<os>"},          {0x1, u"<os>"},
      {0x50004, u"<os>"},          {0x40005, u"<os>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.os);
    VS_FIXEDFILEINFO info = sim::FixedFileInfo(3, 3, 1000, 0);
    info.dwFileOS = c.os;
    const Outcome out = Decode(info);
    EXPECT_EQ(out.state.sFileOS, c.text);
    EXPECT_EQ(out.state.sFileVer, u"3.3.1000.0");  // the rest is still decoded
  }
}

// ---- type and subtype ------------------------------------------------------

TEST(VersionDecoder, FileTypesOtherThanDriverAndFontLeaveTheSubtypeAlone) {
  const struct {
    std::uint32_t type;
    const char16_t* text;
  } cases[] = {
      {1, u"App"},     {2, u"DLL"},     {5, u"VxD"},      {7, u"Lib"},
      {0, u"Unknown"}, {6, u"Unknown"}, {8, u"Unknown"},  {0xFFFFFFFF, u"Unknown"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    VS_FIXEDFILEINFO info = sim::FixedFileInfo(3, 3, 1000, 0);
    info.dwFileType = c.type;
    info.dwFileSubtype = 1;  // a valid driver and font subtype: still ignored
    const Outcome out = Decode(info);
    EXPECT_EQ(out.state.sFileType, c.text);
    EXPECT_EQ(out.state.sFileSubType, u"<subtype>");
  }
}

TEST(VersionDecoder, DriverSubtypesUpToTenAreNamedAndLargerOnesLeftAlone) {
  const struct {
    std::uint32_t subtype;
    const char16_t* text;
  } cases[] = {
      {0, u"Unknown"},      {1, u"Printer drv"},  {2, u"Keyboard drv"},
      {3, u"Language drv"}, {4, u"Display drv"},  {5, u"Mouse drv"},
      {6, u"Network drv"},  {7, u"System drv"},   {8, u"Installable"},
      {9, u"Sound drv"},    {10, u"Comm drv"},    {11, u"<subtype>"},
      {0x80000000, u"<subtype>"},  // large, not negative
      {0xFFFFFFFF, u"<subtype>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.subtype);
    VS_FIXEDFILEINFO info = sim::FixedFileInfo(3, 3, 1000, 0);
    info.dwFileType = 3;
    info.dwFileSubtype = c.subtype;
    const Outcome out = Decode(info);
    EXPECT_EQ(out.state.sFileType, u"Driver");
    EXPECT_EQ(out.state.sFileSubType, c.text);
  }
}

TEST(VersionDecoder, FontSubtypesOneToThreeAreNamedAndOthersLeftAlone) {
  const struct {
    std::uint32_t subtype;
    const char16_t* text;
  } cases[] = {
      {0, u"<subtype>"},   {1, u"Raster Font"}, {2, u"Vector Font"},
      {3, u"TrueType Font"}, {4, u"<subtype>"}, {0xFFFFFFFF, u"<subtype>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.subtype);
    VS_FIXEDFILEINFO info = sim::FixedFileInfo(3, 3, 1000, 0);
    info.dwFileType = 4;
    info.dwFileSubtype = c.subtype;
    const Outcome out = Decode(info);
    EXPECT_EQ(out.state.sFileType, u"Font");
    EXPECT_EQ(out.state.sFileSubType, c.text);
  }
}

// ---- the calls made --------------------------------------------------------

TEST(VersionDecoder, SuccessfulDecodeMakesTheFourCallsInOrderAndShowsNothing) {
  const Outcome out = Decode(sim::FixedFileInfo(3, 3, 1000, 0));
  ASSERT_EQ(CallNames(out.seen),
            (std::vector<std::string>{"GetFileVersionInfoSizeA", "GetFileVersionInfoA",
                                      "VerQueryValueA", "RtlMoveMemory"}));
  const auto& size = out.seen.trace[0];
  const auto& read = out.seen.trace[1];
  const auto& query = out.seen.trace[2];
  const auto& copy = out.seen.trace[3];
  EXPECT_EQ(size.args[0], sim::Quote(kFile));
  EXPECT_EQ(read.args[0], sim::Quote(kFile));
  EXPECT_EQ(read.args[1], "0");
  EXPECT_EQ(read.args[2], size.result);  // the whole reported size
  EXPECT_EQ(query.args[1], sim::Quote(u"\\"));  // the root block
  EXPECT_EQ(copy.args[2], "52");
  EXPECT_TRUE(out.seen.boxes.empty());
}

TEST(VersionDecoder, NameComesBackThroughTheAnsiCodePage) {
  sim::Machine m;
  m.AddVersionedFile(u"C:\\Caff\u00E8\\trk.exe",
                     sim::MakeVersionResource(sim::FixedFileInfo(3, 3, 1000, 0)));
  // Representable in Windows-1252: found, and the name keeps its letter.
  Outcome out = RunDecoder(m, u"C:\\Caff\u00E8\\trk.exe");
  EXPECT_EQ(out.state.sFullName, u"C:\\Caff\u00E8\\trk.exe");
  EXPECT_EQ(out.state.sFileVer, u"3.3.1000.0");

  // Not representable: the name holds '?' afterwards.
  out = RunDecoder(m, u"C:\\Caff\u03A9\\trk.exe");
  EXPECT_EQ(out.state.sFullName, u"C:\\Caff?\\trk.exe");
}

// ---- no usable version information -----------------------------------------

void ExpectNoticeAndNothingChanged(const Outcome& out) {
  ASSERT_EQ(out.seen.boxes.size(), 1u);
  EXPECT_EQ(out.seen.boxes[0],
            (sim::BoxShown{sim::kDefaultTitle, kNotice, 0, platform::kIdOk}));
  hotfix::Form1State expected = MarkedState();
  expected.sFullName = kFile;
  EXPECT_EQ(out.state, expected);
  EXPECT_TRUE(CallsNamed(out.seen, "RtlMoveMemory").empty());
}

TEST(VersionDecoder, MissingFileGetsTheNoticeOnceAndNoFurtherCalls) {
  sim::Machine m;
  const Outcome out = RunDecoder(m);
  ExpectNoticeAndNothingChanged(out);
  EXPECT_EQ(CallNames(out.seen),
            (std::vector<std::string>{"GetFileVersionInfoSizeA", "MsgBox"}));
}

TEST(VersionDecoder, FileWithoutVersionResourceGetsTheNoticeOnceAndNoFurtherCalls) {
  sim::Machine m;
  m.AddProgram(kFile);
  const Outcome out = RunDecoder(m);
  ExpectNoticeAndNothingChanged(out);
  EXPECT_EQ(CallNames(out.seen),
            (std::vector<std::string>{"GetFileVersionInfoSizeA", "MsgBox"}));
}

TEST(VersionDecoder, RootBlockShorterThanTheRecordGetsTheNoticeAndNoCopy) {
  const Outcome out = Decode(sim::FixedFileInfo(3, 3, 1000, 0), 40);
  ExpectNoticeAndNothingChanged(out);
  EXPECT_EQ(CallNames(out.seen),
            (std::vector<std::string>{"GetFileVersionInfoSizeA", "GetFileVersionInfoA",
                                      "VerQueryValueA", "MsgBox"}));
}

TEST(VersionDecoder, AnyShortRootBlockGetsTheNotice) {
  for (int length : {0, 4, 12, 20, 32, 48, 51}) {
    SCOPED_TRACE(length);
    ExpectNoticeAndNothingChanged(
        Decode(sim::FixedFileInfo(3, 3, 1000, 0), static_cast<std::uint16_t>(length)));
  }
}

TEST(VersionDecoder, ResourceCutShortOfItsOwnLengthGetsTheNotice) {
  // The header promises the whole record, the file ends inside it.
  std::vector<std::uint8_t> resource =
      sim::MakeVersionResource(sim::FixedFileInfo(3, 3, 1000, 0));
  resource.resize(resource.size() - 20);
  sim::Machine m;
  m.AddVersionedFile(kFile, resource);
  ExpectNoticeAndNothingChanged(RunDecoder(m));
}

TEST(VersionDecoder, FailingWindowsCallsGetTheNoticeNotAHalfDecode) {
  // 1: the size query; 2: the read, which leaves the buffer zero; 3: the lookup.
  for (int failing : {1, 2, 3}) {
    SCOPED_TRACE(failing);
    sim::Machine m;
    m.AddVersionedFile(kFile, sim::MakeVersionResource(sim::FixedFileInfo(3, 3, 1000, 0)));
    m.fail_call = failing;
    ExpectNoticeAndNothingChanged(RunDecoder(m));
  }
}

}  // namespace
