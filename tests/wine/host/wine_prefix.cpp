#include "wine_prefix.h"

#include "pace.h"
#include "progress.h"

#include <signal.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <thread>

namespace wine_harness {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

struct ArchSetup {
  const char* winearch;
  const char* version;
  std::vector<const char*> loaders;  // the first that exists is used
};

ArchSetup setup_of(Arch arch) {
  if (arch == Arch::i686) return {"win32", "winxp", {"/usr/lib/wine/wine", "wine"}};
  return {"win64", "winxp64", {"/usr/lib/wine/wine64", "wine64", "wine"}};
}

// Functions whose calls a case may ask to see (Wine reads this list from the
// registry, not from the environment). It costs nothing without +relay.
constexpr const char* kRelayInclude =
    "ExitWindowsEx;AdjustTokenPrivileges;LookupPrivilegeValueA;LookupPrivilegeValueW;"
    "OpenProcessToken;MessageBoxW;MessageBoxA;CreateProcessW;CreateProcessA;"
    "OutputDebugStringW;OutputDebugStringA;"
    "RegOpenKeyExA;RegOpenKeyA;RegQueryValueExA;RegCloseKey;GetVersionExA;"
    "GetFileVersionInfoSizeA;GetFileVersionInfoA;VerQueryValueA;LoadLibraryW;LoadLibraryA;"
    "OpenProcess;WaitForSingleObject;CloseHandle;GetLastError";

// Raised when the prefix settings change, so old prefixes are made anew.
constexpr const char* kLayout = "hotfix-wine-prefix 3";

std::string settings_reg(const ArchSetup& setup) {
  return std::string("REGEDIT4\r\n\r\n") +
         "[HKEY_CURRENT_USER\\Software\\Wine]\r\n\"Version\"=\"" + setup.version + "\"\r\n\r\n" +
         // Headless: no X server is needed for windows and message boxes.
         "[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\r\n\"Graphics\"=\"null\"\r\n\r\n" +
         "[HKEY_CURRENT_USER\\Software\\Wine\\Debug]\r\n\"RelayInclude\"=\"" + kRelayInclude +
         "\"\r\n\r\n" +
         // A crash must end the program, not wait for someone to close a dialog.
         "[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n\"ShowCrashDialog\"=dword:00000000\r\n";
}

std::string marker_text(Arch arch) {
  return std::string(kLayout) + " " + arch_name(arch) + " " + setup_of(arch).version + "\n";
}

// Programs Wine keeps running for the whole session; they are not a case's.
bool background_program(const std::string& name) {
  static const std::set<std::string> names = {
      "services.exe", "winedevice.exe", "plugplay.exe", "svchost.exe",
      "rpcss.exe",    "explorer.exe",   "conhost.exe",  "tabtip.exe"};
  return names.count(name) != 0;
}

std::string file_text(const fs::path& file) { return read_text(file); }

std::string join_words(const std::vector<std::string>& words) {
  std::string out;
  for (const auto& word : words) out += (out.empty() ? "" : " ") + word;
  return out;
}

struct WineProcess {
  int pid;
  std::string name;
};

// Live processes of this prefix, by the WINEPREFIX each was started with;
// its wineserver is named "wineserver".
std::vector<WineProcess> prefix_processes(const fs::path& prefix) {
  std::vector<WineProcess> out;
  const std::string wanted = "WINEPREFIX=" + prefix.string();
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const std::string pid = entry.path().filename();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string stat = file_text(entry.path() / "stat");
    const size_t state_at = stat.rfind(") ");
    if (state_at == std::string::npos || stat[state_at + 2] == 'Z') continue;
    const std::string environ = file_text(entry.path() / "environ");
    bool ours = false;
    for (size_t begin = 0, end; begin < environ.size(); begin = end + 1) {
      end = environ.find('\0', begin);
      if (end == std::string::npos) end = environ.size();
      if (environ.compare(begin, end - begin, wanted) == 0) ours = true;
    }
    if (!ours) continue;
    std::string command = file_text(entry.path() / "cmdline");
    command = command.substr(0, command.find('\0'));
    if (command.find("wineserver") != std::string::npos) {
      out.push_back({std::stoi(pid), "wineserver"});
      continue;
    }
    std::string name = command.substr(command.find_last_of("\\/") + 1);
    for (auto& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    out.push_back({std::stoi(pid), name});
  }
  return out;
}

std::string tail_of(const std::string& text, size_t size) {
  return text.size() <= size ? text : "..." + text.substr(text.size() - size);
}

int retries = 0;

}  // namespace

