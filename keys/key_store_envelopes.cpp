// Sealing and opening RSA envelopes with keys of the store.
#include "keys/key_store_envelopes.h"

#include <algorithm>
#include <cstring>

#include "engine/checksum.h"
#include "engine/envelope.h"
#include "engine/rijndael.h"
#include "keys/byte_io.h"
#include "keys/key_identity.h"
#include "keys/messages.h"
#include "platform/system.h"

namespace qvx {

namespace {

constexpr std::size_t kSessionKeySize = 32;

}  // namespace

KeyStoreEnvelopes::KeyStoreEnvelopes(const KeyStore& store, RecipientQuestion recipient,
                                     ProtectionKeySource& keys)
    : store_(store), recipient_(std::move(recipient)), keys_(keys) {}

Result<std::vector<std::uint8_t>> KeyStoreEnvelopes::Encrypt(const SecureBytes& payload,
                                                             const EnvelopeContext& context) {
  const std::optional<std::string> path = recipient_ ? recipient_() : std::nullopt;
  if (!path) return MakeError(Errc::Cancelled, "no recipient chosen");
  auto recipient = store_.LoadPublicKey(*path);
  if (!recipient) return PublicKeyLoadFailure(recipient.error());
  if (auto warning = ShortKeyNotice(recipient->key, recipient->header, Msg::ShortKeyEncryptWarning);
      warning && std::find(notices_.begin(), notices_.end(), *warning) == notices_.end()) {
    notices_.push_back(std::move(*warning));
  }
  // A fresh session key from the system's generator for every envelope.
  Key256 session;
  if (auto drawn = RandomBytes(session.data(), session.size()); !drawn) return drawn.error();
  auto sealed_key = recipient->key.Encrypt(session.data(), session.size());
  if (!sealed_key) return Error(sealed_key.error()).Then(Msg::KeyLoadError, BoxKind::Error);
  const std::size_t k = sealed_key->size();
  std::vector<std::uint8_t> envelope(kRsaEnvelopeHeaderSize + k + EnvelopeSize(payload.size()), 0);
  PutU32(envelope.data() + 4, static_cast<std::uint32_t>(k));
  std::memcpy(envelope.data() + 8, recipient->header.id.bytes.data(), KeyId::kSize);
  std::memcpy(envelope.data() + kRsaEnvelopeHeaderSize, sealed_key->data(), k);
  PutU32(envelope.data(), DataChecksum(envelope.data() + 4, kRsaEnvelopeHeaderSize - 4));

  std::uint8_t* body = envelope.data() + kRsaEnvelopeHeaderSize + k;
  if (!payload.empty()) std::memcpy(body, payload.data(), payload.size());
  const Rijndael256 cipher(session);
  if (auto status = CipherBlocks(cipher, CipherDirection::Encrypt, body, EnvelopeBlocks(payload.size()),
                                 context.progress);
      !status) {
    SecureWipe(envelope.data(), envelope.size());
    return status.error();
  }
  return envelope;
}

Result<SecureBytes> KeyStoreEnvelopes::Decrypt(const std::uint8_t* envelope, std::size_t size,
                                               const EnvelopeContext& context) {
  auto header_corrupted = [] {
    return MakeError(Errc::Corrupted, Msg::CryptoHeaderCorrupted, BoxKind::Error, {}, "RSA envelope header damaged");
  };
  if (size < kRsaEnvelopeHeaderSize ||
      DataChecksum(envelope + 4, kRsaEnvelopeHeaderSize - 4) != GetU32(envelope)) {
    return header_corrupted();
  }
  const std::size_t k = GetU32(envelope + 4);
  if (k == 0 || k > size - kRsaEnvelopeHeaderSize) return header_corrupted();

  const KeyId id = KeyId::FromBytes(envelope + 8);
  const auto path = store_.FindPrivateKeyFile(id);
  if (!path) {
    return MakeError(Errc::NotFound, Msg::DecryptionKeyNotFound, BoxKind::Error, {},
                     "no private key for " + id.Text());
  }
  auto key = store_.LoadPrivateKey(*path, keys_, id);
  if (!key) return PrivateKeyLoadFailure(key.error());
  // Bad padding (which implicit rejection mostly turns into a random-looking
  // result), a wrong length and a wrong key all end in the same failure as a
  // payload that does not check out under the session key.
  auto session = key->key.Decrypt(envelope + kRsaEnvelopeHeaderSize, k);
  if (!session || session->size() != kSessionKeySize) return UndecryptableRsaEnvelope();
  const std::size_t blocks = (size - kRsaEnvelopeHeaderSize - k) / Rijndael256::kBlockSize;
  const std::uint8_t* body = envelope + kRsaEnvelopeHeaderSize + k;
  SecureBytes plain(body, body + blocks * Rijndael256::kBlockSize);
  const Rijndael256 cipher(session->data());
  if (auto status = CipherBlocks(cipher, CipherDirection::Decrypt, plain.data(), blocks, context.progress);
      !status) {
    return status.error();
  }
  return plain;
}

}  // namespace qvx
