// The password questions the crypto-text engine asks while it works on one
// text. The tray program answers them with its password dialogs, qvx on the
// terminal or from a file, tests with scripted answers.
#pragma once

#include <cstddef>

#include "engine/password_key.h"
#include "platform/result.h"
#include "platform/secure.h"

namespace qvx {

// One request for the password of a block being decrypted.
struct DecryptionPasswordRequest {
  // In: the state the "use common password for all encrypted parts" box is
  // shown in. Out: the state the user confirmed (read only when a key comes
  // back). Checked means the later blocks of the same text reuse this key.
  bool use_common_password = true;
  // Which block of the text asks, counting from 1 (for prompts that say so).
  std::size_t block_number = 1;
};

// Implementations return the key of the typed password, PasswordToKey(password)
// (engine/rijndael.h), never the password itself, and wipe the password before
// they return. A user who cancels gives Errc::Cancelled; any other error (no
// terminal, unreadable password file) is passed through to the caller as is.
class PasswordPrompt {
 public:
  virtual ~PasswordPrompt() = default;

  // The password for a new block; asks for it a second time to confirm.
  virtual Result<Key256> AskEncryptionKey() = 0;

  // The password for a password-envelope block being decrypted.
  virtual Result<Key256> AskDecryptionKey(DecryptionPasswordRequest& request) = 0;
};

}  // namespace qvx