std::string describe_step(const std::string& command, const ProcessResult& result,
                          const fs::path& stdout_path, const fs::path& stderr_path) {
  std::string out = "`" + command + "` " + how_it_ended(result);
  const std::string output = stdout_path.empty() ? "" : file_text(stdout_path);
  const std::string messages =
      stderr_path.empty() || stderr_path == stdout_path ? "" : file_text(stderr_path);
  out += "\n  its output: " + (output.empty() ? "(none)" : tail_of(output, 2000));
  out += "\n  its errors and Wine's messages: " +
         (messages.empty() ? "(none)" : tail_of(messages, 4000));
  if (const std::string fault = wine_fault(output + messages); !fault.empty())
    out += "\n  Wine itself failed: " + fault;
  return out;
}

std::string wine_fault(const std::string& messages) {
  // Said by Wine's loader, its server connection or its exception handling,
  // never by the program a step runs.
  static const char* const signs[] = {
      "wine client error", "wine: could not", "wine: failed", "Unhandled exception",
      "Unhandled page fault", "err:module:", "err:virtual:", "err:seh:", "err:process:",
      "err:sync:", "err:ntdll:", "err:server:"};
  size_t begin = 0;
  for (size_t end; begin < messages.size(); begin = end + 1) {
    end = messages.find('\n', begin);
    if (end == std::string::npos) end = messages.size();
    const std::string line = messages.substr(begin, end - begin);
    for (const char* sign : signs)
      if (line.find(sign) != std::string::npos) return line;
  }
  return "";
}

int WinePrefix::setup_retries() { return retries; }

int WinePrefix::server_pid() const {
  for (const auto& process : prefix_processes(prefix_))
    if (process.name == "wineserver") return process.pid;
  return 0;
}

std::string arch_name(Arch arch) { return arch == Arch::i686 ? "i686" : "x86_64"; }

fs::path prefix_root(const fs::path& build_dir, const std::string& name) {
  const char* root = std::getenv("HOTFIX_WINE_ROOT");
  return (root != nullptr && *root != '\0' ? fs::path(root) : build_dir) / name;
}

WinePrefix::WinePrefix(Arch arch, fs::path root)
    : arch_(arch), prefix_(std::move(root) / arch_name(arch)), drive_c_(prefix_ / "drive_c") {
  for (const char* candidate : setup_of(arch).loaders) {
    loader_ = find_program(candidate);
    if (!loader_.empty()) break;
  }
  wineserver_ = find_program("wineserver");
}

WinePrefix::~WinePrefix() { stop(); }

ProcessResult WinePrefix::wine(const std::vector<std::string>& args,
                               const std::map<std::string, std::optional<std::string>>& env,
                               const fs::path& stdout_path, const fs::path& stderr_path,
                               std::chrono::milliseconds timeout) const {
  Command command;
  command.argv = {loader_};
  command.argv.insert(command.argv.end(), args.begin(), args.end());
  command.env = {{"WINEPREFIX", prefix_.string()},
              {"WINEARCH", setup_of(arch_).winearch},
              {"WINEDEBUG", "-all"},
              {"DISPLAY", std::nullopt},
              {"WAYLAND_DISPLAY", std::nullopt}};
  for (const auto& [name, value] : env) command.env[name] = value;
  // Not the program's folder: programs must find their files by their own path.
  command.cwd = fs::exists(drive_c_) ? drive_c_ : prefix_.parent_path();
  command.stdout_path = stdout_path;
  command.stderr_path = stderr_path;
  command.timeout = timeout;
  ProcessResult result = run_process(command);
  // Wine's loader, before any code of the program, sometimes cannot place
  // the page it shares with every program (seen once in some thousand
  // starts, this Wine having no preloader to reserve it). Nothing has run,
  // so the start is made again, once, and counted with the set-up retries.
  constexpr std::string_view kNoSharedPage = "failed to map the shared user data";
  const fs::path& messages = stderr_path.empty() ? stdout_path : stderr_path;
  if (!messages.empty() && result.exit_code != 0 &&
      file_text(messages).find(kNoSharedPage) != std::string::npos) {
    ++retries;
    std::cerr << "wine harness: program start made again (retry " << retries
              << " of this run), as Wine's loader failed before the program ran: `"
              << join_words(command.argv) << "`: " << file_text(messages) << '\n';
    progress_line("wine harness: program start made again: Wine's loader failed before the program ran");
    result = run_process(command);
  }
  return result;
}

