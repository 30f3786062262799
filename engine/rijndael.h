// Rijndael with a 256-bit block and a 256-bit key (14 rounds), as its designers
// defined it. This is not AES: AES fixes the block at 128 bits, so no AES
// library produces these blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/secure.h"

namespace qvx {

class Rijndael256 {
 public:
  static constexpr std::size_t kBlockSize = 32;
  static constexpr std::size_t kKeySize = 32;

  // Expands the 32-byte key into both round-key schedules.
  explicit Rijndael256(const std::uint8_t key[kKeySize]);
  explicit Rijndael256(const Key256& key) : Rijndael256(key.data()) {}
  Rijndael256(const Rijndael256&) = delete;
  Rijndael256& operator=(const Rijndael256&) = delete;
  ~Rijndael256();  // wipes the schedules

  // One 32-byte block; in and out may be the same buffer.
  void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const;
  void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const;

  // Electronic-codebook use over whole blocks: every 32-byte block of the
  // buffer is enciphered on its own, in place. size must be a multiple of 32.
  void EncryptBlocks(std::uint8_t* data, std::size_t size) const;
  void DecryptBlocks(std::uint8_t* data, std::size_t size) const;

 private:
  static constexpr int kRounds = 14;
  static constexpr int kColumns = 8;
  std::uint32_t enc_[kColumns * (kRounds + 1)];
  std::uint32_t dec_[kColumns * (kRounds + 1)];
};

// Rounds a length up to whole 32-byte blocks.
constexpr std::size_t RoundUpToBlocks(std::size_t n) { return (n + 31) / 32 * 32; }

}  // namespace qvx
