// Regedit exports loaded into the simulated registry: every kind of value as
// Windows would store it, both file formats and their encodings, deletions,
// continued lines, and errors that point at the offending line.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "platform/simulated/input_error.h"
#include "platform/simulated/machine.h"
#include "platform/simulated/reg_file.h"
#include "platform/text.h"

namespace {

using platform::Long;
using platform::Text;
using Bytes = std::vector<std::uint8_t>;

const Long kHkcr = static_cast<Long>(0x80000000u);
const Long kHkcu = static_cast<Long>(0x80000001u);
const Long kHklm = platform::kHkeyLocalMachine;
const Long kHku = static_cast<Long>(0x80000003u);
const Long kHkcc = static_cast<Long>(0x80000005u);

const std::string kV5 = "Windows Registry Editor Version 5.00\r\n\r\n";
const std::string kV4 = "REGEDIT4\r\n\r\n";
const std::string kKeyLine = "[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n";
const Text kKey = u"Software\\Test";

sim::Registry Load(const std::string& bytes) {
  std::istringstream in(bytes);
  sim::Registry registry;
  sim::LoadRegText(in, "test.reg", registry);
  return registry;
}

// The message of the InputError that loading raises, else the first line
// skipped or read otherwise, or "" if none.
std::string ErrorFrom(const std::string& bytes, bool* fatal = nullptr) {
  std::istringstream in(bytes);
  sim::Registry registry;
  std::vector<sim::RegWarning> warnings;
  if (fatal) *fatal = false;
  try {
    sim::LoadRegText(in, "test.reg", registry, &warnings);
  } catch (const sim::InputError& e) {
    if (fatal) *fatal = true;
    return e.what();
  }
  return warnings.empty() ? "" : sim::Describe(warnings[0]);
}

// UTF-8 source text as a UTF-16LE file, the way regedit saves exports.
std::string Utf16Le(const std::string& utf8, bool bom = true) {
  std::string out = bom ? "\xFF\xFE" : "";
  for (char16_t c : platform::FromUtf8(utf8)) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

// Text as Windows stores a string value: UTF-16LE, here with its NUL.
Bytes Wide(const Text& text) {
  Bytes out;
  for (char16_t c : text) {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

const sim::RegistryValue* Find(const sim::Registry& r, Long root, const Text& key, const Text& name) {
  const sim::RegistryKey* k = r.FindKey(root, key);
  if (k == nullptr) return nullptr;
  const auto it = k->values.find(name);
  return it == k->values.end() ? nullptr : &it->second;
}

struct ValueRow {
  const char* line;  // below [HKEY_LOCAL_MACHINE\Software\Test]
  Text name;
  Long type;
  Bytes data;
};

void ExpectRows(const std::string& header, const std::vector<ValueRow>& rows) {
  for (const ValueRow& row : rows) {
    SCOPED_TRACE(row.line);
    const sim::Registry r = Load(header + kKeyLine + row.line + "\r\n");
    const sim::RegistryValue* v = Find(r, kHklm, kKey, row.name);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->type, row.type);
    EXPECT_EQ(v->data, row.data);
    EXPECT_EQ(r.FindKey(kHklm, kKey)->values.size(), 1u);
  }
}

TEST(RegFile, Version5ValuesAreStoredByteForByte) {
  using namespace platform;
  ExpectRows(kV5, {
      {"\"V\"=\"\"", u"V", kRegSz, {0, 0}},
      {"\"V\"=\"abc\"", u"V", kRegSz, {'a', 0, 'b', 0, 'c', 0, 0, 0}},
      {"\"V\"=\"say \\\"hi\\\" in C:\\\\dir\\\\\"", u"V", kRegSz, Wide(u"say \"hi\" in C:\\dir\\")},
      {"\"V\"=\"caf\xC3\xA8 \xE2\x82\xAC\"", u"V", kRegSz, Wide(u"caf\u00E8 \u20AC")},
      {"\"V\"=\"a;b [c] @=d\"", u"V", kRegSz, Wide(u"a;b [c] @=d")},
      {"\"V\" = \"spaced\"   ", u"V", kRegSz, Wide(u"spaced")},
      {"@=\"default\"", u"", kRegSz, Wide(u"default")},
      {"\"@\"=\"named at\"", u"@", kRegSz, Wide(u"named at")},
      {"\"a\\\"b\\\\c\"=dword:00000001", u"a\"b\\c", kRegDword, {1, 0, 0, 0}},
      {"\"V\"=dword:00000000", u"V", kRegDword, {0, 0, 0, 0}},
      {"\"V\"=dword:0000002a", u"V", kRegDword, {0x2A, 0, 0, 0}},
      {"\"V\"=dword:DEADbeef", u"V", kRegDword, {0xEF, 0xBE, 0xAD, 0xDE}},
      {"\"V\"=dword:ffffffff", u"V", kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}},
      {"\"V\"=dword:7", u"V", kRegDword, {7, 0, 0, 0}},
      {"\"V\"=hex:", u"V", kRegBinary, {}},
      {"\"V\"=hex:01,ab,FF,00", u"V", kRegBinary, {0x01, 0xAB, 0xFF, 0x00}},
      {"\"V\"=hex:1, 2 ,a", u"V", kRegBinary, {1, 2, 10}},
      {"\"V\"=hex(0):", u"V", kRegNone, {}},
      {"\"V\"=hex(0):ff", u"V", kRegNone, {0xFF}},
      {"\"V\"=hex(1):20,00,20,00", u"V", kRegSz, {0x20, 0, 0x20, 0}},
      {"\"V\"=hex(2):25,00,41,00,25,00,00,00", u"V", kRegExpandSz, Wide(u"%A%")},
      {"\"V\"=hex(2):41,00", u"V", kRegExpandSz, {0x41, 0}},
      {"\"V\"=hex(7):61,00,00,00,62,00,00,00,00,00", u"V", kRegMultiSz,
       {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
      {"\"V\"=hex(4):00,00,00,00,00,00,00,00", u"V", kRegDword, Bytes(8, 0)},
      {"\"V\"=hex(4):2a,00,00,00", u"V", kRegDword, {0x2A, 0, 0, 0}},
      {"\"V\"=hex(b):01,02,03,04,05,06,07,08", u"V", kRegQword, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"\"V\"=hex(B):", u"V", kRegQword, {}},
      {"\"V\"=hex(100):05", u"V", 0x100, {5}},
      {"\"V\"=hex(ffffffff):05", u"V", -1, {5}},
      {"\"V\"=hex(00000003):05", u"V", kRegBinary, {5}},
      {"\"V\"=HEX(2):41,00", u"V", kRegExpandSz, {0x41, 0}},
      {"\"V\"=DWORD:00000010", u"V", kRegDword, {0x10, 0, 0, 0}},
  });
}

TEST(RegFile, Regedit4TextIsAnsiAndStoredAsUtf16) {
  using namespace platform;
  ExpectRows(kV4, {
      {"\"V\"=\"\"", u"V", kRegSz, {0, 0}},
      {"\"V\"=\"abc\"", u"V", kRegSz, Wide(u"abc")},
      {"\"V\"=\"Caff\xE8\"", u"V", kRegSz, Wide(u"Caff\u00E8")},
      {"\"V\"=\"\x80 \x9F\"", u"V", kRegSz, Wide(u"\u20AC \u0178")},
      // Bytes that would be UTF-8 are two Windows-1252 characters here.
      {"\"V\"=\"\xC3\xA8\"", u"V", kRegSz, Wide(u"\u00C3\u00A8")},
      {"\"Caff\xE8\"=dword:00000001", u"Caff\u00E8", kRegDword, {1, 0, 0, 0}},
      {"@=\"d\"", u"", kRegSz, Wide(u"d")},
      // String types given as bytes are ANSI too and end up UTF-16.
      {"\"V\"=hex(1):20,20", u"V", kRegSz, {0x20, 0, 0x20, 0}},
      {"\"V\"=hex(1):e8,00", u"V", kRegSz, {0xE8, 0, 0, 0}},
      {"\"V\"=hex(2):25,41,25,00", u"V", kRegExpandSz, Wide(u"%A%")},
      {"\"V\"=hex(2):80,00", u"V", kRegExpandSz, Wide(u"\u20AC")},
      {"\"V\"=hex(7):61,00,62,00,00", u"V", kRegMultiSz, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
      {"\"V\"=hex(7):", u"V", kRegMultiSz, {}},
      // Other types keep their bytes.
      {"\"V\"=hex:e8,00", u"V", kRegBinary, {0xE8, 0}},
      {"\"V\"=hex(0):e8", u"V", kRegNone, {0xE8}},
      {"\"V\"=hex(4):2a,00,00,00", u"V", kRegDword, {0x2A, 0, 0, 0}},
      {"\"V\"=hex(b):e8,00,00,00,00,00,00,00", u"V", kRegQword, {0xE8, 0, 0, 0, 0, 0, 0, 0}},
      {"\"V\"=dword:0000002a", u"V", kRegDword, {0x2A, 0, 0, 0}},
  });
}

TEST(RegFile, KeyNamesFollowTheFileEncoding) {
  const sim::Registry v4 = Load(kV4 + "[HKEY_LOCAL_MACHINE\\Software\\Caff\xE8]\r\n");
  EXPECT_NE(v4.FindKey(kHklm, u"Software\\Caff\u00E8"), nullptr);
  const sim::Registry v5 = Load(kV5 + "[HKEY_LOCAL_MACHINE\\Software\\Caff\xC3\xA8]\r\n");
  EXPECT_NE(v5.FindKey(kHklm, u"Software\\Caff\u00E8"), nullptr);
  EXPECT_EQ(v5.FindKey(kHklm, u"Software\\Caff\u00C3\u00A8"), nullptr);
}

// One export, saved each way regedit or an editor might save it.
TEST(RegFile, EveryEncodingOfAVersion5FileLoadsTheSame) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Caff\xC3\xA8]\r\n"
      "\"Name\"=\"\xC3\xA8 \xE2\x82\xAC \xF0\x9F\x98\x80\"\r\n"
      "\"Path\"=hex(2):25,00,41,00,25,00,00,00\r\n"
      "@=dword:00000005\r\n";
  auto lf = [](std::string s) {
    std::erase(s, '\r');
    return s;
  };
  const struct {
    const char* how;
    std::string bytes;
  } kFiles[] = {
      {"UTF-16LE with BOM, CRLF", Utf16Le(text)},
      {"UTF-16LE with BOM, LF", Utf16Le(lf(text))},
      {"UTF-8 with BOM, CRLF", "\xEF\xBB\xBF" + text},
      {"UTF-8, CRLF", text},
      {"UTF-8, LF", lf(text)},
      {"UTF-8, no final line end", text.substr(0, text.size() - 2)},
  };
  const Text key = u"Software\\Caff\u00E8";
  for (const auto& file : kFiles) {
    SCOPED_TRACE(file.how);
    const sim::Registry r = Load(file.bytes);
    const sim::RegistryValue* name = Find(r, kHklm, key, u"Name");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->type, platform::kRegSz);
    EXPECT_EQ(name->data, Wide(u"\u00E8 \u20AC \U0001F600"));
    const sim::RegistryValue* path = Find(r, kHklm, key, u"Path");
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(path->type, platform::kRegExpandSz);
    EXPECT_EQ(path->data, Wide(u"%A%"));
    const sim::RegistryValue* def = Find(r, kHklm, key, u"");
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->data, (Bytes{5, 0, 0, 0}));
  }
}

TEST(RegFile, Version5LineThatIsNotUtf8IsReadAsAnsi) {
  const sim::Registry r = Load(kV5 + kKeyLine +
                               "\"Ansi\"=\"caf\xE8\"\r\n"
                               "\"Utf8\"=\"caf\xC3\xA8\"\r\n"
                               "\"Overlong\"=\"\xC0\xAF\"\r\n"
                               "\"Surrogate\"=\"\xED\xA0\x80\"\r\n"
                               "\"Cut\"=\"\xE2\x82\"\r\n");
  EXPECT_EQ(Find(r, kHklm, kKey, u"Ansi")->data, Wide(u"caf\u00E8"));
  EXPECT_EQ(Find(r, kHklm, kKey, u"Utf8")->data, Wide(u"caf\u00E8"));
  EXPECT_EQ(Find(r, kHklm, kKey, u"Overlong")->data, Wide(u"\u00C0\u00AF"));
  EXPECT_EQ(Find(r, kHklm, kKey, u"Surrogate")->data, Wide(u"\u00ED\u00A0\u20AC"));
  EXPECT_EQ(Find(r, kHklm, kKey, u"Cut")->data, Wide(u"\u00E2\u201A"));
}

TEST(RegFile, Regedit4InUtf16KeepsItsHexTextAnsi) {
  const sim::Registry r =
      Load(Utf16Le("REGEDIT4\r\n[HKEY_CURRENT_USER\\T]\r\n\"S\"=\"\xC3\xA8\"\r\n\"X\"=hex(2):e8,00\r\n"));
  EXPECT_EQ(Find(r, kHkcu, u"T", u"S")->data, Wide(u"\u00E8"));
  EXPECT_EQ(Find(r, kHkcu, u"T", u"X")->data, Wide(u"\u00E8"));
}

TEST(RegFile, RootsInLongAndShortFormsInAnyCase) {
  const struct {
    const char* name;
    Long root;
  } kRoots[] = {
      {"HKEY_CLASSES_ROOT", kHkcr},   {"HKCR", kHkcr},
      {"HKEY_CURRENT_USER", kHkcu},   {"HKCU", kHkcu},
      {"HKEY_LOCAL_MACHINE", kHklm},  {"HKLM", kHklm},
      {"hkey_local_machine", kHklm},  {"hklm", kHklm},
      {"HKEY_USERS", kHku},           {"HKU", kHku},
      {"HKEY_CURRENT_CONFIG", kHkcc}, {"HKCC", kHkcc},
  };
  for (const auto& root : kRoots) {
    SCOPED_TRACE(root.name);
    const sim::Registry r = Load(kV5 + "[" + root.name + "\\A\\B]\r\n\"V\"=dword:00000001\r\n");
    ASSERT_NE(Find(r, root.root, u"A\\B", u"V"), nullptr);
    EXPECT_NE(r.FindKey(root.root, u"A"), nullptr);
    for (Long other : {kHkcr, kHkcu, kHklm, kHku, kHkcc}) {
      if (other != root.root) {
        EXPECT_EQ(r.FindKey(other, u"A"), nullptr);
      }
    }
  }
}

TEST(RegFile, KeyLinesCreateKeysAndValuesGoToTheLastOne) {
  const sim::Registry r = Load(kV5 +
                               "[HKEY_LOCAL_MACHINE\\Software\\Empty]\r\n"
                               "\r\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\A]\r\n"
                               "\"V\"=\"a\"\r\n"
                               "[HKEY_CURRENT_USER\\Software\\A]\r\n"
                               "\"V\"=\"cu\"\r\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\a]\r\n"
                               "\"v\"=\"again\"\r\n"
                               "\"W\"=\"w\"\r\n"
                               "[HKEY_LOCAL_MACHINE]\r\n"
                               "\"AtRoot\"=dword:00000002\r\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\[x]y]  \r\n");
  ASSERT_NE(r.FindKey(kHklm, u"Software\\Empty"), nullptr);
  EXPECT_TRUE(r.FindKey(kHklm, u"Software\\Empty")->values.empty());
  // Keys and value names match without regard to case; the later value wins.
  const sim::RegistryKey* a = r.FindKey(kHklm, u"Software\\A");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->values.size(), 2u);
  EXPECT_EQ(Find(r, kHklm, u"Software\\A", u"V")->data, Wide(u"again"));
  EXPECT_EQ(Find(r, kHkcu, u"Software\\A", u"V")->data, Wide(u"cu"));
  EXPECT_EQ(Find(r, kHklm, u"", u"AtRoot")->data, (Bytes{2, 0, 0, 0}));
  EXPECT_NE(r.FindKey(kHklm, u"Software\\[x]y"), nullptr);  // the last ']' closes the line
}

