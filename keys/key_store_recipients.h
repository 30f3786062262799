// The recipients of hardened crypto-text blocks, backed by the key store: the
// block's content key is wrapped with RSA-OAEP for every chosen public key,
// and unwrapped with the first private key the store holds for one of the
// block's recipients.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/recipient_keys.h"
#include "keys/key_store.h"
#include "keys/protection.h"

namespace qvx {

// The public key files the user chose ("also to me" included when chosen);
// nullopt when the user cancelled.
using RecipientsQuestion = std::function<std::optional<std::vector<std::string>>()>;

// The public key files a hardened block goes to: the chosen ones, then with
// "also to me" every key pair of the user's own in the store (so that the
// sender can read the block later), each key once.
std::vector<std::string> RecipientFiles(const KeyStore& store, std::vector<std::string> chosen, bool also_to_me);

class KeyStoreRecipients final : public RecipientKeys {
 public:
  // The references must outlive the object. Encryption asks `recipients`;
  // decryption asks `keys` for a private key's protection key when needed.
  KeyStoreRecipients(const KeyStore& store, RecipientsQuestion recipients, ProtectionKeySource& keys);

  // One entry per distinct key (a key chosen twice is wrapped once), in the
  // order chosen. Cancelled without a message when the user cancelled or
  // chose nobody; a public key's load failure with its messages.
  Result<std::vector<RecipientSlot>> Wrap(const Key256& content_key) override;

  // Tries the store's private keys of the block's recipients in the block's
  // order. NotFound with HardenedNoRecipientKey (the recipients' KeyIds) when
  // the store holds none of them; the private key's load failure with its
  // messages; Corrupted when no held key unwraps a 32-byte key; Cancelled for
  // a cancelled password question.
  Result<Key256> Unwrap(const std::vector<RecipientSlot>& slots) override;

 private:
  const KeyStore& store_;
  RecipientsQuestion recipients_;
  ProtectionKeySource& keys_;
};

}  // namespace qvx
