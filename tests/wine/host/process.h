// Starting host programs (the Wine loader, wineserver) with a given
// environment, output files and a time limit.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace wine_harness {

struct Command {
  std::vector<std::string> argv;  // argv[0] is a path or a name looked up in PATH
  // Added to (or, with no value, removed from) this process's environment.
  std::map<std::string, std::optional<std::string>> env;
  std::filesystem::path cwd;          // empty: this process's
  std::filesystem::path stdout_path;  // empty: /dev/null
  std::filesystem::path stderr_path;  // empty: /dev/null
  std::chrono::milliseconds timeout{60000};  // on a quiet machine: stretched by scaled()
};

struct ProcessResult {
  int exit_code = -1;  // -1 when killed by a signal or not started
  int signal = 0;      // the signal that ended it, if one did
  bool timed_out = false;
  std::string failure;  // why it could not start, if it could not
};

// Runs to the end or to the time limit; on the limit the whole process group
// it started is killed.
ProcessResult run_process(const Command& command);

// How a run ended, for a message: "exited 1", "was killed by signal 9", ...
std::string how_it_ended(const ProcessResult& result);

// Wine's daemons (wineserver, services) leave the program that started them;
// this process adopts them (PR_SET_CHILD_SUBREAPER) and reaps them as they
// end, so no dead entries pile up. Waits for all children up to the limit.
void reap_orphans(std::chrono::milliseconds limit);

// How an adopted process that has since been reaped ended ("exited 1",
// "was killed by signal 2 (Interrupt)"); empty when it was not reaped here.
// The wineserver is such a process: it leaves the program that starts it.
std::string how_orphan_ended(int pid);

// Full path of a program, from a path or a PATH look-up; empty if none.
std::string find_program(const std::string& name);

std::string read_text(const std::filesystem::path& file);

}  // namespace wine_harness
