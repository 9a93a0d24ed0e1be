// Calls into Windows functions as Wine's relay channel reports them
// (WINEDEBUG=+pid,+relay; which functions is set by RelayInclude in the
// prefix's registry). Lines look like
//   0164:0168:Call user32.ExitWindowsEx(00000003,ffffffff) ret=00401925
//   0164:0168:Ret  user32.ExitWindowsEx() retval=00000001 ret=00401925
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace wine_harness {

struct Call {
  unsigned long pid = 0;
  unsigned long tid = 0;
  std::string function;           // without the module: "ExitWindowsEx"
  std::vector<std::string> args;  // as printed: "00000003", "0040a0c0 L\"Reboot\""
  std::optional<unsigned long long> retval;

  unsigned long long number(size_t arg) const;  // the hex value of an argument
  // The low 32 bits: for BOOL, UINT and DWORD arguments, since on x86_64 the
  // relay shows the whole register, whose upper half can be anything.
  unsigned long dword(size_t arg) const;
  std::string text(size_t arg) const;            // the string shown after it, unescaped
};

std::vector<Call> parse_relay(const std::string& trace);

}  // namespace wine_harness
