// A customer's file read from the disk, for its version resource.
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/simulated/input_error.h"
#include "platform/host_path.h"
#include "platform/simulated/pe_version.h"

namespace sim {

std::optional<std::vector<std::uint8_t>> ReadVersionResource(const std::string& path,
                                                             std::uint16_t ui_language) {
  std::error_code error;
  if (std::filesystem::is_directory(platform::HostPath(path), error)) throw InputError(path + ": is a directory");
  const std::uintmax_t size = std::filesystem::file_size(platform::HostPath(path), error);
  if (error) throw InputError(path + ": cannot read the file: " + error.message());
  if (size > kMaxPeFileSize) {
    throw InputError(path + ": the file has " + std::to_string(size) + " bytes, more than the " +
                     std::to_string(kMaxPeFileSize) + " a version resource is read from");
  }
  std::ifstream in(platform::HostPath(path), std::ios::binary);
  std::vector<std::uint8_t> image(static_cast<std::size_t>(size));
  in.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(image.size()));
  if (!in || static_cast<std::uintmax_t>(in.gcount()) != size) {
    throw InputError(path + ": cannot read the file's " + std::to_string(size) + " bytes");
  }
  return ReadVersionResourceFromImage(image, path, ui_language);
}

}  // namespace sim
