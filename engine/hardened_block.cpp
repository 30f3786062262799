// Format 2 of the crypto-text block: header bytes, inner plaintext, Argon2id
// and AES-256-GCM through OpenSSL's EVP interface, and the armour.
#include "engine/hardened_block.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/params.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/base64.h"
#include "engine/payload.h"

namespace qvx {

namespace {

constexpr std::size_t kCommonHeaderSize = 6;  // magic, mode, reserved byte
constexpr std::size_t kPasswordHeaderSize = kCommonHeaderSize + 12 + kSaltSize + kNonceSize;  // 46
constexpr std::size_t kInnerLengthSize = 4;
constexpr std::size_t kMinInnerSize = 256;
// GCM takes int lengths; the text goes through in pieces of this size.
constexpr std::size_t kCipherChunk = std::size_t{1} << 20;

void PutLe16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
std::uint16_t ReadLe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

struct CipherCtxFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;
struct KdfFree {
  void operator()(EVP_KDF* kdf) const { EVP_KDF_free(kdf); }
};
struct KdfCtxFree {
  void operator()(EVP_KDF_CTX* ctx) const { EVP_KDF_CTX_free(ctx); }
};

Error CryptoFailure(const char* what) { return MakeError(Errc::Crypto, std::string("OpenSSL: ") + what); }

// Runs GCM over [in, in + size) into out in pieces that fit an int.
bool CipherUpdate(EVP_CIPHER_CTX* ctx, bool encrypt, const std::uint8_t* in, std::size_t size,
                  std::uint8_t* out) {
  for (std::size_t done = 0; done < size;) {
    const std::size_t piece = std::min(kCipherChunk, size - done);
    int written = 0;
    const int ok = encrypt ? EVP_EncryptUpdate(ctx, out + done, &written, in + done, static_cast<int>(piece))
                           : EVP_DecryptUpdate(ctx, out + done, &written, in + done, static_cast<int>(piece));
    if (ok != 1 || static_cast<std::size_t>(written) != piece) return false;
    done += piece;
  }
  return true;
}

// A context keyed for GCM with a 96-bit nonce, the associated data already fed.
Result<CipherCtx> StartGcm(bool encrypt, const Key256& key, const Nonce& nonce, const std::uint8_t* aad,
                           std::size_t aad_size) {
  CipherCtx ctx(EVP_CIPHER_CTX_new());
  if (!ctx) return MakeError(Errc::OutOfMemory, "no cipher context");
  auto init = encrypt ? EVP_EncryptInit_ex : EVP_DecryptInit_ex;
  if (init(ctx.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1 ||
      EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_IVLEN, static_cast<int>(kNonceSize), nullptr) != 1 ||
      init(ctx.get(), nullptr, nullptr, key.data(), nonce.data()) != 1) {
    return CryptoFailure("AES-256-GCM setup");
  }
  int ignored = 0;
  const int ok = encrypt ? EVP_EncryptUpdate(ctx.get(), nullptr, &ignored, aad, static_cast<int>(aad_size))
                         : EVP_DecryptUpdate(ctx.get(), nullptr, &ignored, aad, static_cast<int>(aad_size));
  if (ok != 1) return CryptoFailure("AES-256-GCM associated data");
  return ctx;
}

Error Damaged(std::string detail) {
  return MakeError(Errc::Corrupted, Msg::HardenedBlockDamaged, BoxKind::Error, {}, std::move(detail));
}

}  // namespace

std::string RecipientList(const std::vector<RecipientSlot>& recipients) {
  std::string out;
  for (const RecipientSlot& slot : recipients) {
    // The first 16 bytes as eight little-endian 16-bit words.
    unsigned w[8];
    for (int i = 0; i < 8; ++i) w[i] = slot.key_id[2 * i] | (static_cast<unsigned>(slot.key_id[2 * i + 1]) << 8);
    char text[40];
    std::snprintf(text, sizeof text, "{%04X%04X-%04X-%04X-%04X-%04X%04X%04X}", w[0], w[1], w[2], w[3], w[4],
                  w[5], w[6], w[7]);
    if (!out.empty()) out += '\n';
    out += text;
  }
  return out;
}

bool Argon2ParamsAcceptable(const Argon2Params& params) {
  return params.passes >= 1 && params.passes <= kMaxArgon2Passes && params.lanes >= 1 &&
         params.lanes <= kMaxArgon2Lanes && params.memory_kib <= kMaxArgon2MemoryKib &&
         params.memory_kib >= 8 * params.lanes;
}

Result<std::vector<std::uint8_t>> EncodeHardenedHeader(const HardenedHeader& header) {
  std::vector<std::uint8_t> out(kHardenedMagic.begin(), kHardenedMagic.end());
  out.push_back(static_cast<std::uint8_t>(header.mode));
  out.push_back(0);  // reserved
  if (header.mode == HardenedMode::Password) {
    if (!Argon2ParamsAcceptable(header.kdf)) return MakeError(Errc::InvalidArgument, "Argon2id cost out of bounds");
    PutLe32(out, header.kdf.memory_kib);
    PutLe32(out, header.kdf.passes);
    PutLe32(out, header.kdf.lanes);
    out.insert(out.end(), header.salt.begin(), header.salt.end());
  } else {
    if (header.recipients.empty() || header.recipients.size() > kMaxRecipients) {
      return MakeError(Errc::InvalidArgument, "a block has 1 to 256 recipients");
    }
    PutLe16(out, static_cast<std::uint16_t>(header.recipients.size()));
    for (const RecipientSlot& slot : header.recipients) {
      if (slot.wrapped.size() < kMinWrappedSize || slot.wrapped.size() > kMaxWrappedSize) {
        return MakeError(Errc::InvalidArgument, "wrapped key size out of bounds");
      }
      out.insert(out.end(), slot.key_id.begin(), slot.key_id.end());
      PutLe16(out, static_cast<std::uint16_t>(slot.wrapped.size()));
      out.insert(out.end(), slot.wrapped.begin(), slot.wrapped.end());
    }
  }
  out.insert(out.end(), header.nonce.begin(), header.nonce.end());
  return out;
}

Result<ParsedHardened> ParseHardenedHeader(const std::uint8_t* block, std::size_t size) {
  if (size < kCommonHeaderSize || std::memcmp(block, kHardenedMagic.data(), kHardenedMagic.size()) != 0) {
    return Damaged("not a format-2 block (magic)");
  }
  if (block[5] != 0) return Damaged("reserved byte is not zero");
  ParsedHardened parsed;
  HardenedHeader& h = parsed.header;
  std::size_t at = kCommonHeaderSize;
  if (block[4] == static_cast<std::uint8_t>(HardenedMode::Password)) {
    h.mode = HardenedMode::Password;
    if (size < kPasswordHeaderSize) return Damaged("truncated header");
    h.kdf = {ReadLe32(block + 6), ReadLe32(block + 10), ReadLe32(block + 14)};
    if (!Argon2ParamsAcceptable(h.kdf)) {
      return MakeError(Errc::Unsupported, Msg::HardenedKdfCostRefused, BoxKind::Error, {},
                       "Argon2id cost out of bounds (m=" + std::to_string(h.kdf.memory_kib) +
                           " KiB, t=" + std::to_string(h.kdf.passes) + ", p=" + std::to_string(h.kdf.lanes) + ")");
    }
    std::memcpy(h.salt.data(), block + 18, kSaltSize);
    at = 18 + kSaltSize;
  } else if (block[4] == static_cast<std::uint8_t>(HardenedMode::Recipients)) {
    h.mode = HardenedMode::Recipients;
    if (size < at + 2) return Damaged("truncated header");
    const std::size_t count = ReadLe16(block + at);
    at += 2;
    if (count == 0 || count > kMaxRecipients) return Damaged("recipient count out of bounds");
    h.recipients.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      if (size - at < kRecipientIdSize + 2) return Damaged("truncated recipient");
      RecipientSlot slot;
      std::memcpy(slot.key_id.data(), block + at, kRecipientIdSize);
      at += kRecipientIdSize;
      const std::size_t wrapped = ReadLe16(block + at);
      at += 2;
      if (wrapped < kMinWrappedSize || wrapped > kMaxWrappedSize) return Damaged("wrapped key size out of bounds");
      if (size - at < wrapped) return Damaged("truncated recipient");
      slot.wrapped.assign(block + at, block + at + wrapped);
      at += wrapped;
      h.recipients.push_back(std::move(slot));
    }
  } else {
    return Damaged("unknown mode");
  }
  if (size - at < kNonceSize + kTagSize) return Damaged("no room for the nonce and tag");
  std::memcpy(h.nonce.data(), block + at, kNonceSize);
  parsed.header_size = at + kNonceSize;
  return parsed;
}

