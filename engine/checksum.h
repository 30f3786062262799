// The program-wide 32-bit checksum: a CRC-16 register (polynomial 0x8005, MSB
// first) kept 32 bits wide, so the bits shifted out of the 16-bit CRC stay in
// the high half. Crypto-text, key files, transport files and the password
// storage all use it, always started at 0xFFFFFFFF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qvx {

constexpr std::uint32_t kChecksumStart = 0xFFFFFFFFu;

// Continues the checksum register over more bytes.
std::uint32_t DataChecksum(const void* data, std::size_t size, std::uint32_t start = kChecksumStart);
inline std::uint32_t DataChecksum(std::string_view text) { return DataChecksum(text.data(), text.size()); }

}  // namespace qvx
