// The real Win32 platform under Wine and the simulated platform, call by call:
// the registry readers, the Windows version name and the version decoder must
// answer alike over the same stored bytes. A difference means one of the two
// realisations is wrong about Windows (or Wine is).
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "pace.h"
#include "platform/failure.h"
#include "platform/simulated/pe_version.h"
#include "platform/simulated/simulated_platform.h"
#include "probe_answers.h"
#include "process.h"
#include "records.h"
#include "registry/readers.h"
#include "system/os_version.h"
#include "trk_variant.h"
#include "version/ver_info.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using platform::Long;
using platform::Text;

const Long kHklm = platform::kHkeyLocalMachine;
const Text kRoot = u"Software\\ProbeTest";
const Text kValue = u"Probe";

// ---- the probe's line format, on this side too ---------------------------------

std::string join_tab(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) line += (i == 0 ? "" : "\t") + fields[i];
  return line;
}

// What the probe answers to one request, worked out on the simulated platform.
// What the simulated platform answers, through the probe's own code.
std::string simulated_answer(sim::SimulatedPlatform& p, const std::vector<std::string>& request) {
  return join_tab(probe::answer(p, request));
}

std::vector<std::string> lines_of(const fs::path& file) {
  std::vector<std::string> lines;
  std::istringstream in(read_text(file));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string hex_of(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  char pair[3];
  for (std::uint8_t b : bytes) {
    std::snprintf(pair, sizeof pair, "%02x", b);
    out += pair;
  }
  return out;
}

// A record field for regset (log_line.h escaping).
std::string record_field(const std::string& field) {
  std::string out;
  for (char c : field) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else out += c;
  }
  return out;
}

// ---- the stored values -------------------------------------------------------------

sim::RegistryValue Raw(Long type, std::vector<std::uint8_t> data) { return {type, std::move(data)}; }

sim::RegistryValue Sz(const Text& text, bool with_nul = true, Long type = platform::kRegSz) {
  sim::Registry r;
  r.SetString(kHklm, u"K", u"V", text, type, with_nul);
  return r.FindKey(kHklm, u"K")->values.at(u"V");
}

struct Row {
  const char* stored;
  Text key;  // below kRoot
  bool key_exists = true;
  std::optional<sim::RegistryValue> value;
  Text value_name = kValue;
};

std::vector<Row> Rows() {
  const Text sentinel = registry::kSentinel;
  return {
      {"key missing", u"KeyMissing", false, std::nullopt},
      {"value missing", u"ValueMissing", true, std::nullopt},
      {"REG_SZ text with NUL", u"SzWithNul", true, Sz(u"C:\\FW\\")},
      {"REG_SZ empty with NUL", u"EmptyWithNul", true, Sz(u"")},
      {"REG_SZ blanks with NUL", u"BlanksWithNul", true, Sz(u"   ")},
      {"REG_SZ blanks without NUL", u"BlanksNoNul", true, Sz(u"   ", false)},
      {"REG_SZ empty without NUL", u"EmptyNoNul", true, Sz(u"", false)},
      {"REG_SZ text without NUL", u"SzNoNul", true, Sz(u"C:\\FW", false)},
      {"REG_SZ with a NUL inside", u"NulInside", true, Sz(Text(u"ab\0cd", 5))},
      {"REG_SZ of the sentinel text", u"Sentinel", true, Sz(sentinel)},
      {"REG_SZ tab only without NUL", u"TabNoNul", true, Sz(u"\t", false)},
      {"REG_SZ with U+00E8", u"Cp1252", true, Sz(u"C:\\Programmi\\Caff\u00E8\\")},
      {"U+00E8 in key and value names", u"Caff\u00E8", true, Sz(u"x"), u"N\u00E8"},
      {"key name outside the code page", u"\u4E2D", true, Sz(u"x")},
      {"REG_SZ of odd length", u"OddLength", true, Raw(platform::kRegSz, {'a', 0, 'b'})},
      {"REG_DWORD 0", u"Dword0", true, Raw(platform::kRegDword, {0, 0, 0, 0})},
      {"REG_DWORD -1", u"DwordMinus1", true, Raw(platform::kRegDword, {0xFF, 0xFF, 0xFF, 0xFF})},
      {"REG_DWORD of 8 bytes", u"Dword8", true, Raw(platform::kRegDword, {1, 0, 0, 0, 0, 0, 0, 0})},
      {"REG_DWORD of 2 bytes", u"Dword2", true, Raw(platform::kRegDword, {7, 1})},
      {"REG_EXPAND_SZ", u"ExpandSz", true,
       Sz(u"%ProgramFiles%\\FW\\", true, platform::kRegExpandSz)},
      {"REG_MULTI_SZ", u"MultiSz", true, Raw(platform::kRegMultiSz, {'a', 0, 0, 0, 0, 0})},
      {"REG_BINARY", u"Binary", true, Raw(platform::kRegBinary, {1, 2, 3})},
  };
}