TEST(RegFile, DeletionsOfKeysAndValues) {
  const std::string base = kV5 +
                           "[HKEY_LOCAL_MACHINE\\Software\\A]\r\n"
                           "\"Keep\"=\"k\"\r\n"
                           "\"Drop\"=\"d\"\r\n"
                           "@=\"default\"\r\n"
                           "[HKEY_LOCAL_MACHINE\\Software\\A\\B\\C]\r\n"
                           "[HKEY_LOCAL_MACHINE\\Software\\AB]\r\n"
                           "[HKEY_CURRENT_USER\\Software\\A]\r\n";
  {
    SCOPED_TRACE("values");
    const sim::Registry r = Load(base +
                                 "[HKEY_LOCAL_MACHINE\\Software\\A]\r\n"
                                 "\"drop\"=-\r\n"
                                 "@=-\r\n"
                                 "\"NeverThere\"=-\r\n");
    const sim::RegistryKey* a = r.FindKey(kHklm, u"Software\\A");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->values.size(), 1u);
    EXPECT_NE(Find(r, kHklm, u"Software\\A", u"Keep"), nullptr);
  }
  {
    SCOPED_TRACE("key with its subkeys");
    const sim::Registry r = Load(base + "[-HKEY_LOCAL_MACHINE\\Software\\a]\r\n"
                                        "[-HKEY_LOCAL_MACHINE\\Software\\NeverThere]\r\n");
    EXPECT_EQ(r.FindKey(kHklm, u"Software\\A"), nullptr);
    EXPECT_EQ(r.FindKey(kHklm, u"Software\\A\\B"), nullptr);
    EXPECT_EQ(r.FindKey(kHklm, u"Software\\A\\B\\C"), nullptr);
    EXPECT_NE(r.FindKey(kHklm, u"Software\\AB"), nullptr);
    EXPECT_NE(r.FindKey(kHklm, u"Software"), nullptr);
    EXPECT_NE(r.FindKey(kHkcu, u"Software\\A"), nullptr);
  }
  {
    SCOPED_TRACE("deleted, then written again");
    const sim::Registry r = Load(base +
                                 "[-HKLM\\Software\\A]\r\n"
                                 "[HKLM\\Software\\A]\r\n"
                                 "\"New\"=dword:00000001\r\n");
    const sim::RegistryKey* a = r.FindKey(kHklm, u"Software\\A");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->values.size(), 1u);
    EXPECT_NE(Find(r, kHklm, u"Software\\A", u"New"), nullptr);
    EXPECT_EQ(r.FindKey(kHklm, u"Software\\A\\B"), nullptr);
  }
}

