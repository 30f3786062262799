// Wiping and constant-time comparison for secrets.
#include "platform/secure.h"

#include <cstring>

namespace qvx {

void SecureWipe(void* data, std::size_t n) {
  if (data == nullptr || n == 0) return;
#if defined(__GNUC__) || defined(__clang__)
  // The barrier takes the buffer as an input and clobbers memory, so the
  // compiler must assume the zeros are read and cannot drop the memset.
  std::memset(data, 0, n);
  __asm__ __volatile__("" : : "r"(data) : "memory");
#else
  volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
  for (std::size_t i = 0; i < n; ++i) p[i] = 0;
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