bool WinePrefix::ready_marker_current() const {
  return file_text(prefix_ / ".hotfix-harness") == marker_text(arch_) &&
         fs::exists(prefix_ / "system.reg");
}

std::optional<std::string> WinePrefix::create() {
  const fs::path root = prefix_.parent_path();
  const std::string name = arch_name(arch_);
  const fs::path log = root / (name + "-setup.log");
  run_process({{wineserver_, "-k"}, {{"WINEPREFIX", prefix_.string()}}, {}, {}, {}, 30s});
  std::error_code ignored;
  fs::remove_all(prefix_, ignored);
  fs::create_directories(root);

  const char* templates = std::getenv("HOTFIX_WINE_TEMPLATE");
  const fs::path from = templates != nullptr ? fs::path(templates) / name : fs::path();
  if (!from.empty() && fs::exists(from / "system.reg")) {
    const std::vector<std::string> cp = {"cp", "-a", from.string(), prefix_.string()};
    const auto copy = run_process({cp, {}, {}, log, log, 300s});
    if (copy.exit_code != 0)
      return "copying the Wine prefix failed: " + describe_step(join_words(cp), copy, log, {});
  } else {
    // Mono and Gecko would be offered for download; the tests need neither.
    const auto boot = wine({"wineboot", "-i"},
                           {{"WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d"},
                            {"WINEDEBUG", kSetupDebug}},
                           log, log, 300s);
    if (boot.exit_code != 0)
      return "making the " + name + " Wine prefix failed: " +
             describe_step("wine wineboot -i", boot, log, {});
  }

  const fs::path settings = root / (name + "-settings.reg");
  std::ofstream(settings, std::ios::binary) << settings_reg(setup_of(arch_));
  if (!import_registry(settings))
    return "importing " + settings.string() + " into the prefix failed: " + last_tool_failure_;

  // Let the session end so the registry is written to disk.
  run_process({{wineserver_, "-w"}, {{"WINEPREFIX", prefix_.string()}}, {}, {}, {}, 120s});
  std::ofstream(prefix_ / ".hotfix-harness") << marker_text(arch_);
  return std::nullopt;
}

std::optional<std::string> WinePrefix::loader_problem() const {
  if (loader_.empty()) return "no Wine loader for " + arch_name(arch_) + " found";
  const auto probe = run_process({{loader_, "--version"}, {}, {}, {}, {}, 30s});
  if (probe.exit_code == 0) return std::nullopt;
  return "the Wine loader " + loader_ + " cannot run on this machine (" + probe.failure +
         (arch_ == Arch::i686
              ? "); 32-bit Windows programs need a kernel that runs 32-bit Linux programs"
              : ")");
}

std::optional<std::string> WinePrefix::start() {
  if (server_running_) return std::nullopt;
  const std::string name = arch_name(arch_);
  if (wineserver_.empty()) return "wineserver not found";
  restore_hidden_files();
  if (!ready_marker_current())
    if (auto problem = create()) return problem;

  // Kept between cases; if this program dies without stopping it, it still
  // ends by itself an hour after its last program. Not sooner: a prefix sits
  // idle while other suites run (minutes, under load or in the lane), and a
  // server that shuts down meanwhile kills the program that starts as it
  // does, silently, with exit status 1.
  run_process({{wineserver_, "-p3600"}, {{"WINEPREFIX", prefix_.string()}}, {}, {}, {}, 30s});
  server_running_ = true;
  // The first program of a session starts Wine's background services; they
  // keep this program's output files, so give them a log of their own.
  const fs::path log = prefix_.parent_path() / (name + "-session.log");
  const fs::path err = log.string() + ".err";
  const auto query = wine({"reg", "query", "HKCU\\Software\\Wine\\Drivers", "/v", "Graphics"},
                          {{"WINEDEBUG", kSetupDebug}}, log, err, 120s);
  if (query.exit_code != 0)
    return "the " + name + " prefix's first program failed: " +
           describe_step("wine reg query HKCU\\Software\\Wine\\Drivers", query, log, err);
  if (file_text(log).find("null") == std::string::npos)
    return "the " + name + " prefix does not use the null display driver, see " + log.string();
  return start_desktop();
}