TEST(RegFile, HexValuesContinueOnIndentedLines) {
  const struct {
    const char* how;
    std::string lines;
    Long type;
    Bytes data;
  } kCases[] = {
      {"as regedit wraps", "\"V\"=hex:01,02,\\\r\n  03,04,\\\r\n  05\r\n", platform::kRegBinary, {1, 2, 3, 4, 5}},
      {"tabs and blanks", "\"V\"=hex:01,\\  \n\t \t02\n", platform::kRegBinary, {1, 2}},
      {"break right after the type", "\"V\"=hex(2):\\\r\n  41,00,00,00\r\n", platform::kRegExpandSz, Wide(u"A")},
      {"a break ending the value", "\"V\"=hex:\\\r\n\r\n", platform::kRegBinary, {}},
      {"long multi-string",
       "\"V\"=hex(7):61,00,62,00,63,00,00,00,64,00,65,00,66,00,00,00,67,00,68,00,69,00,\\\r\n"
       "  00,00,6a,00,6b,00,6c,00,00,00,00,00\r\n",
       platform::kRegMultiSz, Bytes{'a', 0, 'b', 0, 'c', 0, 0, 0, 'd', 0, 'e', 0, 'f', 0, 0, 0, 'g', 0,
                                    'h', 0, 'i', 0, 0, 0, 'j', 0, 'k', 0, 'l', 0, 0, 0, 0, 0}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.how);
    for (bool utf16 : {false, true}) {
      const std::string text = kV5 + kKeyLine + c.lines + "\"After\"=dword:00000009\r\n";
      const sim::Registry r = Load(utf16 ? Utf16Le(text) : text);
      const sim::RegistryValue* v = Find(r, kHklm, kKey, u"V");
      ASSERT_NE(v, nullptr);
      EXPECT_EQ(v->type, c.type);
      EXPECT_EQ(v->data, c.data);
      // The line after the value is read as a line of its own.
      ASSERT_NE(Find(r, kHklm, kKey, u"After"), nullptr);
    }
  }
}

