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

#include "engine/password_key.h"
#include "engine/prompts.h"
#include "platform/secure.h"
#include "win32ui/screen_privacy.h"

namespace qvx::win32ui {

// "From storage" in the prompts: a store of passwords the user picks one from
// (the password storage in Quorvix.exe).
class StoredPasswordChooser {
 public:
  virtual ~StoredPasswordChooser() = default;
  // The key of the password the user chose, with `prompt` as the owner of
  // whatever is shown; nullopt when nothing was chosen (the prompt stays).
  virtual std::optional<Key256> ChoosePasswordKey(HWND prompt) = 0;
};

// The confirmation box: true when the user typed exactly `first` again
// (letter case counts); false after a different text or Cancel. Used by the
// encryption prompt, key pair generation and the password storage.
bool ConfirmPassword(HWND owner, const SecureString& first, const CapturePolicy& privacy);

// What the prompts need from the program: where "From storage" picks from,
// and whether the prompts are hidden from screen capture.
struct PromptServices {
  StoredPasswordChooser& from_storage;
  const CapturePolicy& privacy;
};

// The crypto-text engine's questions, answered with the prompts. Cancel gives
// Errc::Cancelled.
class DialogPasswordPrompt final : public PasswordPrompt {
 public:
  explicit DialogPasswordPrompt(PromptServices services) : services_(services) {}

  // "Enter Encryption Password"; the typed password must be confirmed, a
  // password from the storage is taken as it is.
  Result<Key256> AskEncryptionKey() override;
  // "Enter Decryption Password" with the common-password box as the request
  // says; the box's state on OK goes back into the request.
  Result<Key256> AskDecryptionKey(DecryptionPasswordRequest& request) override;

 private:
  PromptServices services_;
};

// The private-key variant of the decryption prompt: title "Enter password to
// decrypt privat key data", check box "Save this password and associate it
// with this key".
struct PrivateKeyPasswordRequest {
  // In: the box's state when the prompt opens. Out: its state on OK.
  bool save = true;
  // Called on OK with the box checked and a typed password (not one taken
  // from the storage), while the password still exists. It is not yet known
  // whether the password opens the key. Empty: nothing is kept.
  std::function<void(const SecureString& password, const Key256& key)> on_save;
};

// The key of the private key's password; nullopt when the user cancelled.
std::optional<Key256> AskPrivateKeyPassword(PromptServices services,
                                            PrivateKeyPasswordRequest& request);

}  // namespace qvx::win32ui