Text KeyOf(const Row& row) { return kRoot + u"\\" + row.key; }

// The filler makes a key exist without the value the readers ask for.
const Text kFiller = u"Filler";

sim::Machine MachineWith(const std::vector<Row>& rows) {
  sim::Machine m;
  for (const Row& row : rows) {
    if (!row.key_exists) continue;
    m.registry.SetString(kHklm, KeyOf(row), kFiller, u"f");
    if (row.value) m.registry.SetValue(kHklm, KeyOf(row), row.value_name, *row.value);
  }
  return m;
}

// ---- the fixture -------------------------------------------------------------------


class PlatformProbe : public ::testing::TestWithParam<Arch> {
 protected:
  void SetUp() override {
    const Arch arch = GetParam();
    build_ = fs::path(HOTFIX_SOURCE_DIR) / "build" / ("mingw-" + arch_name(arch));
    if (!fs::exists(build_ / "platform_probe.exe"))
      GTEST_SKIP() << "no " << arch_name(arch) << " build: " << (build_ / "platform_probe.exe")
                   << " is missing (cmake --preset mingw-" << arch_name(arch)
                   << " && cmake --build --preset mingw-" << arch_name(arch) << ")";
    for (const char* helper : {"boxbot.exe", "regset.exe"})
      ASSERT_TRUE(fs::exists(build_ / helper))
          << (build_ / helper) << " is missing; build the mingw-" << arch_name(arch)
          << " preset fully";

    // Its own prefix: the other Wine suites may run at the same time.
    ReadyPrefix(arch, "wine-probe", "probe", prefix_);
    if (prefix_ == nullptr) return;

    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string id = info->name();
    for (auto& c : id)
      if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    work_ = prefix_->drive_c() / "probe" / id;
    fs::remove_all(work_);
    fs::create_directories(work_);
  }

  // Writes the requests, runs the probe once (under boxbot, which answers the
  // notice boxes with OK) and returns its answer lines.
  std::vector<std::string> probe(const std::vector<std::string>& requests, const std::string& name) {
    {
      std::ofstream out(work_ / (name + ".req"), std::ios::binary);
      for (const auto& r : requests) out << r << "\n";
    }
    const auto result = prefix_->wine(
        {prefix_->windows_path(build_ / "boxbot.exe"), "--log",
         prefix_->windows_path(work_ / (name + ".boxbot")), "--timeout-ms",
         std::to_string(scaled(std::chrono::seconds(60)).count()), "--",
         prefix_->windows_path(build_ / "platform_probe.exe"),
         prefix_->windows_path(work_ / (name + ".req")),
         prefix_->windows_path(work_ / (name + ".ans"))},
        {}, work_ / (name + ".out"), work_ / (name + ".err"), 90s);
    EXPECT_EQ(result.exit_code, 0) << result.failure << "\n"
                                   << read_text(work_ / (name + ".boxbot"))
                                   << read_text(work_ / (name + ".err"));
    return lines_of(work_ / (name + ".ans"));
  }

