// File names on the host side (the simulator's and the fleet report's), as
// UTF-8 strings: what their command lines, scenarios and reports carry. On
// Windows the file system takes the wide name, so no character outside the
// ANSI code page is lost; elsewhere the bytes are the name.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace platform {

inline std::filesystem::path HostPath(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8Name(const std::filesystem::path& path) {
  const std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
}

// For a command line's checks: "" when the name is an existing folder (or
// file), else why not, in the words of CLI11's own checks.
inline std::string MissingFolder(const std::string& utf8) {
  std::error_code error;
  return std::filesystem::is_directory(HostPath(utf8), error) ? ""
                                                              : "Directory does not exist: " + utf8;
}
inline std::string MissingFile(const std::string& utf8) {
  std::error_code error;
  const auto status = std::filesystem::status(HostPath(utf8), error);
  if (!std::filesystem::exists(status)) return "File does not exist: " + utf8;
  return std::filesystem::is_directory(status) ? "File is actually a directory: " + utf8 : "";
}

}  // namespace platform
