// What the key dialogs take from the shell's prompts and windows: the
// private-key password prompt, the confirmation of a new password, the
// transport password, the save-file dialog and button tooltips.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <optional>
#include <string>

#include "keys/protection.h"
#include "keys/transport.h"
#include "keys/ui/keys_ui.h"
#include "platform/secure.h"

namespace qvx::keyui {

// The private-key password prompt ("Enter password to decrypt privat key
// data") as the source of protection keys. A class of its own so that the
// key-password associations can be put in front of it (KeysUiHooks).
class PromptProtectionKeySource final : public ProtectionKeySource {
 public:
  explicit PromptProtectionKeySource(const KeysUi& ui) : ui_(ui) {}
  std::optional<Key256> GetProtectionKey(const KeyFileHeader& header) override;

 private:
  const KeysUi& ui_;
};

// Asks for a new password a second time; true when it was typed the same.
bool ConfirmNewPassword(KeysUi& ui, HWND owner, const SecureString& password);

// The transport password as a question: on export the encryption prompt (with
// its confirmation), on import the decryption prompt.
TransportKeyQuestion TransportPasswordQuestion(KeysUi& ui, bool exporting);

// The file a transport file is saved to ("*.qvxt"); the dialog asks before
// replacing a file. nullopt on Cancel.
std::optional<std::string> AskTransportFileToSave(KeysUi& ui, HWND owner);

struct ButtonTip {
  int control;
  Msg text;
};
// Tooltips from the string table on buttons of a dialog.
void AttachButtonTips(KeysUi& ui, HWND dialog, std::initializer_list<ButtonTip> tips);

}  // namespace qvx::keyui