  // The boxes boxbot saw, as "<title> | <text> | <buttons> | <pressed>".
  std::vector<std::string> boxes_seen(const std::string& name) {
    std::vector<std::string> boxes;
    for (const auto& r : read_records(work_ / (name + ".boxbot")))
      if (r.at(0) == "box" && r.size() >= 11)
        boxes.push_back(r[2] + " | " + r[3] + " | " + r[4] + " | " + r[10]);
    return boxes;
  }

  const WinePrefix& prefix() const { return *prefix_; }

  WinePrefix* prefix_ = nullptr;
  fs::path build_;
  fs::path work_;
};

std::vector<std::string> Request(const std::string& kind, const std::vector<Text>& texts) {
  std::vector<std::string> fields = {kind};
  for (const Text& t : texts) fields.push_back(probe::escape(t));
  return fields;
}

TEST_P(PlatformProbe, RegistryReadersAnswerAsTheSimulatedPlatformDoes) {
  const std::vector<Row> rows = Rows();
  // Absent on a fresh prefix; regset's dump below shows what is held.
  prefix().delete_key("HKLM\\Software\\ProbeTest");

  // The same bytes on both machines: regset sets each value exactly.
  std::string set;
  std::string keys;
  for (const Row& row : rows) {
    if (!row.key_exists) continue;
    const std::string key = record_field(platform::ToUtf8(KeyOf(row)));
    set += key + "\t" + platform::ToUtf8(kFiller) + "\t1\t66000000\n";
    if (row.value)
      set += key + "\t" + record_field(platform::ToUtf8(row.value_name)) + "\t" +
             std::to_string(row.value->type) + "\t" + hex_of(row.value->data) + "\n";
  }
  for (const Row& row : rows) keys += record_field(platform::ToUtf8(KeyOf(row))) + "\n";
  std::ofstream(work_ / "set.txt", std::ios::binary) << set;
  std::ofstream(work_ / "keys.txt", std::ios::binary) << keys;
  const auto regset = prefix().wine({prefix().windows_path(build_ / "regset.exe"),
                                     prefix().windows_path(work_ / "set.txt"),
                                     prefix().windows_path(work_ / "keys.txt")},
                                    {}, work_ / "regset.out", work_ / "regset.err", 60s);
  ASSERT_EQ(regset.exit_code, 0) << read_text(work_ / "regset.err");

  const sim::Machine machine = MachineWith(rows);
  // What the prefix holds must be what the simulated machine holds.
  for (const auto& r : read_records(work_ / "regset.out")) {
    if (r.at(0) != "value" || r.size() < 5) continue;
    const Text key = platform::FromUtf8(r[1]);
    const Text name = platform::FromUtf8(r[2]);
    const sim::RegistryKey* held = machine.registry.FindKey(kHklm, key);
    ASSERT_NE(held, nullptr) << r[1];
    const auto value = held->values.find(name);
    ASSERT_NE(value, held->values.end()) << r[1] << " " << r[2];
    EXPECT_EQ(r[3] + " " + r[4],
              std::to_string(value->second.type) + " " + hex_of(value->second.data))
        << "regset did not store " << r[1] << "\\" << r[2] << " byte for byte";
  }

  std::vector<std::string> requests;
  std::vector<std::vector<Text>> texts;
  std::vector<std::string> labels;
  for (const Row& row : rows) {
    for (const char* reader : {"queryvalue", "queryvalueex", "getregvalue"}) {
      texts.push_back({KeyOf(row), row.value_name});
      requests.push_back(join_tab(Request(reader, texts.back())));
      labels.push_back(std::string(row.stored) + " / " + reader);
    }
  }
  const std::vector<std::string> wine = probe(requests, "registry");
  ASSERT_EQ(wine.size(), requests.size()) << read_text(work_ / "registry.err");
  EXPECT_TRUE(boxes_seen("registry").empty());

  for (std::size_t i = 0; i < requests.size(); ++i) {
    SCOPED_TRACE(labels[i]);
    // A fresh machine for every call, as the unit table has it.
    sim::Machine m = machine;
    sim::SimulatedPlatform p(m);
    std::vector<std::string> request = Request(requests[i].substr(0, requests[i].find('\t')), texts[i]);
    EXPECT_EQ(wine[i], simulated_answer(p, request));
  }
}

