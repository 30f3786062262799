// Encrypting a 1 MB text to a public key (RSA envelope) against encrypting the
// same text under a password, and the same for decryption, in the same run.
// Both go through the whole crypto-text operation (compression, envelope,
// Base64, armour), so the ratio shows what the RSA layer adds: one RSA
// operation and a key file read and checked per block. Times are processor
// time of this process, best of several runs.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "bench/bench_support.h"
#include "bench/word_text.h"
#include "engine/cryptotext.h"
#include "engine/password_key.h"
#include "engine/rijndael.h"
#include "keys/generate.h"
#include "keys/messages.h"
#include "keys/key_store_envelopes.h"
#include "platform/system.h"

namespace {

using qvx::bench::FixedPassword;

template <class F>
double BestMs(int runs, F&& f) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    const std::clock_t start = std::clock();
    f();
    best = std::min(best, 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
  }
  return best;
}

}  // namespace

int main() {
  std::uint64_t tag = 0;
  (void)qvx::RandomBytes(&tag, sizeof tag);
  const auto folder = std::filesystem::temp_directory_path() / ("qvx-bench-rsa-" + std::to_string(tag));
  const qvx::KeyStore store(folder.string());
  const std::string text = qvx::bench::WordText(1u << 20);
  FixedPassword prompt;
  qvx::FixedProtectionKey keys;
  int failures = 0;
  std::printf("1 MB text, processor time, best of 5\n");
  for (unsigned bits : {1024u, 2048u}) {
    auto key = qvx::GenerateKeyPair(store, bits, "Bench", "", nullptr);
    if (!key) return 1;
    qvx::KeyStoreEnvelopes rsa(store, [&] { return std::optional(key->public_path); }, keys);
    std::string rsa_block, password_block;
    const double rsa_enc = BestMs(5, [&] {
      qvx::CryptoTextOperation op(prompt, nullptr, &rsa);
      auto block = op.EncryptText(text, qvx::EnvelopeMode::Rsa);
      if (!block) {
        ++failures;
        return;
      }
      rsa_block = std::move(*block);
    });
    const double pw_enc = BestMs(5, [&] {
      qvx::CryptoTextOperation op(prompt);
      auto block = op.EncryptText(text);
      if (!block) {
        ++failures;
        return;
      }
      password_block = std::move(*block);
    });
    const double rsa_dec = BestMs(5, [&] {
      qvx::CryptoTextOperation op(prompt, nullptr, &rsa);
      auto plain = op.DecryptAllBlocks(rsa_block);
      if (!plain || plain->text.view() != text) ++failures;
    });
    const double pw_dec = BestMs(5, [&] {
      qvx::CryptoTextOperation op(prompt);
      auto plain = op.DecryptAllBlocks(password_block);
      if (!plain || plain->text.view() != text) ++failures;
    });
    std::printf("RSA-%u  encrypt %7.1f ms vs password %7.1f ms  ratio %.3f\n", bits, rsa_enc, pw_enc,
                rsa_enc / pw_enc);
    std::printf("RSA-%u  decrypt %7.1f ms vs password %7.1f ms  ratio %.3f\n", bits, rsa_dec, pw_dec,
                rsa_dec / pw_dec);
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  if (failures != 0) std::fprintf(stderr, "%d round trips failed\n", failures);
  return failures == 0 ? 0 : 1;
}
