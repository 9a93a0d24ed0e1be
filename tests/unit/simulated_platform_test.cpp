// The simulated platform itself, on the paths the logic relies on: registry
// statuses and sizes, the ANSI code page, version blocks, chosen failures and
// scripted message-box answers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "machines.h"
#include "platform/command_line.h"
#include "platform/failure.h"
#include "platform/simulated/simulated_platform.h"
#include "system/restart.h"

namespace {

using namespace testing_machines;
using platform::AnsiString;
using platform::Long;
using platform::Text;

constexpr Long kHklm = platform::kHkeyLocalMachine;
constexpr Long kAllAccess = 0x3F;
constexpr Long kKeyRead = 0x20019;
const Text kKey = u"SOFTWARE\\Orvane\\Firewall";

// ---- registry: opening keys ------------------------------------------------

TEST(SimulatedRegistry, OpenStatusesForMissingKeysReadOnlyKeysAndBadParents) {
  sim::Machine m;
  m.registry.CreateKey(kHklm, kKey).may_write = false;
  sim::SimulatedPlatform p(m);

  Long key = 0x7777;
  EXPECT_EQ(p.RegOpenKeyExA(kHklm, "SOFTWARE\\Orvane\\Missing", 0, kAllAccess, key), 2);
  EXPECT_EQ(p.RegOpenKeyA(kHklm, "SOFTWARE\\Orvane\\Missing", key), 2);
  EXPECT_EQ(p.RegOpenKeyExA(kHklm, "SOFTWARE\\Orvane\\Firewall", 0, kAllAccess, key), 5);
  EXPECT_EQ(key, 0x7777);  // untouched by every failed open
  EXPECT_EQ(p.RegOpenKeyExA(0, "SOFTWARE", 0, kKeyRead, key), 6);
  EXPECT_EQ(p.RegOpenKeyExA(0x1234, "SOFTWARE", 0, kKeyRead, key), 6);
  EXPECT_EQ(key, 0x7777);

  // The same key opens for reading, and through the old form.
  EXPECT_EQ(p.RegOpenKeyExA(kHklm, "SOFTWARE\\Orvane\\Firewall", 0, kKeyRead, key), 0);
  Long old_form = 0;
  EXPECT_EQ(p.RegOpenKeyA(kHklm, "SOFTWARE\\Orvane\\Firewall", old_form), 0);
  EXPECT_NE(old_form, 0);
}

TEST(SimulatedRegistry, WritableKeyOpensWithAllAccess) {
  sim::Machine m;
  m.registry.CreateKey(kHklm, kKey);
  sim::SimulatedPlatform p(m);
  Long key = 0;
  EXPECT_EQ(p.RegOpenKeyExA(kHklm, "SOFTWARE\\Orvane\\Firewall", 0, kAllAccess, key), 0);
  EXPECT_NE(key, 0);
}

TEST(SimulatedRegistry, OpenedKeyCanBeAParentAndAClosedOneCannot) {
  sim::Machine m;
  m.registry.CreateKey(kHklm, kKey);
  sim::SimulatedPlatform p(m);
  Long parent = 0;
  ASSERT_EQ(p.RegOpenKeyExA(kHklm, "SOFTWARE\\Orvane", 0, kKeyRead, parent), 0);
  Long child = 0;
  EXPECT_EQ(p.RegOpenKeyExA(parent, "Firewall", 0, kKeyRead, child), 0);
  ASSERT_EQ(p.RegCloseKey(parent), 0);
  EXPECT_EQ(p.RegOpenKeyExA(parent, "Firewall", 0, kKeyRead, child), 6);
}

TEST(SimulatedRegistry, KeyAndValueNamesIgnoreCase) {
  sim::Machine m;
  m.registry.SetString(kHklm, u"SOFTWARE\\Caff\u00E8\\App", u"InstallPath", u"C:\\x");
  sim::SimulatedPlatform p(m);
  Long key = 0;
  ASSERT_EQ(p.RegOpenKeyExA(kHklm, p.ToAnsi(u"software\\CAFF\u00C8\\aPP"), 0, kKeyRead, key), 0);
  Long type = 0;
  Long size = 0;
  EXPECT_EQ(p.RegQueryValueExA(key, "INSTALLPATH", 0, type, nullptr, size), 0);
  EXPECT_EQ(type, platform::kRegSz);
  EXPECT_EQ(size, 5);
}

// ---- registry: reading values ----------------------------------------------

class SimulatedRegistryValues : public ::testing::Test {
 protected:
  SimulatedRegistryValues() {
    m_.registry.CreateKey(kHklm, kKey);
  }
  Long Open() {
    Long key = 0;
    EXPECT_EQ(p_.RegOpenKeyExA(kHklm, p_.ToAnsi(kKey), 0, kKeyRead, key), 0);
    return key;
  }
  sim::Machine m_;
  sim::SimulatedPlatform p_{m_};
};

TEST_F(SimulatedRegistryValues, SizeQueryGivesTypeAndAnsiByteCount) {
  const struct {
    const char16_t* text;
    Long type;
    bool with_nul;
    Long bytes;
  } cases[] = {
      {u"abc", platform::kRegSz, true, 4},
      {u"abc", platform::kRegSz, false, 3},
      {u"ab\u00E8", platform::kRegSz, true, 4},  // one byte in Windows-1252
      {u"\u20AC", platform::kRegSz, true, 2},
      {u"", platform::kRegSz, true, 1},
      {u"%SystemRoot%", platform::kRegExpandSz, true, 13},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.text) + (c.with_nul ? " with NUL" : " without NUL"));
    m_.registry.SetString(kHklm, kKey, u"Value", c.text, c.type, c.with_nul);
    const Long key = Open();
    Long type = 0;
    Long size = 0;
    EXPECT_EQ(p_.RegQueryValueExA(key, "Value", 0, type, nullptr, size), 0);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(size, c.bytes);
  }
}