TEST(RegFile, Regedit4ContinuedTextIsConvertedWhole) {
  const sim::Registry r = Load(kV4 + kKeyLine + "\"V\"=hex(2):25,41,\\\r\n  e8,25,00\r\n");
  EXPECT_EQ(Find(r, kHklm, kKey, u"V")->data, Wide(u"%A\u00E8%"));
}

TEST(RegFile, CommentsAndBlankLinesAreSkipped) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n"
      "; exported from the test machine\r\n"
      "\r\n"
      "   \t \r\n"
      "  ; indented comment \"V\"=\"no\"\r\n"
      ";[HKEY_LOCAL_MACHINE\\Software\\Commented]\r\n"
      "\t[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n"
      ";\"V\"=\"commented out\"\r\n"
      "  \"V\"=\"yes\"\r\n"
      "\r\n";
  for (bool utf16 : {false, true}) {
    SCOPED_TRACE(utf16 ? "UTF-16LE" : "8-bit");
    const sim::Registry r = Load(utf16 ? Utf16Le(text) : text);
    EXPECT_EQ(r.FindKey(kHklm, u"Software\\Commented"), nullptr);
    const sim::RegistryKey* key = r.FindKey(kHklm, kKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->values.size(), 1u);
    EXPECT_EQ(Find(r, kHklm, kKey, u"V")->data, Wide(u"yes"));
  }
}

