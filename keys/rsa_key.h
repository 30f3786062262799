// An RSA key held by OpenSSL's libcrypto (EVP interface), built from and
// exported to the big-endian numbers that the key files store, with the four
// PKCS #1 v1.5 operations the formats use. Secret numbers leave and enter it
// only through wiped buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/result.h"
#include "platform/secure.h"

struct evp_pkey_st;  // OpenSSL's EVP_PKEY

namespace qvx {

using Bytes = std::vector<std::uint8_t>;

// Unsigned big-endian magnitudes of minimal length (no leading zero bytes).
struct RsaPublicNumbers {
  Bytes n;
  Bytes e;
};

struct RsaPrivateNumbers {
  Bytes n;
  Bytes e;
  SecureBytes d;
  SecureBytes p;
  SecureBytes q;
  SecureBytes dmp1;  // d mod (p - 1)
  SecureBytes dmq1;  // d mod (q - 1)
  SecureBytes iqmp;  // q^-1 mod p
};

class RsaKey {
 public:
  static constexpr std::uint32_t kPublicExponent = 65537;

  RsaKey();
  RsaKey(RsaKey&&) noexcept;
  RsaKey& operator=(RsaKey&&) noexcept;
  ~RsaKey();

  // A new key pair with a modulus of exactly `bits` bits, from the library's
  // own random generator.
  static Result<RsaKey> Generate(unsigned bits, std::uint32_t exponent = kPublicExponent);
  static Result<RsaKey> FromPublicNumbers(const Bytes& n, const Bytes& e);
  // Checks first that the private numbers belong to n and e
  // (CheckPrivateNumbers); Corrupted when they do not.
  static Result<RsaKey> FromPrivateNumbers(const RsaPrivateNumbers& numbers);

  // Whether the six private numbers belong to the public key n, e: n = p*q,
  // e*d = 1 modulo p-1 and q-1, dmp1 and dmq1 are d reduced modulo p-1 and
  // q-1, and q*iqmp = 1 modulo p. This is the part of the library's pairwise
  // key check that ties the halves together; it leaves out the primality
  // proofs of p and q, which cost a few hundred milliseconds per load and say
  // nothing about whether the halves match.
  static bool CheckPrivateNumbers(const RsaPrivateNumbers& numbers);

  bool valid() const { return pkey_ != nullptr; }
  bool has_private() const { return private_; }
  // Modulus length in bytes (the length of every RSA output of this key).
  std::size_t ModulusSize() const;
  unsigned ModulusBits() const;

  Result<RsaPublicNumbers> PublicNumbers() const;
  Result<RsaPrivateNumbers> PrivateNumbers() const;

  // PKCS #1 v1.5 block type 1 over the raw bytes, no digest info ("private
  // encrypt"): the seal and signature operation. Needs the private key.
  Result<Bytes> SignRaw(const std::uint8_t* data, std::size_t size) const;
  // The inverse ("public decrypt"): the bytes that were signed, or Corrupted.
  Result<SecureBytes> RecoverRaw(const std::uint8_t* signature, std::size_t size) const;
  // PKCS #1 v1.5 block type 2 encryption with the public key.
  Result<Bytes> Encrypt(const std::uint8_t* data, std::size_t size) const;
  // Its inverse with the private key; Corrupted when the padding is wrong.
  Result<SecureBytes> Decrypt(const std::uint8_t* data, std::size_t size) const;

  // RSAES-OAEP with SHA-256, MGF1-SHA-256 and no label (the hardened
  // crypto-text's wrapped content keys): encryption with the public key, and
  // its inverse with the private key (Corrupted when the padding is wrong).
  Result<Bytes> EncryptOaep(const std::uint8_t* data, std::size_t size) const;
  Result<SecureBytes> DecryptOaep(const std::uint8_t* data, std::size_t size) const;

 private:
  struct Free {
    void operator()(evp_pkey_st* key) const;
  };
  RsaKey(evp_pkey_st* key, bool has_private);
  std::unique_ptr<evp_pkey_st, Free> pkey_;
  bool private_ = false;
};

}  // namespace qvx
