// Hotfix itself writes nothing to the machine: no registry value, no file.
// What the installers do is theirs; here they are stubs that only append to
// their log. The registry (HKLM, HKCU) and every file on drive C: are taken
// just before Hotfix.exe starts and again once all it started has ended.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <regex>
#include <set>

#include "hotfix_words.h"
#include "platform/text.h"
#include "process.h"
#include "trk_variant.h"
#include "wine_fixture.h"

namespace wine_harness {
namespace {

namespace fs = std::filesystem;

class NothingWritten : public HotfixWineTest {};

std::string utf16le_to_utf8(const std::string& bytes) {
  std::u16string units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (unit != 0xFEFF) units += unit;
  }
  return platform::ToUtf8(units);
}

// Every value of an export as "[key] name=data", continuation lines joined;
// a key without values is listed as "[key]".
std::set<std::string> registry_entries(const fs::path& export_file) {
  std::set<std::string> out;
  const std::string text = utf16le_to_utf8(read_text(export_file));
  std::string key, pending;
  size_t begin = 0;
  for (size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1) {
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!pending.empty()) {
      line = pending + line.substr(line.find_first_not_of(' '));
      pending.clear();
    }
    if (!line.empty() && line.back() == '\\' && line.front() != '[') {
      pending = line.substr(0, line.size() - 1);
      continue;
    }
    if (line.empty() || line.rfind("Windows Registry Editor", 0) == 0) continue;
    if (line.front() == '[') {
      key = line;
      out.insert(key);
    } else {
      out.insert(key + " " + line);
    }
  }
  return out;
}

struct Snapshot {
  std::set<std::string> registry;
  std::map<std::string, std::string> files;  // drive_c path -> size and time
};

struct Change {
  std::string what;  // "+" added, "-" removed, "~" changed
  std::string item;
};

class Machine {
 public:
  Machine(const WinePrefix& prefix, fs::path dir) : prefix_(prefix), dir_(std::move(dir)) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }

  Snapshot take(const std::string& name) const {
    Snapshot shot;
    for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"}) {
      const fs::path file = dir_ / (name + "-" + root + ".reg");
      EXPECT_TRUE(prefix_.export_registry(root, file)) << "regedit /E " << root;
      const auto entries = registry_entries(file);
      EXPECT_GT(entries.size(), 100u) << file;
      for (const auto& entry : entries) shot.registry.insert(entry);
    }
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(prefix_.drive_c(), error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
      if (error) break;
      if (it->is_symlink() || !it->is_regular_file()) continue;
      const auto stat = fs::last_write_time(it->path(), error);
      shot.files[fs::relative(it->path(), prefix_.drive_c()).string()] =
          std::to_string(it->file_size(error)) + " " +
          std::to_string(stat.time_since_epoch().count());
    }
    return shot;
  }

 private:
  const WinePrefix& prefix_;
  fs::path dir_;
};

std::vector<Change> changes(const Snapshot& before, const Snapshot& after) {
  std::vector<Change> out;
  for (const auto& entry : after.registry)
    if (!before.registry.count(entry)) out.push_back({"+", "registry " + entry});
  for (const auto& entry : before.registry)
    if (!after.registry.count(entry)) out.push_back({"-", "registry " + entry});
  for (const auto& [path, stat] : after.files) {
    const auto old = before.files.find(path);
    if (old == before.files.end()) out.push_back({"+", "file " + path});
    else if (old->second != stat) out.push_back({"~", "file " + path});
  }
  for (const auto& [path, stat] : before.files)
    if (!after.files.count(path)) out.push_back({"-", "file " + path});
  return out;
}

