// Throughput of whole-text encryption and decryption (compression, envelope,
// Base64 and armour) for texts of 1, 10 and 100 MB, against the PPMd codec
// alone on the same text in the same run. The ratio shows what the block
// format costs on top of the compression it cannot do without.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "bench/bench_support.h"
#include "bench/word_text.h"
#include "engine/cryptotext.h"
#include "engine/password_key.h"
#include "engine/ppmd/ppmd.h"
#include "engine/rijndael.h"

using qvx::bench::FixedPassword;
using qvx::bench::Seconds;

int main() {
  FixedPassword prompt;
  std::printf("%-8s %-9s %10s %12s %8s\n", "size", "direction", "ours MB/s", "codec MB/s", "ratio");
  for (std::size_t mb : {1u, 10u, 100u}) {
    const std::string text = qvx::bench::WordText(mb << 20);
    std::size_t block_size = 0;
    // Ours and the reference take turns, best of three each, so that a busy
    // machine slows both alike.
    double enc = 1e30, dec = 1e30, codec_enc = 1e30, codec_dec = 1e30;
    for (int run = 0; run < 3; ++run) {
      std::string block;
      enc = std::min(enc, Seconds([&] {
        qvx::CryptoTextOperation op(prompt);
        block = *op.EncryptText(text);
      }));
      qvx::SecureBytes stream;
      codec_enc = std::min(codec_enc, Seconds([&] {
        (void)qvx::ppmd::CompressAppend(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                                        stream);
      }));
      std::size_t plain_size = 0;
      dec = std::min(dec, Seconds([&] {
        qvx::CryptoTextOperation op(prompt);
        plain_size = op.DecryptAllBlocks(block)->text.size();
      }));
      codec_dec = std::min(codec_dec, Seconds([&] { (void)qvx::ppmd::Decompress(stream.data(), stream.size()); }));
      if (plain_size != text.size()) {
        std::fprintf(stderr, "round trip failed\n");
        return 1;
      }
      block_size = block.size();
    }
    const double size = static_cast<double>(text.size()) / 1e6;
    std::printf("%4zu MB  %-9s %10.1f %12.1f %8.2f\n", mb, "encrypt", size / enc, size / codec_enc,
                codec_enc / enc);
    std::printf("%4zu MB  %-9s %10.1f %12.1f %8.2f\n", mb, "decrypt", size / dec, size / codec_dec,
                codec_dec / dec);
    std::printf("         block %zu bytes for %zu (%.1f%%)\n", block_size, text.size(),
                100.0 * static_cast<double>(block_size) / static_cast<double>(text.size()));
  }
  return 0;
}