TEST_F(SimulatedRegistryValues, StringIsReadAsAnsiBytes) {
  m_.registry.SetString(kHklm, kKey, u"Value", u"C:\\Caff\u00E8");
  const Long key = Open();
  std::vector<std::uint8_t> buffer(16, 0xAA);
  Long type = 0;
  Long size = static_cast<Long>(buffer.size());
  ASSERT_EQ(p_.RegQueryValueExA(key, "Value", 0, type, buffer.data(), size), 0);
  EXPECT_EQ(size, 9);
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 9), std::string("C:\\Caff\xE8", 9));
  EXPECT_EQ(buffer[9], 0xAA);  // nothing beyond what was stored
}

TEST_F(SimulatedRegistryValues, MissingValueAndBadHandlesHaveTheirStatuses) {
  m_.registry.SetString(kHklm, kKey, u"Value", u"abc");
  const Long key = Open();
  Long type = 0;
  Long size = 0;
  EXPECT_EQ(p_.RegQueryValueExA(key, "Other", 0, type, nullptr, size), 2);
  EXPECT_EQ(p_.RegQueryValueExA(0, "Value", 0, type, nullptr, size), 6);
  ASSERT_EQ(p_.RegCloseKey(key), 0);
  EXPECT_EQ(p_.RegQueryValueExA(key, "Value", 0, type, nullptr, size), 6);
}

TEST_F(SimulatedRegistryValues, TooSmallBufferGives234WithTheNeededSizeAndIsNotWritten) {
  const struct {
    const char* label;
    sim::RegistryValue value;
    Long room;
    Long needed;
  } cases[] = {
      {"REG_SZ abc into 2", {platform::kRegSz, {'a', 0, 'b', 0, 'c', 0, 0, 0}}, 2, 4},
      {"REG_SZ abc into 3", {platform::kRegSz, {'a', 0, 'b', 0, 'c', 0, 0, 0}}, 3, 4},
      {"REG_DWORD of 8 bytes into 4", {platform::kRegDword, {1, 2, 3, 4, 5, 6, 7, 8}}, 4, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    m_.registry.SetValue(kHklm, kKey, u"Value", c.value);
    const Long key = Open();
    std::vector<std::uint8_t> buffer(8, 0xAA);
    Long type = 0;
    Long size = c.room;
    EXPECT_EQ(p_.RegQueryValueExA(key, "Value", 0, type, buffer.data(), size), 234);
    EXPECT_EQ(size, c.needed);
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(8, 0xAA));
  }
}

