// Customers' exports hold lines regedit skips or reads its own way; one such
// line must not hide the firewall's keys further down.
#include <gtest/gtest.h>

#include <sstream>

#include "machines.h"
#include "platform/simulated/reg_file.h"

namespace {

using namespace testing_machines;
using platform::Text;
using Bytes = std::vector<std::uint8_t>;

const platform::Long kHklm = platform::kHkeyLocalMachine;

struct Row {
  const char* kind;
  std::string lines;              // below [HKEY_LOCAL_MACHINE\Software\Test], after "Before"
  std::vector<int> warned;        // lines warned about, counted in `lines` from 1
  std::vector<std::pair<Text, Bytes>> values;  // what the test key holds besides Before, After
};

// Text as Windows stores a string value: UTF-16LE with its NUL.
Bytes Wide(const Text& text) {
  Bytes out;
  for (char16_t c : text + u'\0') {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return out;
}

std::vector<Row> Rows() {
  return {
      {"value after a key deletion", "[-HKEY_LOCAL_MACHINE\\Software\\Gone]\r\n\"v\"=dword:1\r\n"
       "[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n", {2}, {}},
      {"dword of nine digits", "\"v\"=dword:000000001\r\n", {1}, {}},
      {"escape other than \\\" and \\\\", "\"v\"=\"a\\nb\"\r\n", {1}, {{u"v", Wide(u"anb")}}},
      {"comment after a complete value", "\"v\"=dword:00000001 ; note\r\n\"w\"=\"x;y\" ;z\r\n", {},
       {{u"v", {1, 0, 0, 0}}, {u"w", Wide(u"x;y")}}},
      {"line starting with #", "# a note\r\n", {1}, {}},
      {"comment inside a continued hex value", "\"v\"=hex:01,02,\\\r\n; between\r\n  03\r\n", {},
       {{u"v", {1, 2, 3}}}},
      {"line of no kind", "this is no line of an export\r\n", {1}, {}},
  };
}

// Header, the test key with its values, then the firewall's keys.
std::string Export(const std::string& header, const std::string& lines) {
  return header + "\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n\"Before\"=\"b\"\r\n" + lines +
         "\"After\"=\"a\"\r\n\r\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
         "{D13A6F58-02C7-4E9B-8B21-7F4C05E9A6D3}]\r\n\"DisplayName\"=\"Orvane Firewall v3.03\"\r\n\r\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Orvane firewall]\r\n"
         "\"Installpath\"=\"C:\\\\Program Files\\\\Orvane\\\\Firewall\\\\\"\r\n";
}

std::string Utf16LeWithBom(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) out += {c, '\0'};
  return out;
}

TEST(CustomerExport, EachOddLineIsWarnedAboutAndTheFirewallsKeysStillLoad) {
  for (const Row& row : Rows()) {
    for (const bool version5 : {true, false}) {
      SCOPED_TRACE(std::string(row.kind) + (version5 ? " (version 5, UTF-16LE)" : " (REGEDIT4)"));
      const std::string text =
          version5 ? Utf16LeWithBom(Export("Windows Registry Editor Version 5.00", row.lines))
                   : Export("REGEDIT4", row.lines);
      sim::Machine m = ApplicableMachine();
      m.registry = sim::Registry();
      std::vector<sim::RegWarning> warnings;
      std::istringstream in(text);
      sim::LoadRegText(in, "customer.reg", m.registry, &warnings);

      std::vector<int> warned;
      for (const auto& w : warnings) warned.push_back(static_cast<int>(w.line) - 4);
      EXPECT_EQ(warned, row.warned);
      const sim::RegistryKey* key = m.registry.FindKey(kHklm, u"Software\\Test");
      ASSERT_NE(key, nullptr);
      EXPECT_EQ(key->values.at(u"Before").data, Wide(u"b"));
      EXPECT_EQ(key->values.at(u"After").data, Wide(u"a"));
      EXPECT_EQ(key->values.size(), 2 + row.values.size());
      for (const auto& [name, bytes] : row.values) {
        const auto it = key->values.find(name);
        ASSERT_NE(it, key->values.end()) << platform::ToUtf8(name);
        EXPECT_EQ(it->second.data, bytes) << platform::ToUtf8(name);
      }
      m.answers = {sim::AnswerNo()};
      EXPECT_EQ(sim::RunProgram(m).seen.exit_code, 3010);  // the fix applies
    }
  }
}

}  // namespace
