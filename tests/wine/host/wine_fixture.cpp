#include "wine_fixture.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <iostream>
#include <memory>

#include "progress.h"

namespace wine_harness {
namespace {

namespace fs = std::filesystem;

struct ArchState {
  bool tried = false;
  std::unique_ptr<WinePrefix> prefix;
  std::optional<std::string> cannot_run;  // this machine runs no such Wine
  std::optional<std::string> failure;     // the prefix could not be made ready
};

std::map<std::pair<std::string, Arch>, ArchState>& states() {
  static std::map<std::pair<std::string, Arch>, ArchState> all;
  return all;
}

// The wineservers are kept for the whole test program and ended here.
class StopWineServers : public ::testing::Environment {
 public:
  void TearDown() override {
    for (auto& [key, state] : states())
      if (state.prefix) state.prefix->stop();
    if (const int retries = WinePrefix::setup_retries(); retries > 0) {
      const std::string line = "wine harness: " + std::to_string(retries) +
                               " set-up step(s) retried after Wine itself failed (see above)";
      std::cout << line << std::endl;
      progress_line(line);
    }
  }
};

[[maybe_unused]] const auto* const stop_servers =
    ::testing::AddGlobalTestEnvironment(new StopWineServers);

// HOTFIX_WINE_BUILD_I686 (or _X86_64) names another folder with Hotfix.exe
// and the helpers: the release check runs the signed file this way.
fs::path build_dir(Arch arch) {
  const char* other = std::getenv(arch == Arch::i686 ? "HOTFIX_WINE_BUILD_I686" : "HOTFIX_WINE_BUILD_X86_64");
  if (other != nullptr && *other != '\0') return other;
  return fs::path(HOTFIX_SOURCE_DIR) / "build" / ("mingw-" + arch_name(arch));
}

// HOTFIX_WINE_STRICT=1 makes an architecture that cannot run here a failure.
bool strict() {
  const char* value = std::getenv("HOTFIX_WINE_STRICT");
  return value != nullptr && std::string(value) == "1";
}

}  // namespace

void HotfixWineTest::SetUp() {
  const Arch arch = GetParam();
  builds_.dir = build_dir(arch);
  if (!fs::exists(builds_.dir / "Hotfix.exe"))
    GTEST_SKIP() << "no " << arch_name(arch) << " build: " << (builds_.dir / "Hotfix.exe")
                 << " is missing (cmake --preset mingw-" << arch_name(arch)
                 << " && cmake --build --preset mingw-" << arch_name(arch) << ")";
  builds_.trk = fs::path(HOTFIX_SOURCE_DIR) / "tests/fixtures" /
                (arch == Arch::i686 ? "trk_3_3_1000_0_x86.exe" : "trk_3_3_1000_0_x64.exe");
  ASSERT_TRUE(fs::exists(builds_.trk)) << builds_.trk << " is missing";
  for (const char* helper : {"boxbot.exe", "stub.exe"})
    ASSERT_TRUE(fs::exists(builds_.dir / helper))
        << (builds_.dir / helper) << " is missing; build the mingw-" << arch_name(arch)
        << " preset fully";

  ReadyPrefix(arch, "wine", "harness", prefix_);
}

HotfixCase HotfixWineTest::hotfix_case() const {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string id = std::string(info->test_suite_name()) + "." + info->name();
  for (auto& c : id)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.') c = '_';
  return HotfixCase(*prefix_, builds_, id);
}

void ReadyPrefix(Arch arch, const std::string& root_name, const std::string& scratch,
                 WinePrefix*& prefix) {
  prefix = nullptr;
  auto& state = states()[{root_name, arch}];
  if (!state.tried) {
    state.tried = true;
    state.prefix = std::make_unique<WinePrefix>(
        arch, prefix_root(fs::path(HOTFIX_SOURCE_DIR) / "build", root_name));
    state.cannot_run = state.prefix->loader_problem();
    std::error_code ignored;
    fs::remove_all(state.prefix->drive_c() / scratch, ignored);
  }
  if (state.cannot_run) {
    if (strict()) FAIL() << *state.cannot_run;
    GTEST_SKIP() << *state.cannot_run;
  }
  // Again for every test: --gtest_repeat stops the servers between rounds.
  if (!state.failure) state.failure = state.prefix->start();
  ASSERT_FALSE(state.failure) << *state.failure;
  prefix = state.prefix.get();
}

std::string arch_test_name(const ::testing::TestParamInfo<Arch>& info) {
  return arch_name(info.param);
}

}  // namespace wine_harness