TEST_F(SimulatedRegistryValues, DwordIsReadIntoFourBytes) {
  m_.registry.SetDword(kHklm, kKey, u"Value", 0x0409);
  const Long key = Open();
  std::int32_t number = -1;
  Long type = 0;
  Long size = 4;
  ASSERT_EQ(p_.RegQueryValueExA(key, "Value", 0, type, reinterpret_cast<std::uint8_t*>(&number),
                                size),
            0);
  EXPECT_EQ(type, platform::kRegDword);
  EXPECT_EQ(size, 4);
  EXPECT_EQ(number, 0x0409);
}

TEST_F(SimulatedRegistryValues, StringStoredWithoutNulGetsOneWhenThereIsRoom) {
  m_.registry.SetString(kHklm, kKey, u"Value", u"abc", platform::kRegSz, false);
  const Long key = Open();
  {
    std::vector<std::uint8_t> buffer(8, 0xAA);
    Long type = 0;
    Long size = 8;
    ASSERT_EQ(p_.RegQueryValueExA(key, "Value", 0, type, buffer.data(), size), 0);
    EXPECT_EQ(size, 3);
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{'a', 'b', 'c', 0, 0xAA, 0xAA, 0xAA, 0xAA}));
  }
  {
    std::vector<std::uint8_t> buffer(4, 0xAA);
    Long type = 0;
    Long size = 3;  // exactly the stored size: no room for the NUL
    ASSERT_EQ(p_.RegQueryValueExA(key, "Value", 0, type, buffer.data(), size), 0);
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{'a', 'b', 'c', 0xAA}));
  }
}

TEST_F(SimulatedRegistryValues, CloseStatusesAndHandlesNeverReusedWhileOpen) {
  EXPECT_EQ(p_.RegCloseKey(0), 6);
  const Long first = Open();
  const Long second = Open();
  EXPECT_NE(first, second);
  ASSERT_EQ(p_.RegCloseKey(first), 0);
  EXPECT_EQ(p_.RegCloseKey(first), 6);  // already closed
  const Long third = Open();
  EXPECT_NE(third, second);
  Long token = 0;
  ASSERT_NE(p_.OpenProcessToken(p_.GetCurrentProcess(), 0x28, token), 0);
  EXPECT_NE(token, second);
  EXPECT_NE(token, third);
  // The one still open was not disturbed by the others.
  m_.registry.SetString(kHklm, kKey, u"Value", u"abc");
  Long type = 0;
  Long size = 0;
  EXPECT_EQ(p_.RegQueryValueExA(second, "Value", 0, type, nullptr, size), 0);
}

// ---- ANSI code page --------------------------------------------------------

TEST(SimulatedAnsi, TextGoesThroughWindows1252) {
  const struct {
    const char16_t* text;
    AnsiString ansi;
    const char16_t* back;
  } cases[] = {
      {u"abc", "abc", u"abc"},
      {u"\u00E8", "\xE8", u"\u00E8"},
      {u"\u20AC", "\x80", u"\u20AC"},
      {u"\u0178", "\x9F", u"\u0178"},
      {u"\u03A9", "?", u"?"},  // not in the code page
      {u"a\u4E2Db", "a?b", u"a?b"},
      {u"\u0080", "?", u"?"},
      {u"\u0081", "\x81", u"\u0081"},  // unassigned byte: kept as its C1 control
  };
  sim::Machine m;
  sim::SimulatedPlatform p(m);
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.text));
    EXPECT_EQ(p.ToAnsi(c.text), c.ansi);
    EXPECT_EQ(p.FromAnsi(c.ansi), c.back);
  }
}

TEST(SimulatedAnsi, EmbeddedNulIsKeptBothWays) {
  sim::Machine m;
  sim::SimulatedPlatform p(m);
  const Text text(u"a\0b", 3);
  const AnsiString ansi("a\0b", 3);
  EXPECT_EQ(p.ToAnsi(text), ansi);
  EXPECT_EQ(p.FromAnsi(ansi), text);
}

TEST(SimulatedAnsi, AnsiArgLeavesTheVariableHoldingTheConvertedText) {
  sim::Machine m;
  sim::SimulatedPlatform p(m);
  Text variable = u"\u00E8\u03A9";
  {
    platform::AnsiArg arg(p, variable);
    EXPECT_EQ(arg.bytes(), "\xE8?");
  }
  EXPECT_EQ(variable, u"\u00E8?");
}

// ---- version information ---------------------------------------------------

const Text kFile = u"C:\\trk.exe";

