// RSA through OpenSSL 3's EVP interface. Keys are built from parameter arrays
// that point into our own wiped buffers, numbers are read back as BIGNUMs and
// cleared when freed, and every OpenSSL object lives in an RAII holder.
#include "keys/rsa_key.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace qvx {

namespace {

struct CtxFree {
  void operator()(EVP_PKEY_CTX* ctx) const { EVP_PKEY_CTX_free(ctx); }
};
using CtxPtr = std::unique_ptr<EVP_PKEY_CTX, CtxFree>;

struct BnClearFree {
  void operator()(BIGNUM* bn) const { BN_clear_free(bn); }
};
using BnPtr = std::unique_ptr<BIGNUM, BnClearFree>;

// The library's last error as text; empties its error queue.
std::string OpenSslError(const char* what) {
  std::string text = what;
  unsigned long code = ERR_get_error();
  if (code != 0) {
    char buffer[256];
    ERR_error_string_n(code, buffer, sizeof buffer);
    text += ": ";
    text += buffer;
  }
  ERR_clear_error();
  return text;
}

Error CryptoError(const char* what) { return MakeError(Errc::Crypto, OpenSslError(what)); }

bool HostIsLittleEndian() {
  const std::uint16_t probe = 1;
  std::uint8_t first;
  std::memcpy(&first, &probe, 1);
  return first == 1;
}

// OSSL_PARAM integers are unsigned numbers in the host's byte order.
SecureBytes ToHostOrder(const std::uint8_t* big_endian, std::size_t size) {
  SecureBytes out(big_endian, big_endian + size);
  if (HostIsLittleEndian()) std::reverse(out.begin(), out.end());
  if (out.empty()) out.push_back(0);
  return out;
}

// Parameter array over wiped copies of the numbers; the copies live as long as
// the object.
class NumberParams {
 public:
  void Add(const char* name, const std::uint8_t* big_endian, std::size_t size) {
    buffers_.push_back(ToHostOrder(big_endian, size));
    names_.push_back(name);
  }
  OSSL_PARAM* Build() {
    params_.clear();
    for (std::size_t i = 0; i < buffers_.size(); ++i) {
      params_.push_back(OSSL_PARAM_construct_BN(names_[i], buffers_[i].data(), buffers_[i].size()));
    }
    params_.push_back(OSSL_PARAM_construct_end());
    return params_.data();
  }

 private:
  std::vector<SecureBytes> buffers_;
  std::vector<const char*> names_;
  std::vector<OSSL_PARAM> params_;
};

Result<SecureBytes> GetNumber(const EVP_PKEY* pkey, const char* name) {
  BIGNUM* raw = nullptr;
  if (EVP_PKEY_get_bn_param(pkey, name, &raw) != 1 || raw == nullptr) {
    return CryptoError("cannot read an RSA number");
  }
  BnPtr bn(raw);
  SecureBytes out(static_cast<std::size_t>(BN_num_bytes(bn.get())));
  if (!out.empty()) BN_bn2bin(bn.get(), out.data());
  return out;
}

Result<Bytes> GetPublicNumber(const EVP_PKEY* pkey, const char* name) {
  auto secure = GetNumber(pkey, name);
  if (!secure) return secure.error();
  return Bytes(secure->begin(), secure->end());
}

// A context for one operation on the key, set up by `init` with PKCS #1 v1.5
// padding.
Result<CtxPtr> PaddedContext(EVP_PKEY* pkey, int (*init)(EVP_PKEY_CTX*), const char* what) {
  CtxPtr ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, pkey, nullptr));
  if (!ctx || init(ctx.get()) != 1 || EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1) {
    return CryptoError(what);
  }
  return ctx;
}

// A context for one operation with OAEP padding over SHA-256 (and MGF1 with
// SHA-256), set up by `init`.
Result<CtxPtr> OaepContext(EVP_PKEY* pkey, int (*init)(EVP_PKEY_CTX*), const char* what) {
  CtxPtr ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, pkey, nullptr));
  if (!ctx || init(ctx.get()) != 1 || EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_OAEP_PADDING) != 1 ||
      EVP_PKEY_CTX_set_rsa_oaep_md(ctx.get(), EVP_sha256()) != 1 ||
      EVP_PKEY_CTX_set_rsa_mgf1_md(ctx.get(), EVP_sha256()) != 1) {
    return CryptoError(what);
  }
  return ctx;
}

}  // namespace

