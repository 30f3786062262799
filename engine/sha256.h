// SHA-256 (FIPS 180-4). Every password becomes a 256-bit key as the digest of
// its bytes; key identities, seals and check values are digests too.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qvx {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
 public:
  Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  ~Sha256();  // wipes the state: the buffer may hold password bytes

  void Update(const void* data, std::size_t size);
  // Finishes the digest; the object must not be updated afterwards.
  void Final(std::uint8_t out[32]);
  Sha256Digest Final();

 private:
  std::uint32_t state_[8];
  std::uint64_t length_ = 0;  // bytes absorbed
  std::uint8_t buffer_[64];
  std::size_t buffered_ = 0;
};

// One-call digest.
Sha256Digest Sha256Of(const void* data, std::size_t size);
inline Sha256Digest Sha256Of(std::string_view text) { return Sha256Of(text.data(), text.size()); }

}  // namespace qvx