// The block VerQueryValueA reports for the root of what GetFileVersionInfoA
// copied with `len` bytes of room (the reported size when len is 0).
struct RootQuery {
  Long ok = 0;
  const std::uint8_t* pointer = nullptr;
  Long length = -1;
  std::vector<std::uint8_t> buffer;
};

RootQuery QueryRoot(const std::vector<std::uint8_t>& resource, Long len = 0) {
  sim::Machine m;
  m.AddVersionedFile(kFile, resource);
  sim::SimulatedPlatform p(m);
  const AnsiString name = p.ToAnsi(kFile);
  Long handle = 0;
  if (len == 0) len = p.GetFileVersionInfoSizeA(name, handle);
  RootQuery q;
  q.buffer.assign(static_cast<std::size_t>(len), 0);
  p.GetFileVersionInfoA(name, 0, len, q.buffer.data());
  q.ok = p.VerQueryValueA(q.buffer.data(), "\\", q.pointer, q.length);
  return q;
}

// True when the reported block lies inside the first `copied` bytes.
bool InsideCopied(const RootQuery& q, std::size_t copied) {
  const auto offset = static_cast<std::size_t>(q.pointer - q.buffer.data());
  return q.pointer >= q.buffer.data() && offset + static_cast<std::size_t>(q.length) <= copied;
}

TEST(SimulatedVersionInfo, RootBlockIsTheFixedRecordInsideTheCopy) {
  const platform::VS_FIXEDFILEINFO info = sim::FixedFileInfo(3, 3, 1000, 0);
  const auto resource = sim::MakeVersionResource(info);
  const RootQuery q = QueryRoot(resource);
  ASSERT_NE(q.ok, 0);
  EXPECT_EQ(q.length, 52);
  ASSERT_TRUE(InsideCopied(q, resource.size()));
  EXPECT_EQ(std::memcmp(q.pointer, &info, sizeof info), 0);
}

TEST(SimulatedVersionInfo, SizeLeavesRoomForTheWholeResource) {
  for (int value_length : {52, 40, 28, 16, 12, 8, 0}) {
    SCOPED_TRACE(value_length);
    const auto resource = sim::MakeVersionResource(sim::FixedFileInfo(3, 3, 1000, 0),
                                                   static_cast<std::uint16_t>(value_length));
    sim::Machine m;
    m.AddVersionedFile(kFile, resource);
    sim::SimulatedPlatform p(m);
    Long handle = -1;
    const Long size = p.GetFileVersionInfoSizeA(p.ToAnsi(kFile), handle);
    EXPECT_EQ(handle, 0);
    EXPECT_GE(size, static_cast<Long>(resource.size()));
  }
}

TEST(SimulatedVersionInfo, NoBlockIsReportedBeyondWhatWasCopied) {
  const auto full = sim::MakeVersionResource(sim::FixedFileInfo(3, 3, 1000, 0));
  {
    SCOPED_TRACE("file ends before the length its header claims");
    std::vector<std::uint8_t> cut = full;
    cut.resize(full.size() - 20);
    const RootQuery q = QueryRoot(cut);
    EXPECT_EQ(q.ok, 0);
    EXPECT_EQ(q.pointer, nullptr);  // out-parameters untouched
    EXPECT_EQ(q.length, -1);
  }
  {
    SCOPED_TRACE("header claims more than the file, record still inside");
    std::vector<std::uint8_t> claims_more = full;
    claims_more[0] = 0xFF;
    claims_more[1] = 0x7F;
    const RootQuery q = QueryRoot(claims_more);
    ASSERT_NE(q.ok, 0);
    EXPECT_TRUE(InsideCopied(q, full.size()));
  }
  {
    SCOPED_TRACE("room for less than the resource");
    EXPECT_EQ(QueryRoot(full, 60).ok, 0);
  }
  {
    SCOPED_TRACE("value length beyond the block");
    std::vector<std::uint8_t> long_value = full;
    long_value[2] = 0xF0;  // wValueLength 240
    const RootQuery q = QueryRoot(long_value);
    EXPECT_EQ(q.ok, 0);
  }
}

