// The 32-bit checksum: published check values, then the fast form against a
// bit-by-bit transcription of the definition.
#include <gtest/gtest.h>

#include "engine/checksum.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

std::uint32_t BitByBit(const std::vector<std::uint8_t>& data) {
  std::uint32_t r = 0xFFFFFFFFu;
  for (std::uint8_t byte : data) {
    for (int bit = 7; bit >= 0; --bit) {
      const bool t = ((r >> 15) & 1u) != ((byte >> bit) & 1u);
      r <<= 1;
      if (t) r ^= 0x8005u;
    }
  }
  return r;
}

TEST(DataChecksum, CheckValues) {
  EXPECT_EQ(DataChecksum(""), 0xFFFFFFFFu);
  EXPECT_EQ(DataChecksum("abc"), 0x765B44D8u);
  EXPECT_EQ(DataChecksum("123456789"), 0x31F2AEE7u);
  // The low half is CRC-16/CMS, whose check value is 0xAEE7.
  EXPECT_EQ(DataChecksum("123456789") & 0xFFFFu, 0xAEE7u);
}

TEST(DataChecksum, MatchesDefinitionOnRandomData) {
  auto rng = test::Rng("checksum");
  for (std::size_t n = 0; n < 600; n += 1 + n / 10) {
    const auto data = test::RandomBytes(rng, n);
    ASSERT_EQ(DataChecksum(data.data(), data.size()), BitByBit(data)) << "length " << n;
  }
}

TEST(DataChecksum, ContinuesAcrossPieces) {
  auto rng = test::Rng("checksum-pieces");
  const auto data = test::RandomBytes(rng, 1000);
  const std::uint32_t first = DataChecksum(data.data(), 377);
  EXPECT_EQ(DataChecksum(data.data() + 377, data.size() - 377, first),
            DataChecksum(data.data(), data.size()));
}

}  // namespace
}  // namespace qvx
