// The program's own SHA-256: the standard's examples, sha256sum on files of
// the sizes where the padding changes shape, and a length past 32 bits.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "payload/sha256.h"

namespace {

std::string Hex(const std::uint8_t* bytes, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out;
}

// Fed in pieces of `piece` bytes, so that block boundaries fall everywhere.
std::string DigestOf(const std::string& message, std::size_t piece = 1000000) {
  payload::Sha256 sha;
  for (std::size_t at = 0; at < message.size(); at += piece)
    sha.Update(reinterpret_cast<const std::uint8_t*>(message.data()) + at,
               std::min(piece, message.size() - at));
  std::uint8_t digest[payload::kDigestSize];
  sha.Final(digest);
  return Hex(digest, sizeof digest);
}

TEST(Sha256, GivesTheStandardsExamples) {
  const struct {
    std::string message;
    const char* digest;
  } cases[] = {
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DigestOf(c.message), c.digest) << c.message.size() << " bytes";
    EXPECT_EQ(DigestOf(c.message, 7), c.digest) << c.message.size() << " bytes, 7 at a time";
    EXPECT_EQ(DigestOf(c.message, 64), c.digest) << c.message.size() << " bytes, 64 at a time";
  }
}

std::string Sha256sum(const std::filesystem::path& file) {
  const std::string command = "sha256sum '" + file.string() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "";
  char line[128] = {};
  const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
  pclose(pipe);
  return read ? std::string(line).substr(0, 64) : "";
}

TEST(Sha256, AgreesWithSha256sumOnFilesOfEverySizeThePaddingTreatsApart) {
  const auto dir = std::filesystem::temp_directory_path() / ("sha256_test_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  for (const std::size_t size : {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 100000}) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + size) & 0xFF);
    const auto file = dir / (std::to_string(size) + ".bin");
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
    const std::string expected = Sha256sum(file);
    ASSERT_EQ(expected.size(), 64u) << "sha256sum gave no digest for " << file;
    EXPECT_EQ(DigestOf(bytes, 4096), expected) << size << " bytes";
  }
  std::filesystem::remove_all(dir);
}

TEST(Sha256, CountsTheLengthInBitsPast32Bits) {
  // 512 MiB is 2^32 bits, where a 32-bit count of bits would wrap to 0;
  // 4 GiB is where a 32-bit count of bytes would.
  const struct {
    std::uint64_t bytes;
    std::uint8_t bits[8];
  } cases[] = {
      {3, {0, 0, 0, 0, 0, 0, 0, 24}},
      {512ull << 20, {0, 0, 0, 1, 0, 0, 0, 0}},
      {(4ull << 30) + 1, {0, 0, 0, 8, 0, 0, 0, 8}},
  };
  for (const auto& c : cases) {
    std::uint8_t out[8];
    payload::EncodeBitLength(c.bytes, out);
    EXPECT_EQ(Hex(out, 8), Hex(c.bits, 8)) << c.bytes << " bytes";
  }
}

}  // namespace
