// Hotfix writes six report lines about the firewall file it checked, for a
// debugger or a monitor such as DebugView.
#include <gtest/gtest.h>

#include "wine_fixture.h"

namespace wine_harness {
namespace {

class ReportLines : public HotfixWineTest {};

TEST_P(ReportLines, DescribeTheFirewallFileItChecked) {
  const HotfixRun run = hotfix_case().answers({"no"}).trace_calls().run();

  EXPECT_EQ(run.report_lines(), (std::vector<std::string>{
                                    "Full filename: C:\\Program Files\\Orvane\\Firewall\\trk.exe\n",
                                    "File version: 3.3.1000.0\n",
                                    "Product version: 3.3.1000.0\n",
                                    "File flags: \n",
                                    "File OS: NT-Win32\n",
                                    "File type: App\n",
                                }))
      << run.transcript;
}

HOTFIX_WINE_TEST_SUITE(ReportLines);

}  // namespace
}  // namespace wine_harness
