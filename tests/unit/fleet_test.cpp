// The fleet report reads each machine's log as the program wrote it.
#include <gtest/gtest.h>

#include <sstream>

#include "fleet/fleet_report.h"
#include "platform/simulated/cp1252.h"
#include "platform/text.h"

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
  fleet::WriteCsvRow(csv, a, fleet::CsvForm::kPlain);
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

// A reader that decides as Excel does: a UTF-16 LE mark, then tabs; a
// UTF-8 mark (Excel 2007 on); else the ANSI code page and commas.
std::vector<std::vector<std::string>> ReadAsExcel(const std::string& bytes) {
  std::string text;
  char separator = ',';
  if (bytes.starts_with("\xFF\xFE")) {
    platform::Text units;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
      units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     static_cast<unsigned char>(bytes[i + 1]) << 8);
    text = platform::ToUtf8(units);
    separator = '\t';
  } else {
    text = platform::ToUtf8(sim::DecodeCp1252(bytes));  // the ANSI code page of Western Europe
  }
  std::vector<std::vector<std::string>> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields(1);
    for (const char c : line) {
      if (c == separator) fields.emplace_back();
      else fields.back().push_back(c);
    }
    lines.push_back(fields);
  }
  return lines;
}

TEST(FleetReport, TheCsvKeepsEveryComputerNameForExcelAndForStrictReaders) {
  for (const std::string name : {"M\u00DCNCHEN-03", "\u041C\u041E\u0421\u041A\u0412\u0410-01"}) {
    fleet::Row row;
    row.file = "logs\\" + name + ".log";
    row.computer = name;
    row.verdict = "installed", row.reason = "restart-declined";
    std::ostringstream excel, plain;
    for (auto [out, form] : {std::pair{&excel, fleet::CsvForm::kExcel}, {&plain, fleet::CsvForm::kPlain}}) {
      fleet::WriteCsvHeader(*out, form);
      fleet::WriteCsvRow(*out, row, form);
    }
    const auto lines = ReadAsExcel(excel.str());
    ASSERT_EQ(lines.size(), 2u) << name;
    EXPECT_EQ(lines[0].size(), 9u) << "one column a field: " << name;
    EXPECT_EQ(lines[0][0], "file");
    EXPECT_EQ(lines[1][1], name);
    EXPECT_EQ(lines[1][5], "restart-declined");
    // The strict reader gets the documented header and UTF-8, as before.
    EXPECT_EQ(plain.str(), std::string(fleet::kCsvHeader) + "\r\n" + "logs\\" + name + ".log," +
                               name + ",,,installed,restart-declined,,,\r\n");
  }
}

}  // namespace
