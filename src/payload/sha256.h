// SHA-256 (FIPS 180-4) in the program's own code: the CryptoAPI of Windows XP
// before SP3 has none. Fed in pieces, so that a large file is read in blocks
// and costs no memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace payload {

inline constexpr std::size_t kDigestSize = 32;

class Sha256 {
 public:
  Sha256();
  void Update(const std::uint8_t* data, std::size_t size);
  // The digest of everything fed; the object is spent afterwards.
  void Final(std::uint8_t digest[kDigestSize]);

 private:
  void Block(const std::uint8_t* block);

  std::uint32_t state_[8];
  std::uint8_t buffer_[64];
  // Counted in 64 bits: a 32-bit count of bits would wrap at 512 MiB.
  std::uint64_t bytes_ = 0;
};

// The padding's last 8 bytes: the message's length in bits, big-endian.
void EncodeBitLength(std::uint64_t bytes, std::uint8_t out[8]);

}  // namespace payload
