// SHA-256 compression function, fully unrolled with a rolling 16-word schedule.
#include "engine/sha256.h"

#include <algorithm>
#include <cstring>

#include "platform/secure.h"

namespace qvx {

namespace {

constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline std::uint32_t Rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
inline std::uint32_t LoadBe32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}
inline void StoreBe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

// Rounds 0..15 read the message words; rounds 16..63 extend the schedule in
// place (w[i & 15]) just before using it.
#define QVX_SHA_S0(x) (Rotr(x, 2) ^ Rotr(x, 13) ^ Rotr(x, 22))
#define QVX_SHA_S1(x) (Rotr(x, 6) ^ Rotr(x, 11) ^ Rotr(x, 25))
#define QVX_SHA_G0(x) (Rotr(x, 7) ^ Rotr(x, 18) ^ ((x) >> 3))
#define QVX_SHA_G1(x) (Rotr(x, 17) ^ Rotr(x, 19) ^ ((x) >> 10))
#define QVX_SHA_CH(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define QVX_SHA_MAJ(x, y, z) (((x) & (y)) | ((z) & ((x) | (y))))
#define QVX_SHA_ROUND(a, b, c, d, e, f, g, h, i, wi)                       \
  do {                                                                     \
    const std::uint32_t t1 = h + QVX_SHA_S1(e) + QVX_SHA_CH(e, f, g) + kRound[i] + (wi); \
    const std::uint32_t t2 = QVX_SHA_S0(a) + QVX_SHA_MAJ(a, b, c);         \
    d += t1;                                                               \
    h = t1 + t2;                                                           \
  } while (0)
#define QVX_SHA_W(i) \
  (w[(i) & 15] += QVX_SHA_G1(w[((i) - 2) & 15]) + w[((i) - 7) & 15] + QVX_SHA_G0(w[((i) - 15) & 15]))
#define QVX_SHA_8(i, W)                                  \
  QVX_SHA_ROUND(a, b, c, d, e, f, g, h, (i) + 0, W((i) + 0)); \
  QVX_SHA_ROUND(h, a, b, c, d, e, f, g, (i) + 1, W((i) + 1)); \
  QVX_SHA_ROUND(g, h, a, b, c, d, e, f, (i) + 2, W((i) + 2)); \
  QVX_SHA_ROUND(f, g, h, a, b, c, d, e, (i) + 3, W((i) + 3)); \
  QVX_SHA_ROUND(e, f, g, h, a, b, c, d, (i) + 4, W((i) + 4)); \
  QVX_SHA_ROUND(d, e, f, g, h, a, b, c, (i) + 5, W((i) + 5)); \
  QVX_SHA_ROUND(c, d, e, f, g, h, a, b, (i) + 6, W((i) + 6)); \
  QVX_SHA_ROUND(b, c, d, e, f, g, h, a, (i) + 7, W((i) + 7))
#define QVX_SHA_MSG(i) (w[i])

void Compress(std::uint32_t state[8], const std::uint8_t* blocks, std::size_t count) {
  std::uint32_t w[16];
  while (count-- > 0) {
    for (int i = 0; i < 16; ++i) w[i] = LoadBe32(blocks + 4 * i);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    QVX_SHA_8(0, QVX_SHA_MSG);
    QVX_SHA_8(8, QVX_SHA_MSG);
    QVX_SHA_8(16, QVX_SHA_W);
    QVX_SHA_8(24, QVX_SHA_W);
    QVX_SHA_8(32, QVX_SHA_W);
    QVX_SHA_8(40, QVX_SHA_W);
    QVX_SHA_8(48, QVX_SHA_W);
    QVX_SHA_8(56, QVX_SHA_W);
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
    blocks += 64;
  }
  SecureWipe(w, sizeof w);
}

}  // namespace

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab,
             0x5be0cd19} {}

Sha256::~Sha256() {
  SecureWipe(state_, sizeof state_);
  SecureWipe(buffer_, sizeof buffer_);
}

void Sha256::Update(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  length_ += size;
  if (buffered_ > 0) {
    const std::size_t take = std::min(size, sizeof buffer_ - buffered_);
    std::memcpy(buffer_ + buffered_, p, take);
    buffered_ += take;
    p += take;
    size -= take;
    if (buffered_ < sizeof buffer_) return;
    Compress(state_, buffer_, 1);
    buffered_ = 0;
  }
  if (size >= 64) {
    Compress(state_, p, size / 64);
    p += size & ~std::size_t{63};
    size &= 63;
  }
  if (size > 0) {
    std::memcpy(buffer_, p, size);
    buffered_ = size;
  }
}

void Sha256::Final(std::uint8_t out[32]) {
  const std::uint64_t bits = length_ * 8;
  buffer_[buffered_++] = 0x80;
  if (buffered_ > 56) {
    std::memset(buffer_ + buffered_, 0, 64 - buffered_);
    Compress(state_, buffer_, 1);
    buffered_ = 0;
  }
  std::memset(buffer_ + buffered_, 0, 56 - buffered_);
  for (int i = 0; i < 8; ++i) buffer_[56 + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
  Compress(state_, buffer_, 1);
  buffered_ = 0;
  for (int i = 0; i < 8; ++i) StoreBe32(out + 4 * i, state_[i]);
}

Sha256Digest Sha256::Final() {
  Sha256Digest d;
  Final(d.data());
  return d;
}

Sha256Digest Sha256Of(const void* data, std::size_t size) {
  Sha256 h;
  h.Update(data, size);
  return h.Final();
}

}  // namespace qvx
