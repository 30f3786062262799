// What the RSA key dialogs share inside the tray program: the key store beside
// the program, the message boxes and string table, the password prompts'
// services ("From storage", screen privacy) and the memory of key passwords
// (the password storage's associations). The tray program makes one KeysUi
// at start and hands it to every key dialog and command by reference; it
// holds references only, to parts that live as long as the program.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "keys/key_store.h"
#include "keys/protection.h"
#include "platform/ui.h"
#include "win32ui/message_box.h"
#include "win32ui/password_prompts.h"

namespace qvx::keys::ui {

class KeysUi {
 public:
  KeysUi(HINSTANCE instance, win32ui::MessageBoxes& messages, std::string folder,
         win32ui::PromptServices prompts, ProtectionKeyMemory& key_passwords);
  KeysUi(const KeysUi&) = delete;
  KeysUi& operator=(const KeysUi&) = delete;

  HINSTANCE instance() const { return instance_; }
  win32ui::MessageBoxes& messages() const { return messages_; }
  const KeyStore& store() const { return store_; }
  win32ui::PromptServices prompts() const { return prompts_; }
  const win32ui::CapturePolicy& privacy() const { return prompts_.privacy; }
  ProtectionKeyMemory& key_passwords() const { return key_passwords_; }

  // A text of the string table.
  std::string Text(Msg id) const;

  // Where the private-key protection keys of one operation come from: the
  // remembered key-password when there is one, otherwise the private-key
  // password prompt.
  std::unique_ptr<ProtectionKeySource> ProtectionKeys() const;

 private:
  HINSTANCE instance_;
  win32ui::MessageBoxes& messages_;
  KeyStore store_;
  win32ui::PromptServices prompts_;
  ProtectionKeyMemory& key_passwords_;
};

// Protection keys of private keys: the key remembered for the private key when
// there is one, otherwise the private-key prompt, whose "Save this password..."
// box keeps the password in the memory once it has opened the key.
class PromptedProtectionKeys final : public ProtectionKeySource {
 public:
  PromptedProtectionKeys(win32ui::PromptServices prompts, ProtectionKeyMemory& memory)
      : prompts_(prompts), memory_(memory) {}
  std::optional<Key256> GetProtectionKey(const KeyFileHeader& header) override;
  // A password typed with the box checked is kept only here, after it opened
  // the key: a mistyped one never reaches the storage.
  void Accepted(const KeyFileHeader& header) override;

 private:
  win32ui::PromptServices prompts_;
  ProtectionKeyMemory& memory_;
  std::optional<SecureString> to_save_;
};

}  // namespace qvx::keys::ui
