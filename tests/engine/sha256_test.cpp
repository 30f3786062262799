// SHA-256: FIPS 180-4 vectors, then every length up to a few blocks against
// OpenSSL, whole and split at random points.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <string>

#include "engine/sha256.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

using test::ToHex;

struct Vector {
  std::string message;
  const char* digest;
};

TEST(Sha256, Fips180Vectors) {
  const Vector vectors[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmno"
       "pqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& v : vectors) {
    EXPECT_EQ(ToHex(Sha256Of(v.message)), v.digest) << "length " << v.message.size();
  }
}

Sha256Digest OpenSslSha256(const std::vector<std::uint8_t>& data) {
  Sha256Digest d{};
  unsigned int n = 0;
  EXPECT_EQ(EVP_Digest(data.data(), data.size(), d.data(), &n, EVP_sha256(), nullptr), 1);
  return d;
}

TEST(Sha256, EveryLengthMatchesOpenSsl) {
  auto rng = test::Rng("sha256-lengths");
  for (std::size_t n = 0; n <= 4200; n = n < 300 ? n + 1 : n + 37) {
    const auto data = test::RandomBytes(rng, n);
    ASSERT_EQ(Sha256Of(data.data(), data.size()), OpenSslSha256(data)) << "length " << n;
  }
}

TEST(Sha256, SplitUpdatesEqualOneCall) {
  auto rng = test::Rng("sha256-split");
  for (int round = 0; round < 200; ++round) {
    const auto data = test::RandomBytes(rng, rng() % 1000);
    Sha256 h;
    std::size_t pos = 0;
    while (pos < data.size()) {
      const std::size_t take = std::min<std::size_t>(data.size() - pos, rng() % 130);
      h.Update(data.data() + pos, take);
      pos += take;
    }
    ASSERT_EQ(h.Final(), OpenSslSha256(data)) << "length " << data.size();
  }
}

}  // namespace
}  // namespace qvx