void RsaKey::Free::operator()(evp_pkey_st* key) const { EVP_PKEY_free(key); }

RsaKey::RsaKey() = default;
RsaKey::RsaKey(evp_pkey_st* key, bool has_private) : pkey_(key), private_(has_private) {}
RsaKey::RsaKey(RsaKey&&) noexcept = default;
RsaKey& RsaKey::operator=(RsaKey&&) noexcept = default;
RsaKey::~RsaKey() = default;

Result<RsaKey> RsaKey::Generate(unsigned bits, std::uint32_t exponent) {
  CtxPtr ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_keygen_bits(ctx.get(), static_cast<int>(bits)) != 1) {
    return CryptoError("cannot set up RSA key generation");
  }
  BnPtr e(BN_new());
  if (!e || BN_set_word(e.get(), exponent) != 1 ||
      EVP_PKEY_CTX_set1_rsa_keygen_pubexp(ctx.get(), e.get()) != 1) {
    return CryptoError("cannot set the public exponent");
  }
  EVP_PKEY* key = nullptr;
  if (EVP_PKEY_generate(ctx.get(), &key) != 1 || key == nullptr) {
    return CryptoError("RSA key generation failed");
  }
  return RsaKey(key, true);
}

Result<RsaKey> RsaKey::FromPublicNumbers(const Bytes& n, const Bytes& e) {
  NumberParams params;
  params.Add(OSSL_PKEY_PARAM_RSA_N, n.data(), n.size());
  params.Add(OSSL_PKEY_PARAM_RSA_E, e.data(), e.size());
  CtxPtr ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  EVP_PKEY* key = nullptr;
  if (!ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
      EVP_PKEY_fromdata(ctx.get(), &key, EVP_PKEY_PUBLIC_KEY, params.Build()) != 1 ||
      key == nullptr) {
    return CryptoError("cannot build the RSA public key");
  }
  return RsaKey(key, false);
}

namespace {

struct BnCtxFree {
  void operator()(BN_CTX* ctx) const { BN_CTX_free(ctx); }
};

BnPtr ToBn(const std::uint8_t* data, std::size_t size) {
  return BnPtr(BN_bin2bn(data, static_cast<int>(size), nullptr));
}

}  // namespace

bool RsaKey::CheckPrivateNumbers(const RsaPrivateNumbers& k) {
  std::unique_ptr<BN_CTX, BnCtxFree> ctx(BN_CTX_secure_new());
  BnPtr n = ToBn(k.n.data(), k.n.size()), e = ToBn(k.e.data(), k.e.size());
  BnPtr d = ToBn(k.d.data(), k.d.size()), p = ToBn(k.p.data(), k.p.size());
  BnPtr q = ToBn(k.q.data(), k.q.size()), dmp1 = ToBn(k.dmp1.data(), k.dmp1.size());
  BnPtr dmq1 = ToBn(k.dmq1.data(), k.dmq1.size()), iqmp = ToBn(k.iqmp.data(), k.iqmp.size());
  BnPtr p1(BN_new()), q1(BN_new()), t(BN_new());
  if (!ctx || !n || !e || !d || !p || !q || !dmp1 || !dmq1 || !iqmp || !p1 || !q1 || !t) {
    ERR_clear_error();
    return false;
  }
  auto is_one = [&](const BIGNUM* a, const BIGNUM* b, const BIGNUM* m) {
    return BN_mod_mul(t.get(), a, b, m, ctx.get()) == 1 && BN_is_one(t.get());
  };
  auto equals_mod = [&](const BIGNUM* x, const BIGNUM* value, const BIGNUM* m) {
    return BN_nnmod(t.get(), value, m, ctx.get()) == 1 && BN_cmp(t.get(), x) == 0;
  };
  // p and q above 2, so that p-1 and q-1 are moduli above 1.
  bool ok = BN_cmp(p.get(), BN_value_one()) > 0 && BN_cmp(q.get(), BN_value_one()) > 0 &&
            BN_sub(p1.get(), p.get(), BN_value_one()) == 1 && BN_sub(q1.get(), q.get(), BN_value_one()) == 1 &&
            !BN_is_one(p1.get()) && !BN_is_one(q1.get());
  ok = ok && BN_mul(t.get(), p.get(), q.get(), ctx.get()) == 1 && BN_cmp(t.get(), n.get()) == 0;
  ok = ok && BN_cmp(d.get(), n.get()) < 0;
  ok = ok && is_one(e.get(), d.get(), p1.get()) && is_one(e.get(), d.get(), q1.get());
  ok = ok && equals_mod(dmp1.get(), d.get(), p1.get()) && equals_mod(dmq1.get(), d.get(), q1.get());
  ok = ok && BN_cmp(iqmp.get(), p.get()) < 0 && is_one(q.get(), iqmp.get(), p.get());
  ERR_clear_error();
  return ok;
}