TEST(SimulatedVersionInfo, BufferNeverFilledHasNoRootBlock) {
  sim::Machine m;
  sim::SimulatedPlatform p(m);
  std::vector<std::uint8_t> buffer(256, 0);
  const auto resource = sim::MakeVersionResource(sim::FixedFileInfo(1, 0, 0, 0));
  std::copy(resource.begin(), resource.end(), buffer.begin());  // looks right, not copied by Windows
  const std::uint8_t* pointer = nullptr;
  Long length = -1;
  EXPECT_EQ(p.VerQueryValueA(buffer.data(), "\\", pointer, length), 0);
  EXPECT_EQ(pointer, nullptr);
}

// ---- chosen failures ---------------------------------------------------------

TEST(SimulatedFailures, ChosenRegistryOpenFailsAndOnlyThatOne) {
  sim::Machine m;
  m.registry.CreateKey(kHklm, kKey);
  m.fail_call = 2;
  sim::SimulatedPlatform p(m);
  const AnsiString key_name = p.ToAnsi(kKey);
  Long key = 0;
  EXPECT_EQ(p.RegOpenKeyExA(kHklm, key_name, 0, kKeyRead, key), 0);
  key = 0x7777;
  EXPECT_NE(p.RegOpenKeyExA(kHklm, key_name, 0, kKeyRead, key), 0);
  EXPECT_EQ(key, 0x7777);
  EXPECT_EQ(p.RegOpenKeyExA(kHklm, key_name, 0, kKeyRead, key), 0);
}

TEST(SimulatedFailures, ChosenProcessOpenFailsForARunningProgram) {
  sim::Machine m;
  m.AddProgram(u"C:\\Hotfix\\40517.exe", {.lifetime = 5});
  m.fail_call = 2;  // the program start is call 1
  sim::SimulatedPlatform p(m);
  const auto pid = static_cast<Long>(p.Shell(u"C:\\Hotfix\\40517.exe", 0, platform::ProgramName::kWholeLine));
  EXPECT_EQ(p.OpenProcess(platform::kSynchronize, 0, pid), 0);
  EXPECT_NE(p.OpenProcess(platform::kSynchronize, 0, pid), 0);
}

TEST(SimulatedFailures, ChosenProgramStartRaisesFileNotFound) {
  sim::Machine m;
  m.AddProgram(u"C:\\Hotfix\\40517.exe");
  m.fail_call = 1;
  sim::SimulatedPlatform p(m);
  try {
    p.Shell(u"C:\\Hotfix\\40517.exe", 0, platform::ProgramName::kWholeLine);
    ADD_FAILURE() << "expected a failure";
  } catch (const platform::RuntimeFailure& f) {
    EXPECT_EQ(f.number(), 53);
  }
  EXPECT_TRUE(p.observations().started.empty());
  EXPECT_NO_THROW(p.Shell(u"C:\\Hotfix\\40517.exe", 0, platform::ProgramName::kWholeLine));
  EXPECT_EQ(p.observations().started.size(), 1u);
}

TEST(SimulatedFailures, CallsThatCannotFailStillCountTowardsTheChosenOne) {
  // Restart on XP: three name queries, GetCurrentProcess, then call 5 opens
  // the token.
  sim::Machine m;
  m.fail_call = 5;
  sim::SimulatedPlatform p(m);
  sys::restart_Windows(p);
  const auto opens = CallsNamed(p.observations(), "OpenProcessToken");
  const auto lookups = CallsNamed(p.observations(), "LookupPrivilegeValueA");
  ASSERT_EQ(opens.size(), 1u);
  ASSERT_EQ(lookups.size(), 1u);
  EXPECT_EQ(opens[0].result, "0");
  EXPECT_NE(lookups[0].result, "0");
}

// ---- message boxes -----------------------------------------------------------

TEST(SimulatedMsgBox, OkOnlyBoxesNeedNoScriptAndLeaveItAlone) {
  for (Long style : {0, 16, 48, 64}) {
    SCOPED_TRACE(style);
    sim::Machine m;
    m.answers = {sim::AnswerYes()};
    sim::SimulatedPlatform p(m);
    EXPECT_EQ(p.MsgBox(u"note", style, std::nullopt), platform::kIdOk);
    EXPECT_EQ(p.unused_answers(), 1u);
    ASSERT_EQ(p.observations().boxes.size(), 1u);
    EXPECT_EQ(p.observations().boxes[0],
              (sim::BoxShown{u"Hotfix", u"note", style, platform::kIdOk}));
  }
}

