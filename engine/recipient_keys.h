// The seam between the hardened crypto-text block and RSA keys: the block
// code draws one random content key per block; a RecipientKeys implementation
// (the key store's, keys/key_store_recipients.h) wraps it for every chosen
// recipient and unwraps it again with a private key the user holds. The block
// code owns everything else: the header, the AEAD, the armour.
#pragma once

#include <vector>

#include "engine/hardened_block.h"
#include "platform/result.h"
#include "platform/secure.h"

namespace qvx {

class RecipientKeys {
 public:
  virtual ~RecipientKeys() = default;

  // The content key wrapped with RSA-OAEP (SHA-256, MGF1-SHA-256, no label)
  // for every recipient the user chose, "also to me" included when chosen.
  // Errors: Errc::Cancelled when the user cancelled the choice (no block is
  // made, nothing is shown); any other code carries the implementation's
  // own messages.
  virtual Result<std::vector<RecipientSlot>> Wrap(const Key256& content_key) = 0;

  // The content key, unwrapped with the private key of the first slot whose
  // key the user holds. Errors: Errc::NotFound with HardenedNoRecipientKey
  // naming every slot's key when the user holds none of them;
  // Errc::Corrupted when the wrapped key does not unwrap to 32 bytes;
  // Errc::Cancelled for a cancelled private-key password; a key load failure
  // with its messages.
  virtual Result<Key256> Unwrap(const std::vector<RecipientSlot>& slots) = 0;
};

}  // namespace qvx