Result<RsaKey> RsaKey::FromPrivateNumbers(const RsaPrivateNumbers& k) {
  if (!CheckPrivateNumbers(k)) {
    return MakeError(Errc::Corrupted, "the private numbers do not belong to the public key");
  }
  NumberParams params;
  params.Add(OSSL_PKEY_PARAM_RSA_N, k.n.data(), k.n.size());
  params.Add(OSSL_PKEY_PARAM_RSA_E, k.e.data(), k.e.size());
  params.Add(OSSL_PKEY_PARAM_RSA_D, k.d.data(), k.d.size());
  params.Add(OSSL_PKEY_PARAM_RSA_FACTOR1, k.p.data(), k.p.size());
  params.Add(OSSL_PKEY_PARAM_RSA_FACTOR2, k.q.data(), k.q.size());
  params.Add(OSSL_PKEY_PARAM_RSA_EXPONENT1, k.dmp1.data(), k.dmp1.size());
  params.Add(OSSL_PKEY_PARAM_RSA_EXPONENT2, k.dmq1.data(), k.dmq1.size());
  params.Add(OSSL_PKEY_PARAM_RSA_COEFFICIENT1, k.iqmp.data(), k.iqmp.size());
  CtxPtr ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  EVP_PKEY* key = nullptr;
  if (!ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
      EVP_PKEY_fromdata(ctx.get(), &key, EVP_PKEY_KEYPAIR, params.Build()) != 1 || key == nullptr) {
    return CryptoError("cannot build the RSA private key");
  }
  return RsaKey(key, true);
}

std::size_t RsaKey::ModulusSize() const {
  return pkey_ ? static_cast<std::size_t>(EVP_PKEY_get_size(pkey_.get())) : 0;
}

unsigned RsaKey::ModulusBits() const {
  return pkey_ ? static_cast<unsigned>(EVP_PKEY_get_bits(pkey_.get())) : 0;
}

Result<RsaPublicNumbers> RsaKey::PublicNumbers() const {
  if (!pkey_) return MakeError(Errc::InvalidArgument, "no RSA key");
  auto n = GetPublicNumber(pkey_.get(), OSSL_PKEY_PARAM_RSA_N);
  if (!n) return n.error();
  auto e = GetPublicNumber(pkey_.get(), OSSL_PKEY_PARAM_RSA_E);
  if (!e) return e.error();
  return RsaPublicNumbers{std::move(*n), std::move(*e)};
}

Result<RsaPrivateNumbers> RsaKey::PrivateNumbers() const {
  if (!pkey_ || !private_) return MakeError(Errc::InvalidArgument, "no RSA private key");
  auto pub = PublicNumbers();
  if (!pub) return pub.error();
  RsaPrivateNumbers out;
  out.n = std::move(pub->n);
  out.e = std::move(pub->e);
  struct Slot {
    const char* name;
    SecureBytes* target;
  };
  const Slot slots[] = {{OSSL_PKEY_PARAM_RSA_D, &out.d},
                        {OSSL_PKEY_PARAM_RSA_FACTOR1, &out.p},
                        {OSSL_PKEY_PARAM_RSA_FACTOR2, &out.q},
                        {OSSL_PKEY_PARAM_RSA_EXPONENT1, &out.dmp1},
                        {OSSL_PKEY_PARAM_RSA_EXPONENT2, &out.dmq1},
                        {OSSL_PKEY_PARAM_RSA_COEFFICIENT1, &out.iqmp}};
  for (const auto& slot : slots) {
    auto number = GetNumber(pkey_.get(), slot.name);
    if (!number) return number.error();
    *slot.target = std::move(*number);
  }
  return out;
}