TEST(SimulatedMsgBox, EnterPicksTheDefaultButtonOfTheStyle) {
  const struct {
    Long style;
    Long answer;
  } cases[] = {
      {4, platform::kIdYes},           // Yes/No, first default
      {4 | 0x100, platform::kIdNo},    // second default
      {292, platform::kIdNo},          // the restart question
      {3 | 0x200, platform::kIdCancel},
      {2 | 0x100, platform::kIdRetry},
      {1, platform::kIdOk},
      {5 | 0x100, platform::kIdCancel},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.style);
    sim::Machine m;
    m.answers = {sim::AnswerEnter()};
    sim::SimulatedPlatform p(m);
    EXPECT_EQ(p.MsgBox(u"?", c.style, Text(u"Reboot")), c.answer);
    EXPECT_EQ(p.unused_answers(), 0u);
    EXPECT_EQ(p.observations().boxes.at(0).answer, c.answer);
    EXPECT_EQ(p.observations().boxes.at(0).title, u"Reboot");
  }
}

TEST(SimulatedMsgBox, ScriptedButtonIsReturnedWhenTheBoxHasIt) {
  sim::Machine m;
  m.answers = {sim::AnswerNo(), sim::AnswerYes()};
  sim::SimulatedPlatform p(m);
  EXPECT_EQ(p.MsgBox(u"?", 292, std::nullopt), platform::kIdNo);
  EXPECT_EQ(p.MsgBox(u"?", 292, std::nullopt), platform::kIdYes);
  EXPECT_EQ(p.unused_answers(), 0u);
}

TEST(SimulatedMsgBox, AnswerThatIsNotAButtonOrMissingIsAScriptError) {
  {
    sim::Machine m;
    m.answers = {sim::AnswerYes()};
    sim::SimulatedPlatform p(m);
    EXPECT_THROW(p.MsgBox(u"?", platform::kMbOkCancel, std::nullopt), sim::ScriptError);
    EXPECT_TRUE(p.observations().boxes.empty());
  }
  {
    sim::Machine m;
    m.answers = {sim::Answer{platform::kIdCancel}};
    sim::SimulatedPlatform p(m);
    EXPECT_THROW(p.MsgBox(u"?", 292, std::nullopt), sim::ScriptError);
  }
  {
    sim::Machine m;
    sim::SimulatedPlatform p(m);
    EXPECT_THROW(p.MsgBox(u"?", 292, std::nullopt), sim::ScriptError);
  }
}

}  // namespace

// ---- file names, as the log's checks and the program start read them -------

