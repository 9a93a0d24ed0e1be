#include "deployment/payload_check.h"

#include <cstring>

#include "payload/sha256.h"

namespace deployment {

using platform::Concat;
using platform::Long;
using platform::Text;

namespace {
// Read in blocks on the stack, so that a large installer costs no memory.
constexpr Long kBlockSize = 64 * 1024;

// What the file holds; empty when it cannot be read to its end.
Text Hashed(platform::DeploymentServices& services, Long file, std::uint64_t& size,
            std::uint8_t* digest) {
  std::uint8_t block[kBlockSize];
  payload::Sha256 sha;
  Long read = 0, ok = 0;
  while ((ok = services.ReadFile(file, block, kBlockSize, read)) != 0 && read > 0) {
    sha.Update(block, static_cast<std::size_t>(read));
    size += static_cast<std::uint64_t>(read);
  }
  if (ok == 0) return Text();
  sha.Final(digest);
  return Described(size, digest);
}

}  // namespace

Text Described(std::uint64_t size, const std::uint8_t* sha256) {
  char16_t hex[2 * payload::kDigestSize];
  for (std::size_t i = 0; i < 2 * payload::kDigestSize; ++i) {
    const unsigned digit = (sha256[i / 2] >> (i % 2 ? 0 : 4)) & 15;
    hex[i] = static_cast<char16_t>(digit < 10 ? u'0' + digit : u'a' + digit - 10);
  }
  return Concat({platform::Decimal(static_cast<long long>(size)), " bytes, SHA-256 ",
                 std::u16string_view(hex, sizeof hex / sizeof hex[0])});
}

InstallerCheck CheckInstaller(platform::DeploymentServices& services, const Text& path,
                              const payload::PinnedFile& pinned) {
  InstallerCheck check;
  Long error = 0;
  std::uint64_t size = 0;
  std::uint8_t digest[payload::kDigestSize];
  platform::FileInformation info;
  Text found;
  check.handle = services.OpenFileForReading(path, error);
  if (check.handle == 0) {
    found = Concat({error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound
                        ? platform::TextPart("missing")
                        : platform::TextPart("cannot be opened"),
                    " (Windows error ", platform::Decimal(error), ")"});
  } else if (services.GetFileInformationByHandle(check.handle, info) == 0) {
    found = Concat({"cannot be examined"});
  } else if (info.dwFileAttributes & platform::kFileAttributeReparsePoint) {
    found = Concat({"a reparse point (a link to another file), refused"});
  } else {
    // Read from the handle, never the name again: the name could be given
    // to another file, the handle cannot.
    found = Hashed(services, check.handle, size, digest);
    if (found.empty()) found = Concat({"cannot be read"});
    else check.matches = size == pinned.size && std::memcmp(digest, pinned.sha256, sizeof digest) == 0;
  }
  check.finding = check.matches ? Concat({"as pinned, ", found})
                                : Concat({"NOT AS PINNED: ", found, "; pinned ",
                                          Described(pinned.size, pinned.sha256)});
  return check;
}

}  // namespace deployment
