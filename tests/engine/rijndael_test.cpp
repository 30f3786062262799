// Rijndael with 256-bit block and key: known answers from the algorithm's
// published vectors, then properties of the block and ECB operations.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/password_key.h"
#include "engine/rijndael.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

using test::FromHex;
using test::ToHex;

struct Known {
  const char* key;
  const char* plain;
  const char* cipher;
};

// Block 256 / key 256 vector of B. Gladman's set for all Rijndael block and
// key lengths (the set Bouncy Castle and other Rijndael implementations test).
const Known kKnown[] = {
    {"2b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da56a784d9045190cfe",
     "3243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c8",
     "a49406115dfb30a40418aafa4869b7c6a886ff31602a7dd19c889dc64f7e4e7a"},
};

TEST(Rijndael256, KnownAnswers) {
  for (const auto& k : kKnown) {
    const auto key = FromHex(k.key);
    const auto plain = FromHex(k.plain);
    Rijndael256 cipher(key.data());
    std::uint8_t out[32];
    cipher.EncryptBlock(plain.data(), out);
    EXPECT_EQ(ToHex(out, 32), k.cipher);
    std::uint8_t back[32];
    cipher.DecryptBlock(out, back);
    EXPECT_EQ(ToHex(back, 32), k.plain);
  }
}

TEST(Rijndael256, RoundTripInPlaceAndApart) {
  auto rng = test::Rng("rijndael-roundtrip");
  for (int round = 0; round < 500; ++round) {
    const auto key = test::RandomBytes(rng, 32);
    const auto plain = test::RandomBytes(rng, 32);
    Rijndael256 cipher(key.data());
    std::uint8_t apart[32];
    cipher.EncryptBlock(plain.data(), apart);
    std::uint8_t inplace[32];
    std::memcpy(inplace, plain.data(), 32);
    cipher.EncryptBlock(inplace, inplace);
    ASSERT_EQ(0, std::memcmp(apart, inplace, 32));
    ASSERT_NE(0, std::memcmp(apart, plain.data(), 32));
    cipher.DecryptBlock(inplace, inplace);
    ASSERT_EQ(0, std::memcmp(inplace, plain.data(), 32));
  }
}

TEST(Rijndael256, EcbEnciphersEveryBlockOnItsOwn) {
  auto rng = test::Rng("rijndael-ecb");
  const auto key = test::RandomBytes(rng, 32);
  Rijndael256 cipher(key.data());
  auto block = test::RandomBytes(rng, 32);
  std::vector<std::uint8_t> buffer;
  for (int i = 0; i < 3; ++i) buffer.insert(buffer.end(), block.begin(), block.end());
  cipher.EncryptBlocks(buffer.data(), buffer.size());
  std::uint8_t single[32];
  cipher.EncryptBlock(block.data(), single);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(0, std::memcmp(buffer.data() + 32 * i, single, 32));
  cipher.DecryptBlocks(buffer.data(), buffer.size());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(0, std::memcmp(buffer.data() + 32 * i, block.data(), 32));
}

TEST(Rijndael256, PasswordKeyIsDigestOfBytesAsTyped) {
  EXPECT_EQ(test::ToHex(PasswordToKey("abc")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_NE(PasswordToKey("Secret"), PasswordToKey("secret"));
  EXPECT_EQ(RoundUpToBlocks(0), 0u);
  EXPECT_EQ(RoundUpToBlocks(1), 32u);
  EXPECT_EQ(RoundUpToBlocks(32), 32u);
  EXPECT_EQ(RoundUpToBlocks(33), 64u);
}

}  // namespace
}  // namespace qvx