namespace paths {

TEST(SimulatedFiles, FullPathsFoldRelativePartsAndNameDevices) {
  sim::Machine m;
  m.current_directory = u"C:\\WINDOWS\\system32";
  sim::SimulatedPlatform p(m);
  const std::vector<std::pair<Text, Text>> rows = {
      {u"h.log", u"C:\\WINDOWS\\system32\\h.log"},
      {u"..\\Temp\\.\\h.log", u"C:\\WINDOWS\\Temp\\h.log"},
      {u"\\Logs\\h.log", u"C:\\Logs\\h.log"},
      {u"D:h.log", u"D:\\h.log"},
      {u"C:\\a\\..\\..\\h.log", u"C:\\h.log"},
      {u"\\\\srv\\share\\..\\h.log", u"\\\\srv\\share\\h.log"},
      {u"NUL", u"\\\\.\\NUL"},
      {u"C:\\Logs\\com1.txt", u"\\\\.\\com1"},
      {u"C:\\Logs\\console.log", u"C:\\Logs\\console.log"},
      {u"C:\\Logs\\h.log. .", u"C:\\Logs\\h.log"},
      {u"C:\\Logs\\COM1 .log", u"\\\\.\\COM1"},
  };
  for (const auto& [name, full] : rows) {
    Text out = u"untouched";
    EXPECT_EQ(p.GetFullPathNameW(name, out), 1) << platform::ToUtf8(name);
    EXPECT_EQ(out, full) << platform::ToUtf8(name);
  }
}

TEST(SimulatedFiles, AHandleTellsFilesLinksAndDevicesApart) {
  sim::Machine m;
  m.path_kinds[u"C:\\link.log"] = sim::PathKind::kHardLink;
  m.path_kinds[u"C:\\junction.log"] = sim::PathKind::kReparsePoint;
  m.path_kinds[u"C:\\Logs"] = sim::PathKind::kFolder;
  sim::SimulatedPlatform p(m);
  struct Row {
    Text path;
    Long type;  // 0: the open fails
    std::uint32_t links, attributes;
  };
  const std::vector<Row> rows = {
      {u"C:\\new.log", platform::kFileTypeDisk, 1, 0x20},
      {u"C:\\link.log", platform::kFileTypeDisk, 2, 0x20},
      {u"C:\\junction.log", platform::kFileTypeDisk, 1, 0x420},
      {u"C:\\Logs", 0, 0, 0},
      {u"LPT1", platform::kFileTypeChar, 0, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(platform::ToUtf8(row.path));
    Long size = -1, error = 0;
    const Long file = p.OpenFileForAppend(row.path, size, error);
    if (row.type == 0) {
      EXPECT_EQ(file, 0);
      EXPECT_EQ(error, platform::kErrorAccessDenied);
      EXPECT_EQ(p.GetFileAttributesW(row.path), static_cast<Long>(platform::kFileAttributeDirectory));
      continue;
    }
    ASSERT_NE(file, 0);
    EXPECT_EQ(p.GetFileType(file), row.type);
    platform::FileInformation info{7, 7};
    EXPECT_EQ(p.GetFileInformationByHandle(file, info), row.links != 0 ? 1 : 0);
    EXPECT_EQ(info.nNumberOfLinks, row.links != 0 ? row.links : 7u);
    if (row.links != 0) {
      EXPECT_EQ(info.dwFileAttributes, row.attributes);
    }
    EXPECT_NE(p.CloseHandle(file), 0);
  }
}

TEST(SimulatedMutex, TheOtherCopyDecidesWhatCreatingTheMutexGives) {
  struct Row {
    sim::OtherCopy other;
    Long error_setting;
    bool handle;
    Long error;
  };
  const std::vector<Row> rows = {
      {sim::OtherCopy::kNone, 0, true, 0},
      {sim::OtherCopy::kRunning, 0, true, platform::kErrorAlreadyExists},
      {sim::OtherCopy::kOtherAccount, 0, false, platform::kErrorAccessDenied},
      {sim::OtherCopy::kNone, 161, false, 161},
  };
  for (const auto& row : rows) {
    sim::Machine m;
    m.other_copy = row.other;
    m.mutex_error = row.error_setting;
    sim::SimulatedPlatform p(m);
    Long error = -1;
    EXPECT_EQ(p.CreateMutexW(u"Global\\x", error) != 0, row.handle);
    EXPECT_EQ(error, row.error);
  }
}

// The installers' lines name their program whole; only a line with
// arguments is split, and never with ".exe" added to a shorter part.
TEST(ProgramName, APlantedShorterPathNeverStandsInForTheNamedProgram) {
  const std::vector<Text> files = {u"C:\\hf", u"C:\\hf.exe", u"C:\\hf test\\trk.exe"};
  const auto is_file = [&](const Text& path) {
    return std::find(files.begin(), files.end(), path) != files.end();
  };
  using platform::ProgramName;
  struct Row {
    Text line;
    ProgramName program;
    std::optional<Text> application;
  };
  const std::vector<Row> rows = {
      {u"C:\\hf test\\app\\40517.exe", ProgramName::kWholeLine, std::nullopt},
      {u"C:\\hf test\\trk.exe", ProgramName::kWholeLine, u"C:\\hf test\\trk.exe"},
      {u"C:\\hf test\\trk.exe /Uninstall", ProgramName::kLeadingPart, u"C:\\hf test\\trk.exe"},
      {u"C:\\hf test\\app\\TRK.EXE /Uninstall", ProgramName::kLeadingPart, u"C:\\hf"},
      {u"C:\\hf.exe2 /Uninstall", ProgramName::kLeadingPart, std::nullopt},
      {u"\"C:\\hf test\\trk.exe\" /x", ProgramName::kWholeLine, u"C:\\hf test\\trk.exe"},
  };
  for (const auto& row : rows) {
    const auto split = platform::ResolveProgram(row.line, row.program, is_file);
    EXPECT_EQ(split ? std::optional<Text>(split->application) : std::nullopt, row.application)
        << platform::ToUtf8(row.line);
  }
}

}  // namespace paths
