// The password envelope over given payload bytes: block counts, padding,
// round trips, and the progress display with its Cancel.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/envelope.h"
#include "engine/password_key.h"
#include "engine/rijndael.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

TEST(Envelope, BlockCountAlwaysLeavesPadding) {
  const std::pair<std::size_t, std::size_t> cases[] = {
      {0, 1}, {1, 1}, {31, 1}, {32, 2}, {63, 2}, {64, 3}, {3199, 100}, {3200, 101}};
  for (auto [size, blocks] : cases) {
    EXPECT_EQ(EnvelopeBlocks(size), blocks) << size;
    EXPECT_EQ(EnvelopeSize(size), blocks * 32) << size;
  }
}

TEST(Envelope, SealAndOpenEveryLengthAcrossBlockBoundaries) {
  auto rng = test::Rng("envelope");
  const Key256 key = PasswordToKey("envelope password");
  for (std::size_t size = 0; size <= 200; ++size) {
    const auto payload = test::RandomBytes(rng, size);
    auto sealed = SealPasswordEnvelope(key, payload.data(), payload.size(), nullptr);
    ASSERT_TRUE(sealed);
    ASSERT_EQ(sealed->size(), EnvelopeSize(size));
    auto opened = OpenPasswordEnvelope(key, sealed->data(), sealed->size(), nullptr);
    ASSERT_TRUE(opened);
    ASSERT_EQ(opened->size(), sealed->size());
    if (size > 0) {
      EXPECT_EQ(0, std::memcmp(opened->data(), payload.data(), size)) << size;
    }
    for (std::size_t i = size; i < opened->size(); ++i) ASSERT_EQ((*opened)[i], 0) << size;
  }
}

TEST(Envelope, EachBlockIsEncipheredOnItsOwnUnderTheKey) {
  const Key256 key = PasswordToKey("ecb");
  std::vector<std::uint8_t> payload(64, 'q');  // two equal blocks, then a block of padding
  auto sealed = SealPasswordEnvelope(key, payload.data(), payload.size(), nullptr);
  ASSERT_TRUE(sealed);
  ASSERT_EQ(sealed->size(), 96u);
  EXPECT_EQ(0, std::memcmp(sealed->data(), sealed->data() + 32, 32));
  std::uint8_t block[32];
  std::memset(block, 'q', 32);
  Rijndael256(key).EncryptBlock(block, block);
  EXPECT_EQ(0, std::memcmp(sealed->data(), block, 32));
  std::uint8_t zeros[32] = {};
  Rijndael256(key).EncryptBlock(zeros, zeros);
  EXPECT_EQ(0, std::memcmp(sealed->data() + 64, zeros, 32));
}

TEST(Envelope, OpeningIgnoresAPartialTrailingBlock) {
  const Key256 key = PasswordToKey("partial");
  std::vector<std::uint8_t> payload(40, 7);
  auto sealed = SealPasswordEnvelope(key, payload.data(), payload.size(), nullptr);
  sealed->resize(sealed->size() + 5, 0xEE);
  auto opened = OpenPasswordEnvelope(key, sealed->data(), sealed->size(), nullptr);
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened->size(), 64u);
  EXPECT_EQ((*opened)[39], 7);
  EXPECT_TRUE(OpenPasswordEnvelope(key, sealed->data(), 31, nullptr)->empty());
}

TEST(Envelope, ProgressAppearsAbove100Blocks) {
  const Key256 key = PasswordToKey("progress");
  for (std::size_t size : {3199u, 3200u, 10000u}) {
    const std::size_t blocks = EnvelopeBlocks(size);
    std::vector<std::uint8_t> payload(size, 1);
    test::ScriptedProgress progress;
    auto sealed = SealPasswordEnvelope(key, payload.data(), payload.size(), &progress);
    ASSERT_TRUE(sealed);
    test::ScriptedProgress back;
    ASSERT_TRUE(OpenPasswordEnvelope(key, sealed->data(), sealed->size(), &back));
    for (const auto* p : {&progress, &back}) {
      if (blocks <= kProgressBlockThreshold) {
        EXPECT_EQ(p->started, 0) << size;
        EXPECT_TRUE(p->percents.empty()) << size;
        continue;
      }
      EXPECT_EQ(p->started, 1) << size;
      EXPECT_EQ(p->closed, 1) << size;
      // floor(100 * i / n) after block i, shown each time the figure moves:
      // from 0 to 99, never 100.
      ASSERT_EQ(p->percents.size(), 100u) << size;
      for (unsigned i = 0; i < 100; ++i) EXPECT_EQ(p->percents[i], i) << size;
    }
  }
}

TEST(Envelope, CancelStopsEitherDirection) {
  const Key256 key = PasswordToKey("cancel");
  std::vector<std::uint8_t> payload(8000, 3);
  test::ScriptedProgress progress;
  progress.cancel_after_updates = 5;
  auto sealed = SealPasswordEnvelope(key, payload.data(), payload.size(), &progress);
  ASSERT_FALSE(sealed);
  EXPECT_EQ(sealed.code(), Errc::Cancelled);
  EXPECT_EQ(progress.closed, 1);

  auto good = SealPasswordEnvelope(key, payload.data(), payload.size(), nullptr);
  test::ScriptedProgress back;
  back.cancel_after_updates = 0;  // Cancel pressed at once
  auto opened = OpenPasswordEnvelope(key, good->data(), good->size(), &back);
  ASSERT_FALSE(opened);
  EXPECT_EQ(opened.code(), Errc::Cancelled);
  EXPECT_TRUE(back.percents.empty());
}

}  // namespace
}  // namespace qvx