struct ErrorRow {
  const char* what;
  std::string file;
  int line;
  const char* says;
  bool fatal = false;  // ends the load; any other fault skips its line
};

TEST(RegFile, ErrorsNameTheFileTheLineAndTheFault) {
  const std::string k = kV5 + kKeyLine;  // values start on line 4
  const ErrorRow kRows[] = {
      {"empty file", "", 1, "empty", true},
      {"unknown header", "REGEDIT5\r\n", 1, "not a regedit export", true},
      {"header after a blank line", "\r\nREGEDIT4\r\n", 1, "not a regedit export", true},
      {"header in other case", "regedit4\r\n", 1, "not a regedit export", true},
      {"big-endian UTF-16", "\xFE\xFF\r\n", 1, "big-endian", true},
      {"UTF-16 without BOM", Utf16Le("REGEDIT4\r\n", false), 1, "not a regedit export", true},
      {"value before any key", kV5 + "\"V\"=\"x\"\r\n", 3, "before the first [key]"},
      {"value after a key deletion", kV5 + "[-HKLM\\A]\r\n@=\"x\"\r\n", 4, "key deletion"},
      {"unknown root", kV5 + "[HKEY_NOWHERE\\A]\r\n", 3, "unknown root key \"HKEY_NOWHERE\""},
      {"root name run on", kV5 + "[HKLMX\\A]\r\n", 3, "unknown root key"},
      {"empty key line", kV5 + "[]\r\n", 3, "unknown root key"},
      {"key line unclosed", kV5 + "[HKLM\\A\r\n", 3, "no closing ']'"},
      {"text after key line", kV5 + "[HKLM\\A] x\r\n", 3, "after the key's closing ']'"},
      {"deleting a root", kV5 + "[-HKEY_LOCAL_MACHINE]\r\n", 3, "root key cannot be deleted"},
      {"deleting a root with a separator", kV5 + "[-HKCU\\]\r\n", 3, "root key cannot be deleted"},
      {"deleting a root with separators", kV5 + "[-HKCU\\\\]\r\n", 3, "root key cannot be deleted"},
      {"line of neither kind", k + "V=\"x\"\r\n", 4, "expected a [key]"},
      {"bad escape in data", k + "\"V\"=\"a\\nb\"\r\n", 4, "bad escape \"\\n\""},
      {"bad escape in name", k + "\"\\t\"=\"x\"\r\n", 4, "bad escape"},
      {"unterminated data", k + "\"V\"=\"abc\r\n", 4, "no closing quote"},
      {"data ending in an escape", k + "\"V\"=\"abc\\\"\r\n", 4, "no closing quote"},
      {"data ending in a backslash", k + "\"V\"=\"abc\\\r\n", 4, "no closing quote"},
      {"unterminated name", k + "\"V=dword:1\r\n", 4, "no closing quote"},
      {"missing '='", k + "\"V\" \"x\"\r\n", 4, "missing '='"},
      {"name alone", k + "@\r\n", 4, "missing '='"},
      {"nothing after '='", k + "\"V\"=\r\n", 4, "unknown kind of value data"},
      {"unknown type word", k + "\"V\"=qword:1\r\n", 4, "unknown kind of value data"},
      {"text after string", k + "\"V\"=\"a\" b\r\n", 4, "after the closing quote"},
      {"text after deletion", k + "\"V\"=-1\r\n", 4, "unknown kind of value data"},
      {"dword of 9 digits", k + "\"V\"=dword:000000001\r\n", 4, "at most 8 hex digits"},
      {"dword without digits", k + "\"V\"=dword:\r\n", 4, "needs a hex number"},
      {"dword not hex", k + "\"V\"=dword:0000002g\r\n", 4, "hex digits only"},
      {"dword with a sign", k + "\"V\"=dword:-1\r\n", 4, "hex digits only"},
      {"bad hex byte", k + "\"V\"=hex:01,zz\r\n", 4, "bad hex byte \"zz\""},
      {"hex byte of three digits", k + "\"V\"=hex:01,002\r\n", 4, "bad hex byte \"002\""},
      {"hex bytes without comma", k + "\"V\"=hex:01 02\r\n", 4, "expected ','"},
      {"trailing comma", k + "\"V\"=hex:01,02,\r\n", 4, "after the last ','"},
      {"comma first", k + "\"V\"=hex:,01\r\n", 4, "bad hex byte"},
      {"hex without colon", k + "\"V\"=hex 01\r\n", 4, "expected ':'"},
      {"hex( unclosed", k + "\"V\"=hex(2:01\r\n", 4, "no closing ')'"},
      {"hex() empty", k + "\"V\"=hex():01\r\n", 4, "1 to 8 hex digits"},
      {"hex(type) too long", k + "\"V\"=hex(100000000):01\r\n", 4, "1 to 8 hex digits"},
      {"hex(type) not hex", k + "\"V\"=hex(z):01\r\n", 4, "hex digits only"},
      {"fault on a continuation line", k + "\"V\"=hex:01,\\\r\n  02,\\\r\n  g0\r\n", 6, "bad hex byte \"g0\""},
      {"file ends inside a value", k + "\"V\"=hex:01,\\\r\n", 4, "ends after a '\\'"},
      {"later line after good ones", k + "\"A\"=dword:1\r\n\r\n; c\r\n\"B\"=dword:\r\n", 7, "needs a hex number"},
      {"UTF-16 fault", Utf16Le(k + "\"A\"=\"x\"\r\n\"B\"=\"y\r\n"), 5, "no closing quote"},
      {"UTF-16 with an odd byte", Utf16Le(k + "\"A\"=\"x\"\r\n") + "\x41", 5, "middle of a UTF-16 character", true},
      {"UTF-8 BOM with bad UTF-8", "\xEF\xBB\xBF" + k + "\"A\"=\"\xE8\"\r\n", 4, "not valid UTF-8"},
  };
  for (const ErrorRow& row : kRows) {
    SCOPED_TRACE(row.what);
    bool fatal = false;
    const std::string message = ErrorFrom(row.file, &fatal);
    EXPECT_EQ(fatal, row.fatal) << message;
    EXPECT_EQ(message.rfind("test.reg:" + std::to_string(row.line) + ": ", 0), 0u) << message;
    EXPECT_NE(message.find(row.says), std::string::npos) << message;
  }
}

