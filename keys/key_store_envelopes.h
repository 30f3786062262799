// The RSA envelope of crypto-text blocks, backed by the key store: a block is
// sealed to a recipient's public key under a fresh 32-byte session key, and
// opened with the private key the store holds for the KeyId in the envelope.
//   0       4   DataChecksum over bytes 4..59
//   4       4   k, the recipient's modulus length
//   8      52   the recipient key's KeyId
//   60      k   the session key, RSA PKCS #1 v1.5 encrypted
//   60+k  32*n  the payload, zero-padded, each block enciphered with
//               Rijndael-256 under the session key
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "engine/rsa_envelope.h"
#include "keys/key_store.h"
#include "keys/protection.h"

namespace qvx {

constexpr std::size_t kRsaEnvelopeHeaderSize = 60;

// The public key file of the person a block is encrypted to; nullopt when the
// user cancelled the choice.
using RecipientQuestion = std::function<std::optional<std::string>()>;

class KeyStoreEnvelopes final : public RsaEnvelopeHandler {
 public:
  // The references must outlive the handler. Encryption asks `recipient`;
  // decryption asks `keys` for the private key's protection key when needed.
  KeyStoreEnvelopes(const KeyStore& store, RecipientQuestion recipient, ProtectionKeySource& keys);

  // Messages carried by a failure: the public key's load failure ("Error open public key!",
  // "Public key file is corrupted!"). Cancelled without a message when no
  // recipient is chosen or the progress display is cancelled. A recipient key
  // under 2048 bits adds its warning to notices().
  Result<std::vector<std::uint8_t>> Encrypt(const SecureBytes& payload,
                                            const EnvelopeContext& context) override;

  // Messages carried by a failure: "Crypted message header corrupted!" (Corrupted) for a header that
  // fails its checksum or whose k does not fit the envelope; "Can not find key
  // to decrypt message!" (NotFound); the private key's load failure ending in
  // "Error open privat file!" (after "Key load error!" for a file that cannot
  // be read). A session key that does not come out of the RSA
  // layer as 32 bytes fails silently (Corrupted). Cancelled, without a
  // message, for a cancelled password question or progress display.
  Result<SecureBytes> Decrypt(const std::uint8_t* envelope, std::size_t size,
                              const EnvelopeContext& context) override;

  // Warnings gathered while encrypting, once per recipient ("The key of ...
  // is shorter than 2048 bits..."), for the caller to show after the run.
  const std::vector<Notice>& notices() const { return notices_; }

 private:
  const KeyStore& store_;
  RecipientQuestion recipient_;
  ProtectionKeySource& keys_;
  std::vector<Notice> notices_;
};

}  // namespace qvx
