// The libcrypto every program links: the static build of the 3.5 LTS branch
// (header and library of the same release), with Argon2id in its default
// provider and implicit rejection in PKCS #1 v1.5 decryption.
#include <gtest/gtest.h>

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/opensslv.h>
#include <openssl/params.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "keys/rsa_key.h"
#include "tests/keys/test_keys.h"

namespace qvx {
namespace {

TEST(OpenSslLibrary, IsTheLtsBranchHeaderAndLibraryAlike) {
  static_assert(OPENSSL_VERSION_MAJOR == 3 && OPENSSL_VERSION_MINOR >= 5,
                "built against OpenSSL older than 3.5");
  EXPECT_GE(OpenSSL_version_num(), 0x30500000UL) << OpenSSL_version(OPENSSL_VERSION);
  EXPECT_EQ(OpenSSL_version_num(), static_cast<unsigned long>(OPENSSL_VERSION_NUMBER))
      << OpenSSL_version(OPENSSL_VERSION);
}

// RFC 9106, section 5.3 (Argon2id, 3 passes, 32 KiB, 4 lanes, secret and
// associated data).
TEST(OpenSslLibrary, Argon2idMatchesRfc9106) {
  std::unique_ptr<EVP_KDF, decltype(&EVP_KDF_free)> kdf(EVP_KDF_fetch(nullptr, "ARGON2ID", nullptr),
                                                        &EVP_KDF_free);
  ASSERT_NE(kdf, nullptr);
  std::unique_ptr<EVP_KDF_CTX, decltype(&EVP_KDF_CTX_free)> ctx(EVP_KDF_CTX_new(kdf.get()),
                                                                &EVP_KDF_CTX_free);
  ASSERT_NE(ctx, nullptr);
  std::array<unsigned char, 32> password;
  std::array<unsigned char, 16> salt;
  std::array<unsigned char, 8> secret;
  std::array<unsigned char, 12> ad;
  password.fill(0x01);
  salt.fill(0x02);
  secret.fill(0x03);
  ad.fill(0x04);
  std::uint32_t passes = 3, memory_kib = 32, lanes = 4, threads = 1;
  const OSSL_PARAM params[] = {
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_PASSWORD, password.data(), password.size()),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, salt.data(), salt.size()),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SECRET, secret.data(), secret.size()),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_ARGON2_AD, ad.data(), ad.size()),
      OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_ITER, &passes),
      OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_ARGON2_MEMCOST, &memory_kib),
      OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_ARGON2_LANES, &lanes),
      OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_THREADS, &threads),
      OSSL_PARAM_construct_end()};
  std::array<unsigned char, 32> tag{};
  ASSERT_EQ(EVP_KDF_derive(ctx.get(), tag.data(), tag.size(), params), 1);
  const std::array<unsigned char, 32> expected = {0x0d, 0x64, 0x0d, 0xf5, 0x8d, 0x78, 0x76, 0x6c,
                                                  0x08, 0xc0, 0x37, 0xa3, 0x4a, 0x8b, 0x53, 0xc9,
                                                  0xd0, 0x1e, 0xf0, 0x45, 0x2d, 0x75, 0xb6, 0x5e,
                                                  0xb5, 0x25, 0x20, 0xe9, 0x6b, 0x01, 0xe6, 0x59};
  EXPECT_EQ(tag, expected);
}

// A ciphertext without valid padding decrypts to a message derived from the
// key and the ciphertext (the same each time) instead of failing, so that
// decryption gives no padding oracle. What the envelope readers see is a
// session key of the wrong size or one that opens nothing.
TEST(OpenSslLibrary, Pkcs1DecryptionRejectsImplicitly) {
  const RsaKey& key = test::TestKey(1024);
  auto numbers = key.PublicNumbers();
  ASSERT_TRUE(numbers);
  for (std::uint8_t fill : {0x11, 0x5A, 0x7F}) {
    std::vector<std::uint8_t> forged(numbers->n.size(), fill);
    forged[0] = 0;  // below the modulus, but not PKCS #1 block type 2
    auto first = key.Decrypt(forged.data(), forged.size());
    auto again = key.Decrypt(forged.data(), forged.size());
    ASSERT_TRUE(first) << int{fill};
    ASSERT_TRUE(again) << int{fill};
    EXPECT_EQ(*first, *again) << int{fill};
    EXPECT_LE(first->size(), numbers->n.size() - 11);
  }
}

}  // namespace
}  // namespace qvx
