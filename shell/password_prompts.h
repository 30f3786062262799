// The password prompts: "Enter Encryption Password" (asks a second time to
// confirm), "Enter Decryption Password" (with "Use common password to decrypt
// all encrypted parts"), its private-key variant (with "Save this password and
// associate it with this key"), and the confirmation box "Password". What
// comes out is the key of the password (engine/rijndael.h PasswordToKey),
// never the password: the typed text is wiped, in memory and in the edit
// control, as soon as its key is taken. Every prompt is modal, has no owner
// window and runs on the calling thread.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>

#include "engine/prompts.h"
#include "keys/key_file.h"
#include "keys/protection.h"
#include "platform/secure.h"
#include "shell/text_hooks.h"

namespace qvx::shell {

// "From storage": the key of a password chosen in the password storage, or
// nullopt (the prompt stays open). Empty: the button is disabled.
using PasswordFromStorage = std::function<std::optional<Key256>(HWND prompt)>;

// The confirmation box: true when the user typed exactly `first` again
// (letter case counts); false after a different text or Cancel. Used by the
// encryption prompt, key pair generation and the password storage.
bool ConfirmPassword(HWND owner, const SecureString& first);

// The crypto-text engine's questions, answered with the prompts. Cancel gives
// Errc::Cancelled.
class DialogPasswordPrompt final : public PasswordPrompt {
 public:
  explicit DialogPasswordPrompt(PasswordFromStorage fromStorage = {})
      : fromStorage_(std::move(fromStorage)) {}

  // "Enter Encryption Password"; the typed password must be confirmed, a
  // password from the storage is taken as it is.
  Result<Key256> AskEncryptionKey() override;
  // "Enter Decryption Password" with the common-password box as the request
  // says; the box's state on OK goes back into the request.
  Result<Key256> AskDecryptionKey(DecryptionPasswordRequest& request) override;

 private:
  PasswordFromStorage fromStorage_;
};

// The private-key variant of the decryption prompt: title "Enter password to
// decrypt privat key data", check box "Save this password and associate it
// with this key".
struct PrivateKeyPasswordRequest {
  // In: the box's state when the prompt opens. Out: its state on OK.
  bool save = true;
  PasswordFromStorage fromStorage;
  // Called on OK with the box checked and a typed password (not one taken
  // from the storage), while the password still exists. It is not yet known
  // whether the password opens the key.
  std::function<void(const SecureString& password, const Key256& key)> onSave;
};

// The key of the private key's password; nullopt when the user cancelled.
std::optional<Key256> AskPrivateKeyPassword(PrivateKeyPasswordRequest& request);

// Protection keys of private keys for the key store: the key associated with
// the private key in the password storage when there is one, otherwise the
// private-key prompt, whose "Save this password..." goes to the
// saveAndAssociate hook. Without that hook the box starts cleared.
class PromptedProtectionKeys final : public ProtectionKeySource {
 public:
  explicit PromptedProtectionKeys(TextHooks hooks) : hooks_(std::move(hooks)) {}
  std::optional<Key256> GetProtectionKey(const KeyFileHeader& header) override;
  // A password typed with the box checked is saved only here, after it opened
  // the key: a mistyped one never reaches the storage.
  void Accepted(const KeyFileHeader& header) override;

 private:
  TextHooks hooks_;
  std::optional<SecureString> toSave_;
  Key256 toSaveKey_{};
};

}  // namespace qvx::shell
