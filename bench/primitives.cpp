// Throughput of our SHA-256 and Rijndael-256 against OpenSSL in the same run:
// SHA-256 against OpenSSL's SHA-256 with its CPU extensions masked
// (OPENSSL_ia32cap=0), Rijndael-256 against AES-256-ECB with only AES-NI masked.
// OpenSSL reads the mask when it loads, so each half runs in a child process.
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/rijndael.h"
#include "engine/sha256.h"

namespace {

constexpr std::size_t kSize = 32u << 20;
constexpr int kRuns = 5;

template <class F>
double BestMbPerSecond(F&& run) {
  double best = 0;
  for (int i = 0; i < kRuns; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    best = std::max(best, kSize / 1e6 / seconds);
  }
  return best;
}

void Report(const char* ours, double a, const char* reference, double b, double goal) {
  std::printf("%-28s %8.1f MB/s\n%-28s %8.1f MB/s\nratio %.2f (goal >= %.1f)\n\n", ours, a,
              reference, b, a / b, goal);
}

int BenchSha(std::vector<std::uint8_t>& data) {
  volatile std::uint8_t sink = 0;
  const double ours = BestMbPerSecond([&] { sink = sink + qvx::Sha256Of(data.data(), data.size())[0]; });
  const double theirs = BestMbPerSecond([&] {
    unsigned char d[32];
    unsigned int n = 0;
    EVP_Digest(data.data(), data.size(), d, &n, EVP_sha256(), nullptr);
    sink = sink + d[0];
  });
  Report("SHA-256 (ours)", ours, "SHA-256 (OpenSSL, ia32cap=0)", theirs, 0.7);
  return 0;
}

int BenchCipher(std::vector<std::uint8_t>& data) {
  std::uint8_t key[32];
  for (int i = 0; i < 32; ++i) key[i] = static_cast<std::uint8_t>(i * 7 + 1);
  qvx::Rijndael256 cipher(key);
  const double ours = BestMbPerSecond([&] { cipher.EncryptBlocks(data.data(), data.size()); });
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  EVP_EncryptInit_ex(ctx, EVP_aes_256_ecb(), nullptr, key, nullptr);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  std::vector<std::uint8_t> out(data.size());
  const double theirs = BestMbPerSecond([&] {
    int n = 0;
    EVP_EncryptUpdate(ctx, out.data(), &n, data.data(), static_cast<int>(data.size()));
  });
  EVP_CIPHER_CTX_free(ctx);
  Report("Rijndael-256 ECB (ours)", ours, "AES-256-ECB (OpenSSL, no AES-NI)", theirs, 0.8);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::uint8_t> data(kSize);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
  if (argc > 1 && std::strcmp(argv[1], "--sha") == 0) return BenchSha(data);
  if (argc > 1 && std::strcmp(argv[1], "--cipher") == 0) return BenchCipher(data);
  // AES-NI is bit 25 of CPUID(1).ECX, bit 57 of OpenSSL's first capability word.
  const std::string self = argv[0];
  int rc = std::system(("OPENSSL_ia32cap=0 '" + self + "' --sha").c_str());
  rc |= std::system(("OPENSSL_ia32cap='~0x200000000000000' '" + self + "' --cipher").c_str());
  return rc == 0 ? 0 : 1;
}