TEST(RegFile, ABadLineIsSkippedAndWhatComesAfterItLoads) {
  sim::Registry r;
  std::vector<sim::RegWarning> warnings;
  std::istringstream in(kV5 + kKeyLine + "\"A\"=dword:00000001\r\n\"B\"=dword:x\r\n\"C\"=dword:00000003\r\n");
  sim::LoadRegText(in, "test.reg", r, &warnings);
  EXPECT_NE(Find(r, kHklm, kKey, u"A"), nullptr);
  EXPECT_EQ(Find(r, kHklm, kKey, u"B"), nullptr);
  EXPECT_NE(Find(r, kHklm, kKey, u"C"), nullptr);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].line, 5u);
  EXPECT_EQ(warnings[0].root, kHklm);
  EXPECT_EQ(warnings[0].path, kKey);
}

TEST(RegFile, LoadsFilesAndNamesThoseItCannotRead) {
  const std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / "reg_file_test";
  std::filesystem::create_directories(dir);
  const std::filesystem::path file = dir / "export.reg";
  {
    std::ofstream out(file, std::ios::binary);
    out << Utf16Le(kV5 + kKeyLine + "\"DisplayName\"=\"\"\r\n");
  }
  sim::Registry r;
  sim::LoadRegFile(file.string(), r);
  const sim::RegistryValue* v = Find(r, kHklm, kKey, u"DisplayName");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->data, (Bytes{0, 0}));

  for (const std::filesystem::path& bad : {dir / "missing.reg", dir}) {
    SCOPED_TRACE(bad.string());
    try {
      sim::LoadRegFile(bad.string(), r);
      ADD_FAILURE() << "expected an InputError";
    } catch (const sim::InputError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(bad.string() + ": ", 0), 0u) << e.what();
    }
  }
  std::filesystem::remove_all(dir);
}

