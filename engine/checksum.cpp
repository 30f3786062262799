// Byte-at-a-time form of the bit-serial checksum. The register update is linear
// in (register, data byte), so one byte step is
//   r' = (r << 8) ^ Feedback[(r >> 8) & 0xFF] ^ Data[byte]
// where Feedback holds the effect of the register's bits 8..15 and Data that of
// the data bits; both are derived from the bit-serial rule at compile time.
#include "engine/checksum.h"

#include <array>

namespace qvx {

namespace {

// The definition: per bit, MSB first, t = bit 15 of r XOR the data bit;
// r = r << 1 (32 bits); if t, r ^= 0x8005.
constexpr std::uint32_t BitSerial(std::uint32_t r, std::uint8_t byte) {
  for (int bit = 7; bit >= 0; --bit) {
    const bool t = (((r >> 15) ^ (static_cast<std::uint32_t>(byte) >> bit)) & 1) != 0;
    r <<= 1;
    if (t) r ^= 0x8005;
  }
  return r;
}

struct StepTables {
  std::array<std::uint32_t, 256> feedback{};
  std::array<std::uint32_t, 256> data{};
};

constexpr StepTables MakeTables() {
  StepTables t;
  for (std::uint32_t i = 0; i < 256; ++i) {
    t.feedback[i] = BitSerial(i << 8, 0) ^ (i << 16);
    t.data[i] = BitSerial(0, static_cast<std::uint8_t>(i));
  }
  return t;
}

constexpr StepTables kTables = MakeTables();

static_assert(BitSerial(0x1234ABCDu, 0x5A) ==
              ((0x1234ABCDu << 8) ^ kTables.feedback[0xAB] ^ kTables.data[0x5A]));

}  // namespace

std::uint32_t DataChecksum(const void* data, std::size_t size, std::uint32_t start) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::uint32_t r = start;
  for (std::size_t i = 0; i < size; ++i) {
    r = (r << 8) ^ kTables.feedback[(r >> 8) & 0xFF] ^ kTables.data[p[i]];
  }
  return r;
}

}  // namespace qvx
