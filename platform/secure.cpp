// Wiping and constant-time comparison for secrets.
#include "platform/secure.h"

#include <cstring>

namespace qvx {

void SecureWipe(void* data, std::size_t n) {
  if (data == nullptr || n == 0) return;
  // Writing through a volatile pointer keeps the stores; the barrier keeps the
  // compiler from treating the buffer as dead afterwards.
  volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
  for (std::size_t i = 0; i < n; ++i) p[i] = 0;
#if defined(__GNUC__) || defined(__clang__)
  __asm__ __volatile__("" : : "r"(data) : "memory");
#endif
}

bool ConstantTimeEqual(const void* a, const void* b, std::size_t n) {
  const auto* x = static_cast<const unsigned char*>(a);
  const auto* y = static_cast<const unsigned char*>(b);
  unsigned char diff = 0;
  for (std::size_t i = 0; i < n; ++i) diff |= static_cast<unsigned char>(x[i] ^ y[i]);
  return diff == 0;
}

}  // namespace qvx
