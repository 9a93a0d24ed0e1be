// The fleet report reads each machine's log as the program wrote it.
#include <gtest/gtest.h>

#include <sstream>

#include "fleet/fleet_report.h"

namespace {

const std::string kBom = "\xEF\xBB\xBF";
std::string Line(const std::string& entry, const std::string& time = "2026-12-07 09:00:00.001") {
  return time + "  " + entry + "\r\n";
}
std::string LogOfRun(const std::string& mode, const std::string& result, const std::string& time) {
  return Line("Hotfix.exe 1.00 (CR40517) started on PC-" + mode + " by Administrator, mode " + mode,
              time) +
         Line("Command line: \"C:\\Hotfix\\Hotfix.exe\" /quiet", time) +
         Line("Report: File version: 3.3.1000.0", time) +
         Line("Windows: \"Windows XP\" (version 5.1, build 2600)", time) +
         Line("Message box not shown (/quiet), taken as OK: \"Hotfix\"", time) +
         "                         a continuation line\r\n" + (result.empty() ? "" : Line(result, time));
}

fleet::Row Read(const std::string& bytes) {
  std::istringstream in(bytes);
  return fleet::ReadLog(in, "PC.log");
}

TEST(FleetLog, EachKindOfFileGivesItsRow) {
  const std::string applies = "Result: verdict=applies; reason=checks-passed; windows=Windows XP; "
                              "trk_version=3.3.1000.0; exit_status=0";
  const std::string failed_1642 = "Result: verdict=failed; reason=installer-failed; windows=Windows "
                                  "XP; trk_version=3.3.1000.0; exit_status=1642";
  const struct {
    const char* what;
    std::string bytes;
    std::vector<std::string> row;  // computer, time, mode, verdict, reason, windows, trk, status
  } cases[] = {
      {"a check run", kBom + LogOfRun("check", applies, "2026-12-07 09:00:00.001"),
       {"PC-check", "2026-12-07T09:00:00", "check", "applies", "checks-passed", "Windows XP",
        "3.3.1000.0", "0"}},
      {"the last of two runs counts",
       kBom + LogOfRun("check", applies, "2026-12-01 08:00:00.001") +
           LogOfRun("install", failed_1642, "2026-12-07 10:30:00.001"),
       {"PC-install", "2026-12-07T10:30:00", "install", "failed", "installer-failed",
        "Windows XP", "3.3.1000.0", "1642"}},
      {"a run without its result line", kBom + LogOfRun("install", "", "2026-12-07 09:00:00.001"),
       {"PC-install", "2026-12-07T09:00:00", "install", "interrupted", "no-result-line",
        "Windows XP", "3.3.1000.0", ""}},
      {"an empty file", "", {"", "", "", "unreadable", "", "", "", ""}},
      {"a binary file", std::string("MZ\x90\0\x03\0", 6) + Line("x"),
       {"", "", "", "unreadable", "", "", "", ""}},
      {"another program's log", Line("Setup started") + Line("Result: verdict=applies"),
       {"", "", "", "unreadable", "", "", "", ""}},
      {"LF line ends, no BOM", "2026-12-07 09:00:00.001  Hotfix.exe 1.00 (CR40517) started on "
                               "A by B, mode install\n2026-12-07 09:00:01.001  " +
                                   failed_1642 + "\n",
       {"A", "2026-12-07T09:00:00", "install", "failed", "installer-failed", "Windows XP",
        "3.3.1000.0", "1642"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fleet::Row r = Read(c.bytes);
    EXPECT_EQ((std::vector<std::string>{r.computer, r.time, r.mode, r.verdict, r.reason, r.windows,
                                        r.trk_version, r.exit_status}),
              c.row);
    EXPECT_EQ(r.file, "PC.log");
    EXPECT_EQ(r.warning.empty(), r.verdict != "unreadable") << r.warning;
  }
}

TEST(FleetLog, ALineTooLongForALogMakesTheFileUnreadable) {
  const fleet::Row r = Read(Line(std::string(fleet::kLongestLine + 1, 'x')));
  EXPECT_EQ(r.verdict, "unreadable");
  EXPECT_NE(r.warning.find("longer than 1 MiB"), std::string::npos);
}

TEST(FleetReport, CsvQuotesWhatNeedsItAndCountsGoByVerdictAndReason) {
  fleet::Row a;
  a.file = "\\\\server\\logs\\PC, old.log";
  a.computer = "PC \"1\"";
  a.verdict = "installed", a.reason = "restart-declined";
  fleet::Row b = a;
  b.reason = "restart-requested";
  std::ostringstream csv;
  fleet::WriteCsvRow(csv, a);
  EXPECT_EQ(csv.str(),
            "\"\\\\server\\logs\\PC, old.log\",\"PC \"\"1\"\"\",,,installed,restart-declined,,,\r\n");
  fleet::Counts counts;
  counts.Add(a), counts.Add(b), counts.Add(a);
  EXPECT_EQ(fleet::CountsText(counts),
            "3 log(s)\nBy verdict:\n  installed: 3\nBy reason:\n  installed: restart-declined: 2\n"
            "  installed: restart-requested: 1\n");
  std::ostringstream page;
  fleet::WriteHtml(page, counts, {a});
  EXPECT_NE(page.str().find("PC &quot;1&quot;"), std::string::npos);
  EXPECT_EQ(page.str().find("<script src"), std::string::npos) << "no file beside it";
}

}  // namespace