// Many values, so that lines straddle the pieces the reader takes; a CRLF
// is placed across the first 64 KiB boundary on purpose.
TEST(RegFile, LargeExportsLoadCompletely) {
  for (bool utf16 : {false, true}) {
    SCOPED_TRACE(utf16 ? "UTF-16LE" : "8-bit");
    std::string text = kV5 + kKeyLine;
    const std::size_t unit = utf16 ? 2 : 1;
    const std::size_t bom = utf16 ? 2 : 0;
    // The "\r" of the pad line ends the first 65536 bytes; its "\n" starts the next.
    const std::size_t pad_end = 65536 / unit - bom / unit;
    text += ";" + std::string(pad_end - text.size() - 2, 'p') + "\r\n";
    const int kKeys = 2000;
    for (int k = 0; k < kKeys; ++k) {
      text += "[HKEY_LOCAL_MACHINE\\Software\\Big\\K" + std::to_string(k) + "]\r\n";
      text += "\"S\"=\"value " + std::to_string(k) + " \xC3\xA8\"\r\n";
      text += "\"D\"=dword:" + std::string(k % 8 + 1, 'f') + "\r\n";
      text += "\"H\"=hex:" + std::string(3 * (k % 40), ' ') + "0a,\\\r\n  0b\r\n";
    }
    const std::string bytes = utf16 ? Utf16Le(text) : text;
    ASSERT_EQ(bytes[65536 - unit], '\r');
    ASSERT_EQ(bytes[65536], '\n');
    ASSERT_GT(bytes.size(), 300000u);
    const sim::Registry r = Load(bytes);
    int checked = 0;
    for (int k = 0; k < kKeys; ++k) {
      const Text key = u"Software\\Big\\K" + platform::FromUtf8(std::to_string(k));
      const sim::RegistryKey* found = r.FindKey(kHklm, key);
      ASSERT_NE(found, nullptr) << k;
      ASSERT_EQ(found->values.size(), 3u) << k;
      ASSERT_EQ(Find(r, kHklm, key, u"S")->data, Wide(u"value " + platform::FromUtf8(std::to_string(k)) + u" \u00E8"));
      const std::uint64_t dword = (std::uint64_t{1} << (4 * (k % 8 + 1))) - 1;
      Bytes expected_dword;
      for (int i = 0; i < 4; ++i) expected_dword.push_back(static_cast<std::uint8_t>(dword >> (8 * i)));
      ASSERT_EQ(Find(r, kHklm, key, u"D")->data, expected_dword) << k;
      ASSERT_EQ(Find(r, kHklm, key, u"H")->data, (Bytes{0x0A, 0x0B})) << k;
      ++checked;
    }
    EXPECT_EQ(checked, kKeys);
  }
}

// A stream of `size` bytes, made up as it is read: a prefix, then comment
// lines. It counts what the reader took.
class MadeUpStream : public std::streambuf {
 public:
  MadeUpStream(std::string prefix, std::size_t size) : prefix_(std::move(prefix)), size_(size) {}
  std::size_t taken() const { return taken_; }

