// Table-driven Rijndael for 8-column state and key. The state is packed column
// by column, row 0 in the low byte of each 32-bit word. ShiftRows for eight
// columns moves rows 1, 2 and 3 by 1, 3 and 4 columns.
#include "engine/rijndael.h"

#include <array>
#include <cstring>

#include "engine/sha256.h"

namespace qvx {

namespace {

constexpr std::uint8_t XTime(std::uint8_t x) {
  return static_cast<std::uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1b : 0));
}

constexpr std::uint8_t GfMul(std::uint8_t a, std::uint8_t b) {
  std::uint8_t r = 0;
  while (b != 0) {
    if (b & 1) r ^= a;
    a = XTime(a);
    b >>= 1;
  }
  return r;
}

struct Tables {
  std::uint8_t sbox[256]{};
  std::uint8_t inv_sbox[256]{};
  std::uint32_t enc[4][256]{};  // SubBytes + MixColumn, one table per row
  std::uint32_t dec[4][256]{};  // InvSubBytes + InvMixColumn
  std::uint32_t inv_mix[4][256]{};  // InvMixColumn alone, for the decryption schedule
};

constexpr std::uint32_t Rotl8(std::uint32_t x) { return (x << 8) | (x >> 24); }

constexpr Tables MakeTables() {
  Tables t;
  // Multiplicative inverses through exponent/log tables with generator 3.
  std::uint8_t exp[256]{}, log[256]{};
  std::uint8_t x = 1;
  for (int i = 0; i < 255; ++i) {
    exp[i] = x;
    log[x] = static_cast<std::uint8_t>(i);
    x = static_cast<std::uint8_t>(x ^ XTime(x));
  }
  for (int i = 0; i < 256; ++i) {
    std::uint8_t inv = i == 0 ? 0 : exp[(255 - log[i]) % 255];
    std::uint8_t s = inv;
    std::uint8_t r = inv;
    for (int k = 0; k < 4; ++k) {
      r = static_cast<std::uint8_t>((r << 1) | (r >> 7));
      s ^= r;
    }
    s ^= 0x63;
    t.sbox[i] = s;
    t.inv_sbox[s] = static_cast<std::uint8_t>(i);
  }
  for (int i = 0; i < 256; ++i) {
    const std::uint8_t s = t.sbox[i];
    // Column contribution of a row-0 byte: (2s, s, s, 3s) with row 0 lowest.
    std::uint32_t e = std::uint32_t{GfMul(s, 2)} | (std::uint32_t{s} << 8) |
                      (std::uint32_t{s} << 16) | (std::uint32_t{GfMul(s, 3)} << 24);
    const std::uint8_t v = t.inv_sbox[i];
    std::uint32_t d = std::uint32_t{GfMul(v, 14)} | (std::uint32_t{GfMul(v, 9)} << 8) |
                      (std::uint32_t{GfMul(v, 13)} << 16) | (std::uint32_t{GfMul(v, 11)} << 24);
    const std::uint8_t u = static_cast<std::uint8_t>(i);
    std::uint32_t m = std::uint32_t{GfMul(u, 14)} | (std::uint32_t{GfMul(u, 9)} << 8) |
                      (std::uint32_t{GfMul(u, 13)} << 16) | (std::uint32_t{GfMul(u, 11)} << 24);
    for (int row = 0; row < 4; ++row) {
      t.enc[row][i] = e;
      t.dec[row][i] = d;
      t.inv_mix[row][i] = m;
      e = Rotl8(e);
      d = Rotl8(d);
      m = Rotl8(m);
    }
  }
  return t;
}

constexpr Tables kT = MakeTables();

inline std::uint32_t Load32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}
inline void Store32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}
inline std::uint32_t SubWord(std::uint32_t w) {
  return std::uint32_t{kT.sbox[w & 0xff]} | (std::uint32_t{kT.sbox[(w >> 8) & 0xff]} << 8) |
         (std::uint32_t{kT.sbox[(w >> 16) & 0xff]} << 16) |
         (std::uint32_t{kT.sbox[w >> 24]} << 24);
}
inline std::uint32_t InvMixWord(std::uint32_t w) {
  return kT.inv_mix[0][w & 0xff] ^ kT.inv_mix[1][(w >> 8) & 0xff] ^
         kT.inv_mix[2][(w >> 16) & 0xff] ^ kT.inv_mix[3][w >> 24];
}

// One full round: column j takes row r from column (j + shift_r) mod 8.
#define QVX_RJ_COL(T, o, s, rk, j, s1, s2, s3)                              \
  o[j] = (rk)[j] ^ T[0][s[j] & 0xff] ^ T[1][(s[((j) + (s1)) & 7] >> 8) & 0xff] ^ \
         T[2][(s[((j) + (s2)) & 7] >> 16) & 0xff] ^ T[3][s[((j) + (s3)) & 7] >> 24]