std::optional<std::size_t> PaddedInnerSize(std::size_t size) {
  std::uint64_t length = size;
  if (length <= kMinInnerSize) return kMinInnerSize;
  unsigned e = 0;  // floor(log2 length)
  while ((length >> (e + 1)) != 0) ++e;
  unsigned s = 0;  // floor(log2 e)
  while ((e >> (s + 1)) != 0) ++s;
  const unsigned last_bits = e - s - 1;
  const std::uint64_t mask = (std::uint64_t{1} << last_bits) - 1;
  const std::uint64_t padded = (length + mask) & ~mask;
  if (padded > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<std::size_t>(padded);
}

Result<SecureBytes> MakeInnerPlaintext(std::string_view text) {
  SecureBytes inner(kInnerLengthSize, 0);
  if (auto status = ppmd::CompressAppend(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), inner);
      !status) {
    return status.error();
  }
  const std::size_t stream = inner.size() - kInnerLengthSize;
  const auto padded = PaddedInnerSize(inner.size());
  if (!padded || stream > 0xFFFFFFFFu) return MakeError(Errc::InvalidArgument, "the text is too long for a block");
  for (int i = 0; i < 4; ++i) inner[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(stream >> (8 * i));
  inner.resize(*padded, 0);
  return inner;
}

Result<SecureString> ReadInnerPlaintext(const SecureBytes& inner, std::size_t max_text,
                                        ppmd::DecodeProgress* progress) {
  if (inner.size() < kInnerLengthSize) return MakeError(Errc::Corrupted, "no inner length field");
  const std::size_t stream = ReadLe32(inner.data());
  if (stream > inner.size() - kInnerLengthSize) return MakeError(Errc::Corrupted, "inner length beyond the data");
  std::uint8_t rest = 0;
  for (std::size_t i = kInnerLengthSize + stream; i < inner.size(); ++i) rest |= inner[i];
  if (rest != 0) return MakeError(Errc::Corrupted, "padding is not zero");
  auto text = ppmd::Decompress(inner.data() + kInnerLengthSize, stream, ppmd::OutputLimit{max_text},
                               ppmd::HeapModelAllocator(), progress);
  if (!text) return text.error();
  return SecureString(std::move(*text));
}

Result<Key256> DeriveHardenedKey(const Key256& password_key, const Salt& salt, const Argon2Params& params) {
  if (!Argon2ParamsAcceptable(params)) return MakeError(Errc::InvalidArgument, "Argon2id cost out of bounds");
  std::unique_ptr<EVP_KDF, KdfFree> kdf(EVP_KDF_fetch(nullptr, "ARGON2ID", nullptr));
  if (!kdf) return CryptoFailure("no ARGON2ID");
  std::unique_ptr<EVP_KDF_CTX, KdfCtxFree> ctx(EVP_KDF_CTX_new(kdf.get()));
  if (!ctx) return MakeError(Errc::OutOfMemory, "no KDF context");
  std::uint32_t passes = params.passes, memory = params.memory_kib, lanes = params.lanes, threads = 1;
  OSSL_PARAM list[] = {
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_PASSWORD, const_cast<std::uint8_t*>(password_key.data()),
                                        password_key.size()),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, const_cast<std::uint8_t*>(salt.data()), salt.size()),
      OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_ITER, &passes),
      OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_ARGON2_MEMCOST, &memory),
      OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_ARGON2_LANES, &lanes),
      OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_THREADS, &threads),
      OSSL_PARAM_construct_end(),
  };
  Key256 key;
  if (EVP_KDF_derive(ctx.get(), key.data(), key.size(), list) != 1) {
    // The only failure the parameters checked above leave is memory.
    return MakeError(Errc::OutOfMemory, "Argon2id derivation failed");
  }
  return key;
}

