// Key pair generation: the median time of GenerateKeyPair (generation, both
// key files encoded, sealed and written) for 1024 and 2048 bits, against the
// median of OpenSSL's bare EVP_RSA_gen for the same length in the same run.
// RSA generation times scatter widely (prime search), hence medians; times are
// processor time of this process, so other work on the machine does not count.
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "keys/generate.h"
#include "platform/system.h"

namespace {

template <class F>
double MedianMs(int runs, F&& run) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const std::clock_t start = std::clock();
    run();
    times.push_back(1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 9;
  std::uint64_t tag = 0;
  (void)qvx::RandomBytes(&tag, sizeof tag);
  const auto folder = std::filesystem::temp_directory_path() / ("qvx-bench-keys-" + std::to_string(tag));
  qvx::KeyStore store(folder.string());
  int failures = 0;
  for (unsigned bits : {1024u, 2048u}) {
    const double ours = MedianMs(runs, [&] {
      if (!qvx::GenerateKeyPair(store, bits, "Bench", "", nullptr)) ++failures;
    });
    const double reference = MedianMs(runs, [&] {
      EVP_PKEY* key = EVP_RSA_gen(bits);
      if (key == nullptr) ++failures;
      EVP_PKEY_free(key);
    });
    std::printf("%u bits: GenerateKeyPair median %.1f ms, EVP_RSA_gen median %.1f ms, ratio %.2f (%d runs)\n",
                bits, ours, reference, ours / reference, runs);
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return failures == 0 ? 0 : 1;
}
