// Wrapping and unwrapping hardened blocks' content keys with keys of the store.
#include "keys/key_store_recipients.h"

#include <algorithm>
#include <cstring>

#include "keys/key_id.h"
#include "keys/messages.h"

namespace qvx {

std::vector<std::string> RecipientFiles(const KeyStore& store, std::vector<std::string> chosen, bool also_to_me) {
  if (also_to_me) {
    for (const KeyEntry& mine : store.List(KeyKind::Mine)) chosen.push_back(mine.public_path);
  }
  std::vector<std::string> unique;
  for (std::string& path : chosen) {
    if (std::find(unique.begin(), unique.end(), path) == unique.end()) unique.push_back(std::move(path));
  }
  return unique;
}

KeyStoreRecipients::KeyStoreRecipients(const KeyStore& store, RecipientsQuestion recipients,
                                       ProtectionKeySource& keys)
    : store_(store), recipients_(std::move(recipients)), keys_(keys) {}

Result<std::vector<RecipientSlot>> KeyStoreRecipients::Wrap(const Key256& content_key) {
  const auto paths = recipients_ ? recipients_() : std::nullopt;
  if (!paths || paths->empty()) return MakeError(Errc::Cancelled, "no recipient chosen");
  std::vector<RecipientSlot> slots;
  for (const std::string& path : *paths) {
    auto recipient = store_.LoadPublicKey(path);
    if (!recipient) return PublicKeyLoadFailure(recipient.error());
    RecipientSlot slot;
    std::memcpy(slot.key_id.data(), recipient->header.id.bytes.data(), kRecipientIdSize);
    const bool seen = std::any_of(slots.begin(), slots.end(),
                                  [&](const RecipientSlot& s) { return s.key_id == slot.key_id; });
    if (seen) continue;
    if (slots.size() == kMaxRecipients) {
      return MakeError(Errc::InvalidArgument, "a block takes at most 256 recipients");
    }
    auto wrapped = recipient->key.EncryptOaep(content_key.data(), content_key.size());
    if (!wrapped) return Error(wrapped.error()).Then(Msg::KeyLoadError, BoxKind::Error);
    slot.wrapped = std::move(*wrapped);
    slots.push_back(std::move(slot));
  }
  return slots;
}

Result<Key256> KeyStoreRecipients::Unwrap(const std::vector<RecipientSlot>& slots) {
  std::optional<Error> failure;
  for (const RecipientSlot& slot : slots) {
    const KeyId id = KeyId::FromBytes(slot.key_id.data());
    const auto path = store_.FindPrivateKeyFile(id);
    if (!path) continue;
    auto key = store_.LoadPrivateKey(*path, keys_);
    if (!key) {
      if (key.code() == Errc::Cancelled) return key.error();
      failure = PrivateKeyLoadFailure(key.error());
      continue;
    }
    auto content = key->key.DecryptOaep(slot.wrapped.data(), slot.wrapped.size());
    if (!content || content->size() != Key256{}.size()) {
      failure = MakeError(Errc::Corrupted, Msg::HardenedTextChanged, BoxKind::Error, {},
                          "the content key does not unwrap with " + id.Text());
      continue;
    }
    Key256 out;
    std::memcpy(out.data(), content->data(), out.size());
    return out;
  }
  if (failure) return *failure;
  return MakeError(Errc::NotFound, Msg::HardenedNoRecipientKey, BoxKind::Error, RecipientList(slots),
                   "no private key for any recipient of the block");
}

}  // namespace qvx
