// The hardened format against the compatible one in the same run: password
// blocks of 10 KB and 1 MB texts, time to encrypt and decrypt and the block
// size of each, and the cost of one Argon2id derivation at the default and at
// a few other settings (the figure the default cost was chosen by).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "bench/bench_support.h"
#include "bench/word_text.h"
#include "engine/cryptotext.h"
#include "engine/hardened_block.h"
#include "engine/password_key.h"

using qvx::bench::FixedPassword;
using qvx::bench::Seconds;

int main() {
  std::printf("Argon2id, one derivation (best of 3):\n");
  const qvx::Argon2Params costs[] = {{16384, 3, 4}, {32768, 3, 4}, {65536, 1, 4}, {65536, 2, 4},
                                     qvx::kDefaultArgon2, {65536, 4, 4}};
  const qvx::Key256 password = qvx::PasswordToKey("bench");
  const qvx::Salt salt{};
  for (const qvx::Argon2Params& cost : costs) {
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
      best = std::min(best, Seconds([&] { (void)qvx::DeriveHardenedKey(password, salt, cost); }));
    }
    std::printf("  m=%6u KiB t=%u p=%u  %7.3f s%s\n", cost.memory_kib, cost.passes, cost.lanes, best,
                cost == qvx::kDefaultArgon2 ? "  (default)" : "");
  }

  FixedPassword prompt;
  std::printf("\n%-7s %-10s %10s %10s %12s\n", "text", "format", "encrypt s", "decrypt s", "block bytes");
  for (std::size_t size : {std::size_t{10} << 10, std::size_t{1} << 20}) {
    const std::string text = qvx::bench::WordText(size);
    for (qvx::CryptoFormat format : {qvx::CryptoFormat::Compatible, qvx::CryptoFormat::Hardened}) {
      double enc = 1e30, dec = 1e30;
      std::size_t block_size = 0;
      for (int run = 0; run < 3; ++run) {
        std::string block;
        enc = std::min(enc, Seconds([&] {
          qvx::CryptoTextOperation op(prompt);
          block = *op.EncryptText(text, qvx::EnvelopeMode::Password, format);
        }));
        std::size_t plain = 0;
        dec = std::min(dec, Seconds([&] {
          qvx::CryptoTextOperation op(prompt);
          plain = op.DecryptAllBlocks(block)->text.size();
        }));
        if (plain != text.size()) {
          std::fprintf(stderr, "round trip failed\n");
          return 1;
        }
        block_size = block.size();
      }
      std::printf("%4zu KB %-10s %10.4f %10.4f %12zu\n", size >> 10,
                  format == qvx::CryptoFormat::Hardened ? "2 hardened" : "1 compat.", enc, dec, block_size);
    }
  }
  return 0;
}