#define QVX_RJ_ROUND(T, o, s, rk, s1, s2, s3) \
  QVX_RJ_COL(T, o, s, rk, 0, s1, s2, s3);     \
  QVX_RJ_COL(T, o, s, rk, 1, s1, s2, s3);     \
  QVX_RJ_COL(T, o, s, rk, 2, s1, s2, s3);     \
  QVX_RJ_COL(T, o, s, rk, 3, s1, s2, s3);     \
  QVX_RJ_COL(T, o, s, rk, 4, s1, s2, s3);     \
  QVX_RJ_COL(T, o, s, rk, 5, s1, s2, s3);     \
  QVX_RJ_COL(T, o, s, rk, 6, s1, s2, s3);     \
  QVX_RJ_COL(T, o, s, rk, 7, s1, s2, s3)

template <bool kEncrypt>
void Crypt(const std::uint32_t* rk, const std::uint8_t* in, std::uint8_t* out) {
  // Forward shifts 1, 3, 4; inverse shifts -1, -3, -4 (= 7, 5, 4 mod 8).
  constexpr int s1 = kEncrypt ? 1 : 7;
  constexpr int s2 = kEncrypt ? 3 : 5;
  constexpr int s3 = 4;
  const auto& T = kEncrypt ? kT.enc : kT.dec;
  const std::uint8_t* box = kEncrypt ? kT.sbox : kT.inv_sbox;
  std::uint32_t s[8], o[8];
  for (int j = 0; j < 8; ++j) s[j] = Load32(in + 4 * j) ^ rk[j];
  for (int round = 1; round < 14; round += 2) {
    QVX_RJ_ROUND(T, o, s, rk + 8 * round, s1, s2, s3);
    if (round + 1 == 14) {
      std::memcpy(s, o, sizeof s);
      break;
    }
    QVX_RJ_ROUND(T, s, o, rk + 8 * (round + 1), s1, s2, s3);
  }
  const std::uint32_t* last = rk + 8 * 14;
  for (int j = 0; j < 8; ++j) {
    const std::uint32_t w = std::uint32_t{box[s[j] & 0xff]} |
                            (std::uint32_t{box[(s[(j + s1) & 7] >> 8) & 0xff]} << 8) |
                            (std::uint32_t{box[(s[(j + s2) & 7] >> 16) & 0xff]} << 16) |
                            (std::uint32_t{box[s[(j + s3) & 7] >> 24]} << 24);
    Store32(out + 4 * j, w ^ last[j]);
  }
  SecureWipe(s, sizeof s);
  SecureWipe(o, sizeof o);
}

}  // namespace

Rijndael256::Rijndael256(const std::uint8_t key[kKeySize]) {
  constexpr int nk = 8;
  constexpr int total = kColumns * (kRounds + 1);
  for (int i = 0; i < nk; ++i) enc_[i] = Load32(key + 4 * i);
  std::uint8_t rcon = 1;
  for (int i = nk; i < total; ++i) {
    std::uint32_t temp = enc_[i - 1];
    if (i % nk == 0) {
      temp = SubWord((temp >> 8) | (temp << 24)) ^ rcon;  // RotWord then SubWord
      rcon = XTime(rcon);
    } else if (i % nk == 4) {
      temp = SubWord(temp);
    }
    enc_[i] = enc_[i - nk] ^ temp;
  }
  // Equivalent inverse cipher: round keys in reverse order, the inner ones
  // passed through InvMixColumn.
  for (int round = 0; round <= kRounds; ++round) {
    for (int j = 0; j < kColumns; ++j) {
      const std::uint32_t w = enc_[kColumns * (kRounds - round) + j];
      dec_[kColumns * round + j] = (round == 0 || round == kRounds) ? w : InvMixWord(w);
    }
  }
}

Rijndael256::~Rijndael256() {
  SecureWipe(enc_, sizeof enc_);
  SecureWipe(dec_, sizeof dec_);
}

void Rijndael256::EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const {
  Crypt<true>(enc_, in, out);
}

void Rijndael256::DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const {
  Crypt<false>(dec_, in, out);
}

void Rijndael256::EncryptBlocks(std::uint8_t* data, std::size_t size) const {
  for (std::size_t i = 0; i + kBlockSize <= size; i += kBlockSize) EncryptBlock(data + i, data + i);
}

void Rijndael256::DecryptBlocks(std::uint8_t* data, std::size_t size) const {
  for (std::size_t i = 0; i + kBlockSize <= size; i += kBlockSize) DecryptBlock(data + i, data + i);
}

}  // namespace qvx