Result<std::vector<std::uint8_t>> SealInner(const Key256& key, const std::vector<std::uint8_t>& header,
                                            const Nonce& nonce, const SecureBytes& inner) {
  auto ctx = StartGcm(true, key, nonce, header.data(), header.size());
  if (!ctx) return ctx.error();
  std::vector<std::uint8_t> block(header);
  block.resize(header.size() + inner.size() + kTagSize);
  std::uint8_t* out = block.data() + header.size();
  int last = 0;
  if (!CipherUpdate(ctx->get(), true, inner.data(), inner.size(), out) ||
      EVP_EncryptFinal_ex(ctx->get(), out + inner.size(), &last) != 1 || last != 0 ||
      EVP_CIPHER_CTX_ctrl(ctx->get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(kTagSize), out + inner.size()) != 1) {
    return CryptoFailure("AES-256-GCM encryption");
  }
  return block;
}

Result<SecureBytes> OpenInner(const Key256& key, const std::uint8_t* block, std::size_t size,
                              const ParsedHardened& parsed) {
  const std::size_t body = size - parsed.header_size - kTagSize;  // ParseHardenedHeader left room for the tag
  auto ctx = StartGcm(false, key, parsed.header.nonce, block, parsed.header_size);
  if (!ctx) return ctx.error();
  std::uint8_t tag[kTagSize];
  std::memcpy(tag, block + size - kTagSize, kTagSize);
  SecureBytes inner(body);
  int last = 0;
  if (!CipherUpdate(ctx->get(), false, block + parsed.header_size, body, inner.data()) ||
      EVP_CIPHER_CTX_ctrl(ctx->get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(kTagSize), tag) != 1) {
    return CryptoFailure("AES-256-GCM decryption");
  }
  if (EVP_DecryptFinal_ex(ctx->get(), inner.data() + body, &last) != 1) {
    // The deciphered bytes are not released: they go with `inner`, wiped.
    return MakeError(Errc::WrongPassword, "the authentication tag does not match");
  }
  return inner;
}

