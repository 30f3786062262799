// A private key is used only when its numbers belong to its public key and
// its file holds the key it is named after: the pairwise check against
// OpenSSL's own as the oracle, and crafted private files that pass every
// checksum and seal but carry numbers of another key or another key's header.
#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include "engine/checksum.h"
#include "engine/sha256.h"
#include "keys/byte_io.h"
#include "keys/messages.h"
#include "tests/keys/test_keys.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/test_util.h"

namespace qvx {
namespace {

using test::ReadAll;
using test::TestKey;

// OpenSSL's full pairwise check (with the primality proofs) over the numbers.
bool OpenSslPairwiseCheck(const RsaPrivateNumbers& k) {
  std::unique_ptr<OSSL_PARAM_BLD, decltype(&OSSL_PARAM_BLD_free)> build(OSSL_PARAM_BLD_new(),
                                                                        OSSL_PARAM_BLD_free);
  std::vector<std::unique_ptr<BIGNUM, decltype(&BN_clear_free)>> numbers;
  auto push = [&](const char* name, const std::uint8_t* data, std::size_t size) {
    numbers.emplace_back(BN_bin2bn(data, static_cast<int>(size), nullptr), BN_clear_free);
    OSSL_PARAM_BLD_push_BN(build.get(), name, numbers.back().get());
  };
  push(OSSL_PKEY_PARAM_RSA_N, k.n.data(), k.n.size());
  push(OSSL_PKEY_PARAM_RSA_E, k.e.data(), k.e.size());
  push(OSSL_PKEY_PARAM_RSA_D, k.d.data(), k.d.size());
  push(OSSL_PKEY_PARAM_RSA_FACTOR1, k.p.data(), k.p.size());
  push(OSSL_PKEY_PARAM_RSA_FACTOR2, k.q.data(), k.q.size());
  push(OSSL_PKEY_PARAM_RSA_EXPONENT1, k.dmp1.data(), k.dmp1.size());
  push(OSSL_PKEY_PARAM_RSA_EXPONENT2, k.dmq1.data(), k.dmq1.size());
  push(OSSL_PKEY_PARAM_RSA_COEFFICIENT1, k.iqmp.data(), k.iqmp.size());
  std::unique_ptr<OSSL_PARAM, decltype(&OSSL_PARAM_free)> params(OSSL_PARAM_BLD_to_param(build.get()),
                                                                 OSSL_PARAM_free);
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr),
                                                                   EVP_PKEY_CTX_free);
  EVP_PKEY* raw = nullptr;
  if (EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
      EVP_PKEY_fromdata(ctx.get(), &raw, EVP_PKEY_KEYPAIR, params.get()) != 1) {
    return false;
  }
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(raw, EVP_PKEY_free);
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> check(EVP_PKEY_CTX_new_from_pkey(nullptr, raw, nullptr),
                                                                     EVP_PKEY_CTX_free);
  return EVP_PKEY_pairwise_check(check.get()) == 1;
}

RsaPrivateNumbers NumbersOf(const RsaKey& key) {
  auto numbers = key.PrivateNumbers();
  EXPECT_TRUE(numbers);
  return numbers ? std::move(*numbers) : RsaPrivateNumbers{};
}

TEST(PrivateKeyCheck, AgreesWithOpenSslOnSoundAndMixedNumbers) {
  struct Case {
    const char* name;
    std::function<void(RsaPrivateNumbers&, const RsaPrivateNumbers&)> change;
    bool sound;
  };
  const Case cases[] = {
      {"as generated", [](RsaPrivateNumbers&, const RsaPrivateNumbers&) {}, true},
      {"p and q swapped", [](RsaPrivateNumbers& k, const RsaPrivateNumbers&) { std::swap(k.p, k.q); }, false},
      {"p of another key", [](RsaPrivateNumbers& k, const RsaPrivateNumbers& o) { k.p = o.p; }, false},
      {"q of another key", [](RsaPrivateNumbers& k, const RsaPrivateNumbers& o) { k.q = o.q; }, false},
      {"d of another key", [](RsaPrivateNumbers& k, const RsaPrivateNumbers& o) { k.d = o.d; }, false},
      {"dmp1 of another key", [](RsaPrivateNumbers& k, const RsaPrivateNumbers& o) { k.dmp1 = o.dmp1; }, false},
      {"dmq1 of another key", [](RsaPrivateNumbers& k, const RsaPrivateNumbers& o) { k.dmq1 = o.dmq1; }, false},
      {"iqmp of another key", [](RsaPrivateNumbers& k, const RsaPrivateNumbers& o) { k.iqmp = o.iqmp; }, false},
      {"n of another key", [](RsaPrivateNumbers& k, const RsaPrivateNumbers& o) { k.n = o.n; }, false},
      {"all secrets of another key, n kept",
       [](RsaPrivateNumbers& k, const RsaPrivateNumbers& o) {
         const Bytes n = k.n;
         k = o;
         k.n = n;
       },
       false},
  };
  // 1024-bit keys only: the oracle proves p and q prime, which takes seconds
  // per 2048-bit key under emulation.
  const RsaPrivateNumbers other = NumbersOf(TestKey(1024, 1));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RsaPrivateNumbers numbers = NumbersOf(TestKey(1024, 0));
    c.change(numbers, other);
    EXPECT_EQ(RsaKey::CheckPrivateNumbers(numbers), c.sound);
    EXPECT_EQ(OpenSslPairwiseCheck(numbers), c.sound);
    auto key = RsaKey::FromPrivateNumbers(numbers);
    EXPECT_EQ(key.ok(), c.sound);
    if (!c.sound) {
      EXPECT_EQ(key.code(), Errc::Corrupted);
    }
  }
  EXPECT_TRUE(RsaKey::CheckPrivateNumbers(NumbersOf(TestKey(2048))));
  // Degenerate numbers never pass (no division by a modulus of 0 or 1).
  RsaPrivateNumbers tiny = NumbersOf(TestKey(1024, 0));
  tiny.p = SecureBytes{1};
  tiny.q = SecureBytes{2};
  EXPECT_FALSE(RsaKey::CheckPrivateNumbers(tiny));
}