// What others write during a run, and nothing more:
// - the harness: files in the case's own folder (boxbot's log, the stubs'
//   log, Wine's output);
// - Wine's output files of earlier cases: background services started during
//   an earlier case keep that case's stderr and may still write to it;
// - Wine: a desktop made anew (after a session ended) registers its display
//   driver under a fresh GUID, Video\{GUID} and Video\{GUID}\0000 with
//   "GraphicsDriver"="null", and an ended desktop's entry goes; or it stamps
//   the display adapter's "DriverDateData" with the time it was made (seen
//   when a slow machine, such as the 32-bit lane's emulated guest, lets the
//   desktop end between two programs).
bool allowed(const Change& change, const std::string& case_folder) {
  static const std::regex wine_video(
      R"(registry \[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Video\\)"
      R"(\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\}(\\0000)?\])"
      R"(( "GraphicsDriver"="null")?)");
  static const std::regex wine_driver_date(
      R"(registry \[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\)"
      R"((Class\\\{4D36E968-E325-11CE-BFC1-08002BE10318\}|)"
      R"(Video\\\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\})\\0000\])"
      R"( "DriverDateData"=hex:([0-9a-f]{2},){7}[0-9a-f]{2})");
  if (change.what != "~" && std::regex_match(change.item, wine_driver_date)) return true;
  static const std::regex earlier_output(R"(file harness/[^/]+/wine\.(err|out))");
  if (change.what != "~" && std::regex_match(change.item, wine_video)) return true;
  if (change.what == "~" && std::regex_match(change.item, earlier_output)) return true;
  return change.item.rfind("file " + case_folder + "/", 0) == 0;
}

void expect_nothing_written(HotfixCase& hotfix, const WinePrefix& prefix,
                            const std::vector<std::string>& answers, unsigned long exit_code) {
  const std::string case_folder = fs::relative(hotfix.work_dir(), prefix.drive_c()).string();
  Machine machine(prefix, fs::path(HOTFIX_BINARY_DIR) / "wine-snapshots" / case_folder);
  Snapshot before, after;
  const HotfixRun run = hotfix.answers(answers)
                            .on_laid_out([&] { before = machine.take("before"); })
                            .on_ended([&] { after = machine.take("after"); })
                            .run();
  ASSERT_EQ(run.exit_code, exit_code) << run.transcript;
  ASSERT_FALSE(before.files.empty());
  std::string unexpected;
  for (const auto& change : changes(before, after))
    if (!allowed(change, case_folder)) unexpected += change.what + " " + change.item + "\n";
  EXPECT_EQ(unexpected, "") << run.transcript;
}

// The comparison itself: a value and a file written during the run are seen.
TEST_P(NothingWritten, TheComparisonSeesWritesMadeDuringTheRun) {
  auto hotfix = hotfix_case();
  const std::string case_folder = fs::relative(hotfix.work_dir(), prefix().drive_c()).string();
  Machine machine(prefix(), fs::path(HOTFIX_BINARY_DIR) / "wine-snapshots" / case_folder);
  Snapshot before, after;
  const HotfixRun run =
      hotfix.answers({"no"})
          .on_laid_out([&] { before = machine.take("before"); })
          .on_ended([&] {
            prefix().set_value("HKCU\\Software\\HotfixControl", "written", "REG_SZ", "1");
            std::ofstream(prefix().drive_c() / "hotfix-control.txt") << "written";
            after = machine.take("after");
            prefix().delete_key("HKCU\\Software\\HotfixControl");
            fs::remove(prefix().drive_c() / "hotfix-control.txt");
          })
          .run();
  std::set<std::string> seen;
  for (const auto& change : changes(before, after))
    if (!allowed(change, case_folder)) seen.insert(change.what + " " + change.item);
  EXPECT_EQ(seen, (std::set<std::string>{
                      "+ file hotfix-control.txt",
                      "+ registry [HKEY_CURRENT_USER\\Software\\HotfixControl]",
                      "+ registry [HKEY_CURRENT_USER\\Software\\HotfixControl] \"written\"=\"1\""}))
      << run.transcript;
}

TEST_P(NothingWritten, WhenTheFixAppliesAndNoRestartIsWanted) {
  auto hotfix = hotfix_case();
  expect_nothing_written(hotfix, prefix(), {"no"}, kRestartRequired);
}

TEST_P(NothingWritten, WhenTheFixDoesNotApply) {
  const auto variant = fs::path(HOTFIX_BINARY_DIR) / "wine-fixtures" /
                       ("trk_3_3_1000_1_" + arch_name(GetParam()) + ".exe");
  ASSERT_EQ(write_trk_with_version(builds().trk, variant, 3, 3, 1000, 1), "");
  auto hotfix = hotfix_case().file(kTrkWindowsPath, variant);
  expect_nothing_written(hotfix, prefix(), {"ok"}, kNotApplicable);
}

HOTFIX_WINE_TEST_SUITE(NothingWritten);

}  // namespace
}  // namespace wine_harness
