// The three registry readers over the same stored values: each has its own
// answer, and callers rely on each.
#include <gtest/gtest.h>

#include "machines.h"
#include "platform/failure.h"
#include "platform/simulated/simulated_platform.h"
#include "registry/readers.h"

namespace {

using namespace testing_machines;
using platform::Long;
using platform::Text;
using registry::Variant;

const Long kHklm = platform::kHkeyLocalMachine;
const Text kKey = u"Software\\Test\\Readers";
const Text kValue = u"Probe";
const Text kSentinel = registry::kSentinel;

sim::RegistryValue Raw(Long type, std::vector<std::uint8_t> data) { return {type, std::move(data)}; }

// A REG_SZ as Windows stores it (UTF-16LE), with or without its NUL.
sim::RegistryValue Sz(const Text& text, bool with_nul = true, Long type = platform::kRegSz) {
  sim::Registry r;
  r.SetString(kHklm, kKey, kValue, text, type, with_nul);
  return r.FindKey(kHklm, kKey)->values.at(kValue);
}

struct Expected {
  platform::Boolean query_value;
  Long status;          // from QueryValueEx
  Variant value;        // vValue after QueryValueEx, which starts Empty
  Text reg_value;       // from get_reg_value
};

struct Row {
  const char* stored;
  bool key_exists;
  std::optional<sim::RegistryValue> value;
  Expected expected;
};

std::vector<Row> Rows() {
  using platform::kFalse;
  using platform::kTrue;
  const Variant empty;
  return {
      {"key missing", false, std::nullopt, {kFalse, 6, empty, kSentinel}},
      {"value missing", true, std::nullopt, {kFalse, 2, empty, kSentinel}},
      {"REG_SZ text with NUL", true, Sz(u"C:\\FW\\"), {kTrue, 0, Variant(Text(u"C:\\FW\\\0", 7)), u"C:\\FW\\"}},
      {"REG_SZ empty with NUL", true, Sz(u""), {kTrue, 0, Variant(Text(u"\0", 1)), kSentinel}},
      {"REG_SZ blanks with NUL", true, Sz(u"   "), {kTrue, 0, Variant(Text(u"   \0", 4)), u"   "}},
      {"REG_SZ blanks without NUL", true, Sz(u"   ", false), {kFalse, 0, Variant(Text(u"   ")), u"   "}},
      {"REG_SZ empty without NUL", true, Sz(u"", false), {kFalse, 0, Variant(Text()), kSentinel}},
      {"REG_SZ with a NUL inside", true, Sz(Text(u"ab\0cd", 5)), {kTrue, 0, Variant(Text(u"ab\0cd\0", 6)), u"ab"}},
      {"REG_SZ of the sentinel text", true, Sz(kSentinel), {kTrue, 0, Variant(kSentinel + Text(u"\0", 1)), kSentinel}},
      {"REG_SZ with tab only", true, Sz(u"\t", false), {kTrue, 0, Variant(Text(u"\t")), u"\t"}},
      {"REG_DWORD 0", true, Raw(platform::kRegDword, {0, 0, 0, 0}), {kTrue, 0, Variant(Long{0}), kSentinel}},
      {"REG_DWORD -1", true, Raw(platform::kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}), {kTrue, 0, Variant(Long{-1}), kSentinel}},
      {"REG_DWORD of 8 bytes", true, Raw(platform::kRegDword, {1, 0, 0, 0, 0, 0, 0, 0}), {kFalse, 234, empty, kSentinel}},
      {"REG_DWORD of 2 bytes", true, Raw(platform::kRegDword, {7, 1}), {kTrue, 0, Variant(Long{0x107}), kSentinel}},
      {"REG_EXPAND_SZ", true, Sz(u"%ProgramFiles%\\FW\\", true, platform::kRegExpandSz), {kFalse, -1, empty, kSentinel}},
      {"REG_MULTI_SZ", true, Raw(platform::kRegMultiSz, {'a', 0, 0, 0, 0, 0}), {kFalse, -1, empty, kSentinel}},
      {"REG_BINARY", true, Raw(platform::kRegBinary, {1, 2, 3}), {kFalse, -1, empty, kSentinel}},
  };
}

sim::Machine MachineWith(const Row& row) {
  sim::Machine m;
  if (row.key_exists) m.registry.CreateKey(kHklm, kKey);
  if (row.value) m.registry.SetValue(kHklm, kKey, kValue, *row.value);
  return m;
}

TEST(RegistryReaders, EachReaderAnswersEveryStoredValueItsOwnWay) {
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.stored);
    {
      sim::Machine m = MachineWith(row);
      sim::SimulatedPlatform p(m);
      Long root = kHklm;
      Text key = kKey, name = kValue;
      EXPECT_EQ(registry::QueryValue(p, root, key, name), row.expected.query_value);
      EXPECT_EQ(key, kKey);  // texts come back as they went
      EXPECT_EQ(name, kValue);
    }
    {
      sim::Machine m = MachineWith(row);
      sim::SimulatedPlatform p(m);
      Long handle = 0;
      p.RegOpenKeyA(kHklm, p.ToAnsi(kKey), handle);
      Variant value;
      EXPECT_EQ(registry::QueryValueEx(p, handle, kValue, value), row.expected.status);
      EXPECT_EQ(value, row.expected.value);
    }
    {
      sim::Machine m = MachineWith(row);
      sim::SimulatedPlatform p(m);
      Long root = kHklm;
      Text key = kKey, name = kValue;
      const Variant result = registry::get_reg_value(p, root, key, name);
      ASSERT_TRUE(result.IsText());
      EXPECT_EQ(result.text(), row.expected.reg_value);
      EXPECT_EQ(root, kHklm);
    }
  }
}