// Replaces one stored secret number of an unprotected private file with the
// same-length number of another key and seals the file again with the key it
// names, so that every checksum and the seal hold.
Bytes WithForeignNumber(Bytes file, std::size_t index, const SecureBytes& foreign, const RsaKey& sealer) {
  const test::KeyFileLayout layout = test::LayoutOf(file, true);
  EXPECT_EQ(layout.secret_len[index], foreign.size());
  std::copy(foreign.begin(), foreign.end(), file.begin() + static_cast<std::ptrdiff_t>(layout.secrets[index]));
  PutU32(&file[layout.secrets[index] - 4], DataChecksum(foreign.data(), foreign.size()));
  const auto digest = Sha256Of(file.data() + 4, layout.seal_len_field - 4);
  auto seal = sealer.SignRaw(digest.data(), digest.size());
  EXPECT_TRUE(seal);
  std::copy(seal->begin(), seal->end(), file.begin() + static_cast<std::ptrdiff_t>(layout.seal));
  test::FixKeyFileChecksum(file);
  return file;
}

TEST(PrivateKeyCheck, CraftedPrivateFilesDoNotLoad) {
  test::TempDir dir;
  KeyStore store(dir.path());
  const auto jo = test::StorePair(store, TestKey(1024, 0), "Jo");
  const auto bob = test::StorePair(store, TestKey(1024, 1), "Bob");
  const Bytes jo_file = ReadAll(jo.private_path);
  const RsaPrivateNumbers other = NumbersOf(TestKey(1024, 1));

  struct Case {
    const char* name;
    std::string path;
    Bytes file;
  };
  const Case cases[] = {
      // p (index 1) and q (index 2) of another key: sealed, checksummed, wrong.
      {"p of another key", jo.private_path, WithForeignNumber(jo_file, 1, other.p, TestKey(1024, 0))},
      {"q of another key", jo.private_path, WithForeignNumber(jo_file, 2, other.q, TestKey(1024, 0))},
      // A sound private file under the name of another key's id.
      {"another key's file under this name", bob.private_path, jo_file},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes original = ReadAll(c.path);
    test::WriteAll(c.path, c.file);
    FixedProtectionKey keys;
    auto loaded = store.LoadPrivateKey(c.path, keys);
    ASSERT_FALSE(loaded);
    EXPECT_EQ(loaded.code(), Errc::Corrupted);
    EXPECT_EQ(test::MessageIds(PrivateKeyLoadFailure(loaded.error())),
              (std::vector<Msg>{Msg::PrivateKeyCorrupted, Msg::PrivateKeyOpenError}));
    if (const char* corpus = std::getenv("QVX_WRITE_CORPUS"); corpus != nullptr && c.path == jo.private_path) {
      test::WriteAll(std::string(corpus) + "/key_file_fuzzer/private-" + (c.name[0] == 'p' ? "p" : "q") +
                         "-of-another-key.qvx",
                     c.file);
    }
    test::WriteAll(c.path, original);
    EXPECT_TRUE(store.LoadPrivateKey(c.path, keys));
  }

  // The id a caller expects (an envelope's, a signature's) must be the file's.
  FixedProtectionKey keys;
  EXPECT_TRUE(store.LoadPrivateKey(jo.private_path, keys, jo.header.id));
  EXPECT_EQ(store.LoadPrivateKey(jo.private_path, keys, bob.header.id).code(), Errc::Corrupted);
}

}  // namespace
}  // namespace qvx
