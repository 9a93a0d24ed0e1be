// Reading the logs boxbot and stub write: one record a line, TAB-separated
// fields with \\ \t \r \n escapes (see tests/wine/win/log_line.h).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace wine_harness {

using Record = std::vector<std::string>;

std::string unescape(const std::string& field);

// Every complete line of the file; a missing file has none.
std::vector<Record> read_records(const std::filesystem::path& file);

}  // namespace wine_harness