TEST(RegistryReaders, QueryValueOpensWithMask3FAndClosesEvenAZeroHandle) {
  sim::Machine m;  // no key at all: the open fails and leaves the handle 0
  sim::SimulatedPlatform p(m);
  Long root = kHklm;
  Text key = kKey, name = kValue;
  EXPECT_EQ(registry::QueryValue(p, root, key, name), platform::kFalse);
  const auto opens = CallsNamed(p.observations(), "RegOpenKeyExA");
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].args[2], "0");
  EXPECT_EQ(opens[0].args[3], "0x3F");
  const auto closes = CallsNamed(p.observations(), "RegCloseKey");
  ASSERT_EQ(closes.size(), 1u);
  EXPECT_EQ(closes[0].args[0], "0x0");
}

TEST(RegistryReaders, ReadableButNotWritableKeyIsAbsentForQueryValueOnly) {
  sim::Machine m;
  m.registry.SetString(kHklm, kKey, kValue, u"C:\\FW\\");
  m.registry.FindKey(kHklm, kKey)->may_write = false;
  sim::SimulatedPlatform p(m);
  Long root = kHklm;
  Text key = kKey, name = kValue;
  EXPECT_EQ(registry::QueryValue(p, root, key, name), platform::kFalse);
  EXPECT_EQ(registry::get_reg_value(p, root, key, name).text(), u"C:\\FW\\");
}

TEST(RegistryReaders, QueryValueExOnAZeroHandleFailsAndLeavesTheValueEmpty) {
  sim::Machine m;
  sim::SimulatedPlatform p(m);
  Variant value;
  EXPECT_NE(registry::QueryValueEx(p, 0, kValue, value), 0);
  EXPECT_TRUE(value.IsEmpty());
}

TEST(RegistryReaders, QueryValueExReadsTheDwordIntoFourBytesOnly) {
  sim::Machine m;
  m.registry.SetValue(kHklm, kKey, kValue, Raw(platform::kRegDword, {1, 2, 3, 4, 5, 6, 7, 8}));
  sim::SimulatedPlatform p(m);
  Long handle = 0;
  p.RegOpenKeyA(kHklm, p.ToAnsi(kKey), handle);
  Variant value;
  registry::QueryValueEx(p, handle, kValue, value);
  const auto reads = CallsNamed(p.observations(), "RegQueryValueExA");
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[1].args[5], "&cb=4");  // never a buffer larger than the number
}

TEST(RegistryReaders, GetRegValueOverflowsWhenTheFirstNulLiesBeyond32767) {
  for (std::size_t before_nul : {32766u, 32767u}) {
    SCOPED_TRACE(before_nul);
    sim::Machine m;
    m.registry.SetString(kHklm, kKey, kValue, Text(before_nul, u'a') + Text(u"\0b", 2));
    sim::SimulatedPlatform p(m);
    Long root = kHklm;
    Text key = kKey, name = kValue;
    if (before_nul == 32766u) {
      EXPECT_EQ(registry::get_reg_value(p, root, key, name).text().size(), 32766u);
    } else {
      try {
        registry::get_reg_value(p, root, key, name);
        FAIL() << "expected the overflow failure";
      } catch (const platform::RuntimeFailure& f) {
        EXPECT_EQ(f.number(), 6);
        EXPECT_EQ(f.description(), u"Overflow");
      }
      // The key is not left open behind the failure.
      EXPECT_EQ(CallsNamed(p.observations(), "RegCloseKey").size(), 1u);
    }
  }
}

TEST(RegistryReaders, LongTextWithoutNulIsReturnedWhole) {
  sim::Machine m;
  m.registry.SetString(kHklm, kKey, kValue, Text(40000, u'x'), platform::kRegSz, false);
  sim::SimulatedPlatform p(m);
  Long root = kHklm;
  Text key = kKey, name = kValue;
  EXPECT_EQ(registry::get_reg_value(p, root, key, name).text(), Text(40000, u'x'));
}

TEST(RegistryReaders, TextsPassThroughTheAnsiCodePage) {
  sim::Machine m;
  m.registry.SetString(kHklm, kKey, kValue, u"C:\\Programmi\\Caff\u00E8\\");
  sim::SimulatedPlatform p(m);
  Long root = kHklm;
  Text key = kKey, name = kValue;
  EXPECT_EQ(registry::get_reg_value(p, root, key, name).text(), u"C:\\Programmi\\Caff\u00E8\\");
  // A character the code page lacks comes back as '?', in the caller's variable too.
  Text odd_key = u"Software\\\u4E2D";
  registry::get_reg_value(p, root, odd_key, name);
  EXPECT_EQ(odd_key, u"Software\\?");
}

}  // namespace