// Wine starts its desktop (explorer.exe /desktop, which loads the display
// driver) for the first program of a session that needs a window, and waits
// only 10 s for it. Under heavy load that is too short: the program then runs
// without a driver and every box it shows fails at once ("The explorer
// process failed to start."). So the session starts the desktop first, with
// a helper that is run again until it gets a window; once up, the desktop
// stays for the session.
std::optional<std::string> WinePrefix::start_desktop() const {
#ifdef HOTFIX_SOURCE_DIR
  const fs::path helper =
      fs::path(HOTFIX_SOURCE_DIR) / "build" / ("mingw-" + arch_name(arch_)) / "desktop.exe";
  if (!fs::exists(helper)) return std::nullopt;  // a partial build: the cases will tell
  const fs::path tools = drive_c_ / "harness-tools";
  std::error_code error;
  fs::create_directories(tools, error);
  fs::copy_file(helper, tools / "desktop.exe", fs::copy_options::overwrite_existing, error);
  if (error) return "could not copy " + helper.string() + " into the prefix: " + error.message();
  const fs::path out = prefix_.parent_path() / (arch_name(arch_) + "-desktop.out");
  const fs::path err = prefix_.parent_path() / (arch_name(arch_) + "-desktop.err");
  const auto until = std::chrono::steady_clock::now() + scaled(120s);
  const std::string wait = std::to_string(scaled(20s).count());
  for (int attempt = 1;; ++attempt) {
    const auto result = wine({windows_path(tools / "desktop.exe"), wait},
                             {{"WINEDEBUG", kSetupDebug}}, out, err, 60s + scaled(20s));
    const std::string messages = file_text(err);
    if (result.exit_code == 0 && messages.find("failed to start") == std::string::npos) return std::nullopt;
    const std::string step = describe_step("wine desktop.exe", result, out, err);
    if (std::chrono::steady_clock::now() >= until)
      return "Wine's desktop did not start in " + std::to_string(attempt) + " attempts: " + step;
    // Waiting for Wine to come up, not a failed step: not counted as a retry.
    progress_line("wine harness: Wine's desktop not up yet (attempt " + std::to_string(attempt) +
                  "), trying again");
  }
#else
  return std::nullopt;
#endif
}

// A test program that was stopped in the middle of a case may have left
// Windows files renamed away.
void WinePrefix::restore_hidden_files() const {
  const std::string suffix = kHiddenSuffix;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(drive_c_ / "windows", error)) {
    const std::string path = entry.path().string();
    if (path.size() > suffix.size() && path.ends_with(suffix))
      fs::rename(entry.path(), path.substr(0, path.size() - suffix.size()), error);
  }
}

void WinePrefix::stop() {
  if (!server_running_) return;
  run_process({{wineserver_, "-k"}, {{"WINEPREFIX", prefix_.string()}}, {}, {}, {}, 30s});
  server_running_ = false;
  reap_orphans(5s);
}

// Sets up the machine for a case; Hotfix.exe is not involved. Deletes are
// tried once and fail quietly: tests delete what may well be absent.
bool WinePrefix::run_tool(const std::vector<std::string>& args, int attempts) const {
  const fs::path out = prefix_.parent_path() / (arch_name(arch_) + "-tool.out");
  const fs::path err = prefix_.parent_path() / (arch_name(arch_) + "-tool.err");
  const std::string command = "wine " + join_words(args);
  for (int attempt = 1;; ++attempt) {
    const int server = server_pid();
    const auto result = wine(args, {{"WINEDEBUG", kSetupDebug}}, out, err, 60s);
    // A program cut off by its server's end may even exit 0, so a success
    // counts only where the server still takes programs.
    const bool closing = server != 0 && !server_accepts(server);
    if (result.exit_code == 0 && !closing) {
      last_tool_failure_.clear();
      return true;
    }
    // A Wine program whose wineserver is ended under it (`wineserver -k`, a
    // crash) exits 1 (or 0) and says nothing, even with every debug channel
    // on: only the server's end tells why. The server ends its programs first
    // and its own process after saving the registry, so it is given a moment,
    // a longer one where it is known to be ending.
    std::string ended;
    for (const auto until = std::chrono::steady_clock::now() + scaled(closing ? 30s : 3s);
         ended.empty() && std::chrono::steady_clock::now() < until;
         std::this_thread::sleep_for(50ms))
      ended = server_end(server);
    if (closing && ended.empty())
      ended = "the prefix's wineserver (pid " + std::to_string(server) +
              ") stopped taking programs during the step";
    last_tool_failure_ = describe_step(command, result, out, err);
    std::string fault = wine_fault(file_text(out) + file_text(err));
    if (!ended.empty()) {
      fault = ended;
      last_tool_failure_ += "\n  Wine itself failed: " + ended;
    }
    if (attempt >= attempts || fault.empty()) return false;
    if (server_pid() == 0) {
      run_process({{wineserver_, "-p3600"}, {{"WINEPREFIX", prefix_.string()}}, {}, {}, {}, 30s});
      start_desktop();  // a new session: its desktop first, as in start()
    }
    ++retries;
    std::cerr << "wine harness: set-up step retried (retry " << retries
              << " of this run), as Wine itself failed: " << last_tool_failure_ << '\n';
    progress_line("wine harness: set-up step retried (retry " + std::to_string(retries) +
                  "): " + fault);
  }
}