TEST_P(PlatformProbe, WindowsVersionNameAnswersAsTheSimulatedPlatformDoes) {
  for (const char* version : {"winxp", "winxp64", "win2k", "win7"}) {
    SCOPED_TRACE(version);
    // Per program, as the scenario runner does for Hotfix.exe.
    ASSERT_TRUE(prefix().set_value("HKCU\\Software\\Wine\\AppDefaults\\platform_probe.exe",
                                   "Version", "REG_SZ", version));
    const std::vector<std::string> wine = probe({"getos"}, std::string("getos-") + version);
    ASSERT_EQ(wine.size(), 1u);

    sim::Machine m;
    const auto named = sim::WindowsVersionNamed(version);
    ASSERT_TRUE(named);
    m.windows = *named;
    sim::SimulatedPlatform p(m);
    EXPECT_EQ(wine[0], simulated_answer(p, {"getos"}));
  }
  prefix().delete_key("HKCU\\Software\\Wine\\AppDefaults\\platform_probe.exe");
}

TEST_P(PlatformProbe, VersionDecoderAnswersAsTheSimulatedPlatformDoes) {
  const fs::path fixtures = fs::path(HOTFIX_SOURCE_DIR) / "tests/fixtures";
  // The files sit in a folder whose name needs the ANSI code page.
  const fs::path folder = work_ / "Caff\xC3\xA8";
  fs::create_directories(folder);
  fs::copy_file(fixtures / "trk_3_3_1000_0_x64.exe", folder / "trk_x64.exe");
  fs::copy_file(fixtures / "trk_3_3_1000_0_x86.exe", folder / "trk_x86.exe");
  fs::copy_file(fixtures / "no_version_x86.exe", folder / "no_version.exe");
  // Halves above 32767 read as negative parts.
  ASSERT_EQ(write_trk_with_version(fixtures / "trk_3_3_1000_0_x64.exe", folder / "trk_patched.exe",
                                   65535, 32768, 7, 40517),
            "");

  sim::Machine m;
  std::vector<Text> paths;
  for (const char* file : {"trk_x64.exe", "trk_x86.exe", "no_version.exe", "trk_patched.exe"}) {
    const Text path = platform::FromUtf8(prefix().windows_path(folder / file));
    paths.push_back(path);
    const auto resource = sim::ReadVersionResource((folder / file).string());
    if (resource) m.AddVersionedFile(path, *resource);
    else m.files[sim::NormalizePath(path)] = sim::SimFile{};
  }
  paths.push_back(platform::FromUtf8(prefix().windows_path(folder / "missing.exe")));

  std::vector<std::string> requests;
  for (const Text& path : paths) requests.push_back(join_tab(Request("verinfo", {path})));
  const std::vector<std::string> wine = probe(requests, "verinfo");
  ASSERT_EQ(wine.size(), requests.size()) << read_text(work_ / "verinfo.err");

  sim::SimulatedPlatform p(m);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    SCOPED_TRACE(platform::ToUtf8(paths[i]));
    EXPECT_EQ(wine[i], simulated_answer(p, Request("verinfo", {paths[i]})));
  }
  std::vector<std::string> simulated_boxes;
  for (const auto& box : p.observations().boxes) {
    EXPECT_EQ(box.style, platform::kMbOk);
    EXPECT_EQ(box.answer, platform::kIdOk);
    simulated_boxes.push_back(platform::ToUtf8(box.title) + " | " + platform::ToUtf8(box.text) +
                              " | OK=1 | OK");
  }
  EXPECT_EQ(boxes_seen("verinfo"), simulated_boxes);
}

INSTANTIATE_TEST_SUITE_P(Wine, PlatformProbe,
                         ::testing::Values(Arch::i686, Arch::x86_64), arch_test_name);

}  // namespace
}  // namespace wine_harness