 protected:
  int_type underflow() override {
    if (taken_ >= size_) return traits_type::eof();
    piece_.clear();
    while (piece_.size() < 4096 && taken_ + piece_.size() < size_) {
      const std::size_t at = taken_ + piece_.size();
      piece_ += at < prefix_.size() ? prefix_[at] : (at % 64 == 63 ? '\n' : ';');
    }
    taken_ += piece_.size();
    setg(piece_.data(), piece_.data(), piece_.data() + piece_.size());
    return traits_type::to_int_type(piece_[0]);
  }

 private:
  std::string prefix_;
  std::size_t size_;
  std::size_t taken_ = 0;
  std::string piece_;
};

TEST(RegFile, ReadsOnlyAsFarAsItHasGot) {
  const std::size_t kSize = 64u << 20;
  {
    SCOPED_TRACE("stops at a header that is none");
    MadeUpStream source("REGEDIT5\n" + kKeyLine + "\"V\"=dword:1\n", kSize);
    std::istream in(&source);
    sim::Registry r;
    EXPECT_THROW(sim::LoadRegText(in, "made-up.reg", r), sim::InputError);
    EXPECT_LT(source.taken(), 1u << 20);
  }
  {
    SCOPED_TRACE("reads a long stream to its end");
    MadeUpStream source(kV5 + kKeyLine + "\"V\"=dword:1\n", 8u << 20);
    std::istream in(&source);
    sim::Registry r;
    sim::LoadRegText(in, "made-up.reg", r);
    EXPECT_EQ(source.taken(), 8u << 20);
    EXPECT_NE(Find(r, kHklm, kKey, u"V"), nullptr);
  }
}

}  // namespace

namespace {

std::string Repeat(const std::string& part, std::size_t times, const std::string& separator) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += (i ? separator : "") + part;
  return out;
}

// Windows' own limits, at and one past each: past one, the line is skipped
// with a warning and the rest loads.
TEST(RegFile, KeysAndValueNamesBeyondWindowsLimitsAreSkipped) {
  const struct {
    const char* what;
    std::string lines;  // after the header
    std::string warning;  // "" when it loads
  } rows[] = {
      {"a key name of 255", "[HKLM\\" + std::string(255, 'k') + "]\r\n", ""},
      {"a key name of 256", "[HKLM\\A\\" + std::string(256, 'k') + "]\r\n", "longer than 255"},
      {"512 levels", "[HKLM\\" + Repeat("k", 512, "\\") + "]\r\n", ""},
      {"513 levels", "[HKLM\\" + Repeat("k", 513, "\\") + "]\r\n", "deeper than 512"},
      {"a deletion 513 levels deep", "[-HKLM\\" + Repeat("k", 513, "\\") + "]\r\n",
       "deeper than 512"},
      {"a value name of 16383", kKeyLine + "\"" + std::string(16383, 'v') + "\"=\"x\"\r\n", ""},
      {"a value name of 16384", kKeyLine + "\"" + std::string(16384, 'v') + "\"=hex:01,\\\r\n  02\r\n",
       "longer than 16,383"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string error = ErrorFrom(kV5 + row.lines + "[HKLM\\After]\r\n@=\"loaded\"\r\n");
    if (row.warning.empty()) EXPECT_EQ(error, "");
    else EXPECT_NE(error.find(row.warning), std::string::npos) << error;
    const sim::Registry r = Load(kV5 + row.lines + "[HKLM\\After]\r\n@=\"loaded\"\r\n");
    EXPECT_NE(Find(r, kHklm, u"After", u""), nullptr) << "the lines after it load";
  }
}

// Tens of thousands of values under one key: found by name in any case,
// kept in their order, and one deleted leaves the others found.
TEST(RegFile, ManyValuesUnderOneKeyStayFoundByName) {
  std::string lines = kV5 + kKeyLine;
  for (int i = 0; i < 40000; ++i) lines += "\"Value" + std::to_string(i) + "\"=dword:1\r\n";
  lines += "\"value123\"=dword:2\r\n\"VALUE7\"=-\r\n";
  const sim::Registry r = Load(lines);
  const auto& values = r.FindKey(kHklm, kKey)->values;
  EXPECT_EQ(values.size(), 39999u);
  ASSERT_NE(Find(r, kHklm, kKey, u"VALUE123"), nullptr);
  EXPECT_EQ(Find(r, kHklm, kKey, u"VALUE123")->data, (Bytes{2, 0, 0, 0}));
  EXPECT_EQ(Find(r, kHklm, kKey, u"value7"), nullptr);
  EXPECT_NE(Find(r, kHklm, kKey, u"value39999"), nullptr);
  EXPECT_EQ(values.begin()->first, u"Value0");
  EXPECT_EQ((values.end() - 1)->first, u"Value39999");
}

}  // namespace
