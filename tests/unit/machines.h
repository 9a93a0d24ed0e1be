// Machines the tests start from.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/simulated/machine.h"
#include "platform/simulated/run.h"
#include "platform/simulated/version_resource.h"
#include "registry/lookups.h"

namespace testing_machines {

using platform::Text;

inline constexpr char16_t kFirewallDir[] = u"C:\\Program Files\\Orvane\\Firewall\\";

// Windows XP with the firewall registered, trk.exe 3.3.1000.0 and both
// installers beside the program, each ending at once.
inline sim::Machine ApplicableMachine(const Text& app_path = u"C:\\Hotfix") {
  sim::Machine m;
  m.app_path = app_path;
  m.registry.SetString(platform::kHkeyLocalMachine, registry::kFirewallUninstallKey,
                       registry::kDisplayName, u"Orvane Firewall v3.03");
  m.registry.SetString(platform::kHkeyLocalMachine, registry::kFirewallKey,
                       registry::kFirewallInstallPathValue, kFirewallDir);
  m.AddVersionedFile(Text(kFirewallDir) + u"trk.exe",
                     sim::MakeVersionResource(sim::FixedFileInfo(3, 3, 1000, 0)));
  m.AddProgram(app_path + u"\\40517.exe");
  m.AddProgram(app_path + u"\\40517-2.exe");
  return m;
}

// The command lines of the programs that were started, in order.
inline std::vector<Text> CommandLines(const sim::Observations& seen) {
  std::vector<Text> lines;
  for (const auto& p : seen.started) lines.push_back(p.command_line);
  return lines;
}

// The trace calls named `call`, in order.
inline std::vector<sim::TraceEvent> CallsNamed(const sim::Observations& seen,
                                               const std::string& call) {
  std::vector<sim::TraceEvent> events;
  std::copy_if(seen.trace.begin(), seen.trace.end(), std::back_inserter(events),
               [&](const sim::TraceEvent& e) { return e.call == call; });
  return events;
}

}  // namespace testing_machines
