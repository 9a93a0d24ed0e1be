#include "fleet/fleet_report.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string_view>

#include "platform/host_path.h"
#include "platform/text.h"

namespace fleet {
namespace {

// A field quoted where it holds the separator, a quote or a line break.
std::string Field(const std::string& field, char separator) {
  if (field.find_first_of(std::string("\"\r\n") + separator) == std::string::npos) return field;
  std::string out = "\"";
  for (const char c : field) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// One line of the file in its form: UTF-8 fields in, the file's bytes out.
void WriteLine(std::ostream& out, const std::vector<std::string>& fields, CsvForm form) {
  const char separator = form == CsvForm::kExcel ? '\t' : ',';
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) line += separator;
    line += Field(fields[i], separator);
  }
  line += "\r\n";
  if (form == CsvForm::kPlain) {
    out << line;
    return;
  }
  for (const char16_t unit : platform::FromUtf8(line)) {
    out.put(static_cast<char>(unit & 0xFF));
    out.put(static_cast<char>(unit >> 8));
  }
}

std::string Html(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

void Counts::Add(const Row& row) {
  ++files;
  ++verdicts[row.verdict];
  if (!row.reason.empty()) ++reasons[row.verdict + ": " + row.reason];
}

std::string CountsText(const Counts& counts) {
  std::string out = std::to_string(counts.files) + " log(s)\nBy verdict:\n";
  for (const auto& [verdict, n] : counts.verdicts)
    out += "  " + verdict + ": " + std::to_string(n) + "\n";
  out += "By reason:\n";
  for (const auto& [reason, n] : counts.reasons)
    out += "  " + reason + ": " + std::to_string(n) + "\n";
  return out;
}

void WriteCsvHeader(std::ostream& out, CsvForm form) {
  if (form == CsvForm::kExcel) out << "\xFF\xFE";
  std::vector<std::string> names;
  std::string_view header = kCsvHeader;
  for (std::size_t comma; (comma = header.find(',')) != std::string_view::npos; header.remove_prefix(comma + 1))
    names.emplace_back(header.substr(0, comma));
  names.emplace_back(header);
  WriteLine(out, names, form);
}

void WriteCsvRow(std::ostream& out, const Row& row, CsvForm form) {
  WriteLine(out, {row.file, row.computer, row.time, row.mode, row.verdict, row.reason, row.windows,
                  row.trk_version, row.exit_status},
            form);
}

void WriteHtml(std::ostream& out, const Counts& counts, const std::vector<Row>& rows) {
  std::size_t most = 1;
  for (const auto& [verdict, n] : counts.verdicts) most = std::max(most, n);
  out << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Hotfix CR40517: fleet "
         "report</title>\n<style>body{font:13px sans-serif;margin:1em}table{border-collapse:"
         "collapse}td,th{border:1px solid #bbb;padding:2px 6px;text-align:left}th{cursor:"
         "pointer;background:#eee}.bar{background:#36c;height:1em;display:inline-block}"
         "</style></head><body>\n<h1>Hotfix CR40517: "
      << counts.files << " log(s)</h1>\n<h2>By verdict</h2>\n<table>\n";
  for (const auto& [verdict, n] : counts.verdicts)
    out << "<tr><td>" << Html(verdict) << "</td><td>" << n << "</td><td><span class=\"bar\" "
        << "style=\"width:" << n * 300 / most << "px\"></span></td></tr>\n";
  out << "</table>\n<h2>By reason</h2>\n<table>\n";
  for (const auto& [reason, n] : counts.reasons)
    out << "<tr><td>" << Html(reason) << "</td><td>" << n << "</td></tr>\n";
  out << "</table>\n<h2>Every log</h2>\n<p>Click a heading to sort by it.</p>\n<table "
         "id=\"rows\">\n<tr>";
  for (const char* heading : {"file", "computer", "time", "mode", "verdict", "reason", "windows",
                              "trk_version", "exit_status"})
    out << "<th>" << heading << "</th>";
  out << "</tr>\n";
  for (const Row& r : rows) {
    out << "<tr>";
    for (const std::string* field : {&r.file, &r.computer, &r.time, &r.mode, &r.verdict,
                                     &r.reason, &r.windows, &r.trk_version, &r.exit_status})
      out << "<td>" << Html(*field) << "</td>";
    out << "</tr>\n";
  }
  out << "</table>\n<script>\n"
         "document.querySelectorAll('#rows th').forEach(function (th, column) {\n"
         "  th.onclick = function () {\n"
         "    var table = th.closest('table'), rows = Array.from(table.rows).slice(1);\n"
         "    var up = th.dataset.up !== '1'; th.dataset.up = up ? '1' : '0';\n"
         "    rows.sort(function (a, b) {\n"
         "      var x = a.cells[column].textContent, y = b.cells[column].textContent;\n"
         "      var n = x - y; return (isNaN(n) ? x.localeCompare(y) : n) * (up ? 1 : -1);\n"
         "    });\n"
         "    rows.forEach(function (row) { table.appendChild(row); });\n"
         "  };\n"
         "});\n</script>\n</body></html>\n";
}

int FleetMain(int argc, char** argv) {
  CLI::App app("Counts what the logs of many machines say, by verdict and by reason: every "
               "file in the folders given, one per machine (/log:\\\\server\\share\\"
               "%COMPUTERNAME%.log). A file that is no log of Hotfix.exe is a row "
               "\"unreadable\" with a warning.",
               "hotfix-sim fleet");
  app.allow_windows_style_options(false);
  std::vector<std::string> dirs;
  std::string csv, html;
  bool plain_csv = false;
  app.add_option("DIR", dirs, "A folder of logs")
      ->required()
      ->check(CLI::Validator(platform::MissingFolder, "DIR"));
  app.add_option("--csv", csv,
                 "Write one row per file to this CSV file: UTF-16 LE with a byte-order mark and "
                 "tabs, which Excel opens right with a double-click in every locale");
  app.add_flag("--plain-csv", plain_csv,
               "Write the CSV file as UTF-8 without a byte-order mark, with commas and the "
               "documented header exactly, for strict readers");
  app.add_option("--html", html, "Write a page with the counts and the sortable table");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }
  std::vector<std::string> files;
  for (const auto& dir : dirs) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(platform::HostPath(dir), error))
      if (entry.is_regular_file(error)) files.push_back(platform::Utf8Name(entry.path()));
    if (error) std::cerr << "hotfix-sim fleet: warning: " << dir << ": " << error.message() << "\n";
  }
  std::sort(files.begin(), files.end());
  const CsvForm form = plain_csv ? CsvForm::kPlain : CsvForm::kExcel;
  std::ofstream csv_out;
  if (!csv.empty()) {
    csv_out.open(platform::HostPath(csv), std::ios::binary);
    if (!csv_out) {
      std::cerr << "hotfix-sim fleet: cannot write " << csv << "\n";
      return 2;
    }
    WriteCsvHeader(csv_out, form);
  }
  Counts counts;
  std::vector<Row> rows;  // kept only for the page
  for (const auto& file : files) {
    Row row = ReadLogFile(file);
    if (!row.warning.empty())
      std::cerr << "hotfix-sim fleet: warning: " << file << ": unreadable: " << row.warning << "\n";
    counts.Add(row);
    if (csv_out.is_open()) WriteCsvRow(csv_out, row, form);
    if (!html.empty()) rows.push_back(std::move(row));
  }
  if (!html.empty()) {
    std::ofstream out(platform::HostPath(html), std::ios::binary);
    WriteHtml(out, counts, rows);
    if (!out) {
      std::cerr << "hotfix-sim fleet: cannot write " << html << "\n";
      return 2;
    }
  }
  std::cout << CountsText(counts);
  return csv_out.is_open() && !csv_out ? 2 : 0;
}

}  // namespace fleet
