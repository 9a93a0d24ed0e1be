#include "process.h"

#include "pace.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

extern char** environ;

namespace wine_harness {
namespace {

std::vector<std::string> merged_environment(
    const std::map<std::string, std::optional<std::string>>& changes) {
  std::vector<std::string> out;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    if (changes.count(name) == 0) out.push_back(text);
  }
  for (const auto& [name, value] : changes)
    if (value) out.push_back(name + "=" + *value);
  return out;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (auto& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

void redirect(int fd, const std::filesystem::path& path) {
  const std::string target = path.empty() ? "/dev/null" : path.string();
  const int file = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (file >= 0) {
    dup2(file, fd);
    close(file);
  }
}

}  // namespace

std::string find_program(const std::string& name) {
  if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = dir + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

std::string read_text(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream out;
  out << in.rdbuf();
  return out.str();
}

namespace {

// The last adopted processes reaped, with their wait status.
std::map<int, int>& reaped() {
  static std::map<int, int> statuses;
  return statuses;
}

void note_reaped(pid_t pid, int status) {
  auto& statuses = reaped();
  if (statuses.size() > 256) statuses.erase(statuses.begin());
  statuses[pid] = status;
}

std::string killed_by(int signal) {
  return "was killed by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
}

std::string describe_status(int status) {
  if (WIFSIGNALED(status)) return killed_by(WTERMSIG(status));
  return "exited " + std::to_string(WEXITSTATUS(status));
}

}  // namespace

void adopt_orphans() {
  static const bool adopted = prctl(PR_SET_CHILD_SUBREAPER, 1) == 0;
  (void)adopted;
}

void reap_orphans(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    const pid_t done = waitpid(-1, &status, WNOHANG);
    if (done < 0) return;  // no children left
    if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    else note_reaped(done, status);
  }
}

std::string how_orphan_ended(int pid) {
  const auto found = reaped().find(pid);
  return found == reaped().end() ? "" : describe_status(found->second);
}

ProcessResult run_process(const Command& command) {
  adopt_orphans();
  ProcessResult result;
  const std::string program = find_program(command.argv.at(0));
  if (program.empty()) {
    result.failure = command.argv[0] + ": not found";
    return result;
  }
  std::vector<std::string> args = command.argv;
  std::vector<std::string> env = merged_environment(command.env);
  std::vector<char*> argv = pointers(args);
  std::vector<char*> envp = pointers(env);

  // The child reports a failed exec through this pipe; a clean exec closes it.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    result.failure = "pipe failed";
    return result;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    const int in = open("/dev/null", O_RDONLY);
    dup2(in, 0);
    redirect(1, command.stdout_path);
    redirect(2, command.stderr_path);
    if (command.cwd.empty() || chdir(command.cwd.c_str()) == 0)
      execve(program.c_str(), argv.data(), envp.data());
    const int error = errno;
    [[maybe_unused]] const auto written = write(report[1], &error, sizeof error);
    _exit(127);
  }
  close(report[1]);
  if (pid < 0) {
    close(report[0]);
    result.failure = "fork failed";
    return result;
  }
  int exec_error = 0;
  if (read(report[0], &exec_error, sizeof exec_error) == static_cast<ssize_t>(sizeof exec_error))
    result.failure = program + ": " + std::strerror(exec_error);
  close(report[0]);

  // Limits were set on a quiet machine; a slower one stretches them.
  const auto deadline = std::chrono::steady_clock::now() + scaled(command.timeout);
  int status = 0;
  for (;;) {
    bool ended = false;
    int any_status = 0;
    for (pid_t done; (done = waitpid(-1, &any_status, WNOHANG)) > 0;) {
      if (done == pid) {
        status = any_status;
        ended = true;
      } else {
        note_reaped(done, any_status);
      }
    }
    if (ended) break;
    if (std::chrono::steady_clock::now() > deadline) {
      result.timed_out = true;
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (WIFEXITED(status) && result.failure.empty()) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status) && !result.timed_out) result.signal = WTERMSIG(status);
  return result;
}

std::string how_it_ended(const ProcessResult& result) {
  if (!result.failure.empty()) return "could not start: " + result.failure;
  if (result.timed_out) return "did not end within its time limit and was killed";
  if (result.signal != 0) return killed_by(result.signal);
  return "exited " + std::to_string(result.exit_code);
}

}  // namespace wine_harness
