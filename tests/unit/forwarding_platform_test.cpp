// A layer over the platform passes on every call it does not override: each
// call made through a ForwardingPlatform reaches the platform below with the
// same arguments, and its result and out-values come back unchanged.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <ostream>
#include <string>

#include "machines.h"
#include "platform/failure.h"
#include "platform/forwarding_platform.h"
#include "platform/simulated/simulated_platform.h"

namespace {

using namespace testing_machines;
using platform::Long;
using platform::Platform;
using sim::Dec;

constexpr Long kHklm = platform::kHkeyLocalMachine;

struct Call {
  const char* name;
  // Makes the call and tells what came back: the result and the out-values.
  std::function<std::string(Platform&)> make;
};

std::string RunInner(Platform& p, const Call& call) { return call.make(p); }
void PrintTo(const Call& call, std::ostream* out) { *out << call.name; }

const Call kCalls[] = {
    {"GetFileVersionInfoSizeA", [](Platform& p) {
       Long handle = 7;
       const Long size = p.GetFileVersionInfoSizeA(
           "C:\\Program Files\\Orvane\\Firewall\\trk.exe", handle);
       return Dec(size) + " " + Dec(handle);
     }},
    {"GetFileVersionInfoA and VerQueryValueA and RtlMoveMemory", [](Platform& p) {
       std::uint8_t block[4096] = {};
       const Long ok = p.GetFileVersionInfoA("C:\\Program Files\\Orvane\\Firewall\\trk.exe", 0,
                                             sizeof block, block);
       const std::uint8_t* root = nullptr;
       Long length = 0;
       const Long found = p.VerQueryValueA(block, "\\", root, length);
       std::uint8_t copy[52] = {};
       if (found) p.RtlMoveMemory(copy, root, 52);
       return Dec(ok) + " " + Dec(found) + " " + Dec(length) + " " + Dec(copy[8]);
     }},
    {"the registry calls", [](Platform& p) {
       Long key = 0, old_key = 0, type = 0, size = 0;
       const Long opened = p.RegOpenKeyExA(kHklm, "Software\\Orvane\\Orvane firewall", 0, 0x3F, key);
       const Long sized = p.RegQueryValueExA(key, "Installpath", 0, type, nullptr, size);
       const Long old = p.RegOpenKeyA(kHklm, "Software\\Orvane\\Orvane firewall", old_key);
       return Dec(opened) + Dec(sized) + Dec(old) + " " + Dec(type) + " " + Dec(size) + " " +
              Dec(p.RegCloseKey(key)) + Dec(p.RegCloseKey(old_key));
     }},
    {"GetVersionExA", [](Platform& p) {
       platform::OSVERSIONINFOA info{};
       info.dwOSVersionInfoSize = sizeof info;
       const Long ok = p.GetVersionExA(info);
       return Dec(ok) + " " + Dec(info.dwMajorVersion) + "." + Dec(info.dwMinorVersion);
     }},
    {"the process calls", [](Platform& p) {
       const Long id = static_cast<Long>(p.Shell(u"C:\\Hotfix\\40517.exe", 0,
                                                 platform::ProgramName::kWholeLine));
       const Long handle = p.OpenProcess(platform::kSynchronize, 0, id);
       const Long waited = p.WaitForSingleObject(handle, 0);
       p.DoEvents();
       return Dec(id) + " " + Dec(waited) + " " + Dec(p.CloseHandle(handle));
     }},
    {"the security calls and the restart", [](Platform& p) {
       Long token = 0, length = 0;
       platform::LUID luid{};
       const Long opened = p.OpenProcessToken(p.GetCurrentProcess(), 0x28, token);
       const Long found = p.LookupPrivilegeValueA("", "SeShutdownPrivilege", luid);
       platform::TOKEN_PRIVILEGES wanted{1, {{luid, 2}}}, previous{};
       const Long adjusted = p.AdjustTokenPrivileges(token, 0, wanted, 16, previous, length);
       return Dec(opened) + Dec(found) + Dec(adjusted) + " " + Dec(luid.LowPart) + " " +
              Dec(p.ExitWindowsEx(3, -1));
     }},
    {"the window's services", [](Platform& p) {
       const Long answer = p.MsgBox(u"Riavviare?", 292, std::nullopt);
       p.Print(u"File version: 3.3.1000.0");
       const platform::Text folder = p.AppPath();
       p.Unload();
       return Dec(answer) + " " + sim::Quote(folder);
     }},
    {"the ANSI code page", [](Platform& p) {
       return std::string(p.ToAnsi(u"Citt\u00E0 \u0141\u00F3d\u017A")) + "|" +
              sim::Quote(p.FromAnsi("Citt\xE0"));
     }},
    {"End", [](Platform& p) {
       try {
         p.End(1641);
       } catch (const platform::EndProgram&) {
         return std::string("ended");
       }
     }},
};

class Forwarding : public ::testing::TestWithParam<Call> {};

TEST_P(Forwarding, PassesTheCallThroughUnchanged) {
  sim::Machine direct_machine = ApplicableMachine();
  direct_machine.answers.push_back({platform::kIdNo});
  sim::Machine below_machine = direct_machine;
  sim::SimulatedPlatform direct(direct_machine);
  sim::SimulatedPlatform below(below_machine);
  platform::ForwardingPlatform layer(below);

  EXPECT_EQ(RunInner(layer, GetParam()), RunInner(direct, GetParam()));
  EXPECT_EQ(below.observations().trace, direct.observations().trace);
  EXPECT_EQ(below.observations().boxes, direct.observations().boxes);
  EXPECT_EQ(below.observations().printed, direct.observations().printed);
  EXPECT_EQ(below.observations().restart, direct.observations().restart);
  EXPECT_EQ(below.observations().unloaded, direct.observations().unloaded);
  EXPECT_EQ(below.observations().exit_code, direct.observations().exit_code);
  // Not a comparison of two empty records: the call did reach the machine.
  if (std::string(GetParam().name) != "the ANSI code page") {
    EXPECT_TRUE(!direct.observations().trace.empty() || direct.observations().exit_code);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryCall, Forwarding, ::testing::ValuesIn(kCalls),
                         [](const ::testing::TestParamInfo<Call>& call) {
                           std::string name;
                           for (const char c : std::string(call.param.name))
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           return name;
                         });

}  // namespace
