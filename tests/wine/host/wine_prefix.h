// One Wine prefix per architecture, made once and kept under build/wine/,
// with a persistent wineserver while the tests run. Where HOTFIX_WINE_TEMPLATE
// holds a prefix already booted for the architecture, it is copied instead of
// running wineboot (minutes under emulation).
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "process.h"

namespace wine_harness {

// Files a case hides are renamed with this ending and renamed back after it.
inline constexpr const char* kHiddenSuffix = ".hidden-by-hotfix-tests";

// Wine's messages for set-up steps: every error and warning (a file not
// found, a DLL it could not load, an exception, its server lost), so that a
// failed step shows whether Wine or the step itself went wrong. Warnings are
// a dozen lines a run; +loaddll would be two hundred.
inline constexpr const char* kSetupDebug = "err+all,warn+all,fixme-all";

// Wine's channels for a run of Hotfix.exe itself: the calls it makes (+relay,
// for the functions the prefix lists), and why Wine failed one of them.
inline constexpr const char* kRunDebug = "-all,+pid,+relay,err+all,warn+process";

// A failed step's account: what ran, how it ended, the end of its output and
// of Wine's messages.
std::string describe_step(const std::string& command, const ProcessResult& result,
                          const std::filesystem::path& stdout_path,
                          const std::filesystem::path& stderr_path);

// The line of Wine's messages that puts a failure down to Wine itself, or
// empty when they show none.
std::string wine_fault(const std::string& messages);

enum class Arch { i686, x86_64 };

std::string arch_name(Arch arch);

// Where the prefixes named `name` live: build_dir/name, or HOTFIX_WINE_ROOT/name
// where that is set (the 32-bit lane keeps them on the guest's own disk).
std::filesystem::path prefix_root(const std::filesystem::path& build_dir, const std::string& name);

class WinePrefix {
 public:
  WinePrefix(Arch arch, std::filesystem::path root);
  ~WinePrefix();
  WinePrefix(const WinePrefix&) = delete;
  WinePrefix& operator=(const WinePrefix&) = delete;

  // Why this machine cannot run this architecture's Wine loader, if it cannot.
  std::optional<std::string> loader_problem() const;
  // Makes the prefix if it is missing or stale and starts its wineserver
  // unless it runs already; returns what went wrong, if anything did.
  std::optional<std::string> start();
  void stop();

  Arch arch() const { return arch_; }
  const std::filesystem::path& drive_c() const { return drive_c_; }

  // A program run by the Wine loader; env adds to the usual WINEPREFIX and
  // WINEDEBUG=-all. Output goes to the given files.
  ProcessResult wine(const std::vector<std::string>& args,
                     const std::map<std::string, std::optional<std::string>>& env,
                     const std::filesystem::path& stdout_path,
                     const std::filesystem::path& stderr_path,
                     std::chrono::milliseconds timeout) const;

  // `reg add` / `reg delete` of one value; type is REG_SZ, REG_DWORD, ...
  bool set_value(const std::string& key, const std::string& name, const std::string& type,
                 const std::string& data) const;
  bool delete_value(const std::string& key, const std::string& name) const;
  bool delete_key(const std::string& key) const;  // with everything below it
  // `regedit /E`: the key and everything below it, as a REGEDIT5 (UTF-16) file.
  bool export_registry(const std::string& key, const std::filesystem::path& reg_file) const;
  const std::filesystem::path& prefix_dir() const { return prefix_; }
  bool import_registry(const std::filesystem::path& reg_file) const;  // `reg import`
  // A set-up step: a Wine program (reg, regedit, ...) run with Wine's own
  // error messages on (kSetupDebug). A failure is tried again, once at most
  // and counted, only when Wine's messages show that Wine itself failed.
  bool run_tool(const std::vector<std::string>& args, int attempts) const;
  // Why the last set-up step failed: its command, how it ended, its output
  // and Wine's messages. Empty when the last one succeeded.
  const std::string& last_tool_failure() const { return last_tool_failure_; }
  // Set-up steps tried again in this program so far, every prefix together.
  static int setup_retries();
  // The process id of the prefix's wineserver; 0 when none runs.
  int server_pid() const;

  // Waits for the programs a case left behind (an installer still running,
  // the session end that a restart request starts) and kills those that do
  // not end in time, so one case cannot reach into the next.
  std::vector<std::string> settle(std::chrono::milliseconds limit) const;

  // C:\... for a file inside drive_c, Z:\... for any other host file.
  std::string windows_path(const std::filesystem::path& host) const;

 private:
  bool ready_marker_current() const;
  void restore_hidden_files() const;
  std::optional<std::string> create();
  std::optional<std::string> start_desktop() const;
  // How the wineserver with this process id ended, if it did; empty when it
  // still runs (or `server` is 0).
  std::string server_end(int server) const;
  // Whether wineserver `server` still takes new programs (not ending).
  bool server_accepts(int server) const;

  Arch arch_;
  std::filesystem::path prefix_;
  std::filesystem::path drive_c_;
  std::string loader_;
  std::string wineserver_;
  bool server_running_ = false;
  mutable std::string last_tool_failure_;
};

}  // namespace wine_harness