Result<Bytes> RsaKey::SignRaw(const std::uint8_t* data, std::size_t size) const {
  if (!pkey_ || !private_) return MakeError(Errc::InvalidArgument, "no RSA private key");
  auto ctx = PaddedContext(pkey_.get(), EVP_PKEY_sign_init, "cannot set up RSA signing");
  if (!ctx) return ctx.error();
  Bytes out(ModulusSize());
  std::size_t out_size = out.size();
  if (EVP_PKEY_sign(ctx->get(), out.data(), &out_size, data, size) != 1) {
    return CryptoError("RSA signing failed");
  }
  out.resize(out_size);
  return out;
}

Result<SecureBytes> RsaKey::RecoverRaw(const std::uint8_t* signature, std::size_t size) const {
  if (!pkey_) return MakeError(Errc::InvalidArgument, "no RSA key");
  if (size != ModulusSize()) return MakeError(Errc::Corrupted, "signature length does not fit the key");
  auto ctx = PaddedContext(pkey_.get(), EVP_PKEY_verify_recover_init, "cannot set up RSA verification");
  if (!ctx) return ctx.error();
  SecureBytes out(ModulusSize());
  std::size_t out_size = out.size();
  if (EVP_PKEY_verify_recover(ctx->get(), out.data(), &out_size, signature, size) != 1) {
    ERR_clear_error();
    return MakeError(Errc::Corrupted, "the signature does not verify");
  }
  out.resize(out_size);
  return out;
}

Result<Bytes> RsaKey::Encrypt(const std::uint8_t* data, std::size_t size) const {
  if (!pkey_) return MakeError(Errc::InvalidArgument, "no RSA key");
  auto ctx = PaddedContext(pkey_.get(), EVP_PKEY_encrypt_init, "cannot set up RSA encryption");
  if (!ctx) return ctx.error();
  Bytes out(ModulusSize());
  std::size_t out_size = out.size();
  if (EVP_PKEY_encrypt(ctx->get(), out.data(), &out_size, data, size) != 1 || out_size < 1) {
    return CryptoError("RSA encryption failed");
  }
  out.resize(out_size);
  return out;
}

Result<SecureBytes> RsaKey::Decrypt(const std::uint8_t* data, std::size_t size) const {
  if (!pkey_ || !private_) return MakeError(Errc::InvalidArgument, "no RSA private key");
  if (size != ModulusSize()) return MakeError(Errc::Corrupted, "ciphertext length does not fit the key");
  auto ctx = PaddedContext(pkey_.get(), EVP_PKEY_decrypt_init, "cannot set up RSA decryption");
  if (!ctx) return ctx.error();
  SecureBytes out(ModulusSize());
  std::size_t out_size = out.size();
  if (EVP_PKEY_decrypt(ctx->get(), out.data(), &out_size, data, size) != 1) {
    ERR_clear_error();
    return MakeError(Errc::Corrupted, "RSA decryption failed");
  }
  out.resize(out_size);
  return out;
}

Result<Bytes> RsaKey::EncryptOaep(const std::uint8_t* data, std::size_t size) const {
  if (!pkey_) return MakeError(Errc::InvalidArgument, "no RSA key");
  auto ctx = OaepContext(pkey_.get(), EVP_PKEY_encrypt_init, "cannot set up RSA-OAEP encryption");
  if (!ctx) return ctx.error();
  Bytes out(ModulusSize());
  std::size_t out_size = out.size();
  if (EVP_PKEY_encrypt(ctx->get(), out.data(), &out_size, data, size) != 1 || out_size < 1) {
    return CryptoError("RSA-OAEP encryption failed");
  }
  out.resize(out_size);
  return out;
}

Result<SecureBytes> RsaKey::DecryptOaep(const std::uint8_t* data, std::size_t size) const {
  if (!pkey_ || !private_) return MakeError(Errc::InvalidArgument, "no RSA private key");
  if (size != ModulusSize()) return MakeError(Errc::Corrupted, "ciphertext length does not fit the key");
  auto ctx = OaepContext(pkey_.get(), EVP_PKEY_decrypt_init, "cannot set up RSA-OAEP decryption");
  if (!ctx) return ctx.error();
  SecureBytes out(ModulusSize());
  std::size_t out_size = out.size();
  if (EVP_PKEY_decrypt(ctx->get(), out.data(), &out_size, data, size) != 1) {
    ERR_clear_error();
    return MakeError(Errc::Corrupted, "RSA-OAEP decryption failed");
  }
  out.resize(out_size);
  return out;
}

}  // namespace qvx