std::string ArmourHardened(const std::vector<std::uint8_t>& block) {
  const std::string body = Base64Encode(block.data(), block.size());
  std::string out;
  out.reserve(kHardenedStartWritten.size() + body.size() + body.size() / 20 + 4 + kHardenedEndWritten.size());
  out += kHardenedStartWritten;
  WrapBase64LinesAppend(out, body);
  out += kHardenedEndWritten;
  return out;
}

namespace {

Result<std::string> SealWith(std::string_view text, const Key256& key, const HardenedHeader& header) {
  auto header_bytes = EncodeHardenedHeader(header);
  if (!header_bytes) return header_bytes.error();
  auto inner = MakeInnerPlaintext(text);
  if (!inner) return inner.error();
  auto block = SealInner(key, *header_bytes, header.nonce, *inner);
  if (!block) return block.error();
  return ArmourHardened(*block);
}

}  // namespace

Result<std::string> SealHardenedPasswordText(std::string_view text, const Key256& password_key,
                                             const Salt& salt, const Nonce& nonce, const Argon2Params& params) {
  HardenedHeader header;
  header.mode = HardenedMode::Password;
  header.kdf = params;
  header.salt = salt;
  header.nonce = nonce;
  if (!Argon2ParamsAcceptable(params)) return MakeError(Errc::InvalidArgument, "Argon2id cost out of bounds");
  auto key = DeriveHardenedKey(password_key, salt, params);
  if (!key) return key.error();
  return SealWith(text, *key, header);
}

Result<std::string> SealHardenedRecipientsText(std::string_view text, const Key256& content_key,
                                               std::vector<RecipientSlot> recipients, const Nonce& nonce) {
  HardenedHeader header;
  header.mode = HardenedMode::Recipients;
  header.recipients = std::move(recipients);
  header.nonce = nonce;
  return SealWith(text, content_key, header);
}

}  // namespace qvx