bool WinePrefix::set_value(const std::string& key, const std::string& name,
                           const std::string& type, const std::string& data) const {
  return run_tool({"reg", "add", key, "/v", name, "/t", type, "/d", data, "/f"}, 2);
}

bool WinePrefix::import_registry(const fs::path& reg_file) const {
  return run_tool({"reg", "import", windows_path(reg_file)}, 2);
}

bool WinePrefix::delete_value(const std::string& key, const std::string& name) const {
  return run_tool({"reg", "delete", key, "/v", name, "/f"}, 1);
}

bool WinePrefix::delete_key(const std::string& key) const {
  return run_tool({"reg", "delete", key, "/f"}, 1);
}

bool WinePrefix::export_registry(const std::string& key, const fs::path& reg_file) const {
  return run_tool({"regedit", "/E", windows_path(reg_file), key}, 2) && fs::exists(reg_file);
}

// On SIGINT or its own shutdown a wineserver first closes its listening
// socket, then ends its programs and saves the registry before it ends. So it
// takes programs exactly while one of its descriptors is a socket that
// /proc/net/unix lists as listening (flag __SO_ACCEPTCON, 00010000).
bool WinePrefix::server_accepts(int server) const {
  std::set<std::string> sockets;
  std::error_code error;
  for (fs::directory_iterator fd("/proc/" + std::to_string(server) + "/fd", error), end;
       !error && fd != end; fd.increment(error)) {
    const std::string target = fs::read_symlink(fd->path(), error).string();
    if (!error && target.starts_with("socket:[") && target.ends_with("]"))
      sockets.insert(target.substr(8, target.size() - 9));
    error.clear();
  }
  std::ifstream table("/proc/net/unix");
  for (std::string line; std::getline(table, line);) {
    std::istringstream fields(line);
    std::string slot, refs, protocol, flags, type, state, inode;
    if (fields >> slot >> refs >> protocol >> flags >> type >> state >> inode &&
        flags == "00010000" && sockets.contains(inode))
      return true;
  }
  return false;
}

std::string WinePrefix::server_end(int server) const {
  if (server == 0) return "";
  const int now = server_pid();
  if (now == server) return "";
  std::string ended = how_orphan_ended(server);
  return "the prefix's wineserver (pid " + std::to_string(server) + ") ended during the step" +
         (ended.empty() ? "" : ": it " + ended) +
         (now != 0 ? "; another one (pid " + std::to_string(now) + ") runs now" : "");
}

std::vector<std::string> WinePrefix::settle(std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + scaled(limit);
  for (;;) {
    std::vector<WineProcess> left;
    for (const auto& process : prefix_processes(prefix_))
      if (!background_program(process.name) && process.name != "wineserver")
        left.push_back(process);
    if (left.empty()) return {};
    if (std::chrono::steady_clock::now() > deadline) {
      std::vector<std::string> names;
      for (const auto& process : left) {
        kill(process.pid, SIGKILL);
        names.push_back(process.name);
      }
      return names;
    }
    std::this_thread::sleep_for(20ms);
  }
}

std::string WinePrefix::windows_path(const fs::path& host) const {
  const fs::path absolute = fs::absolute(host).lexically_normal();
  const fs::path relative = absolute.lexically_relative(drive_c_);
  std::string text;
  if (!relative.empty() && *relative.begin() != "..") text = "C:\\" + relative.string();
  else text = "Z:" + absolute.string();
  for (auto& c : text)
    if (c == '/') c = '\\';
  return text;
}

}  // namespace wine_harness
