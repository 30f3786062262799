// What the key dialogs take from the shell's prompts and windows. Until the
// shell's password prompts exist, protected keys cannot be unlocked here and
// new keys cannot be protected: every password question is declined.
#include "keys/ui/shell_parts.h"

namespace qvx::keyui {

std::optional<Key256> PromptProtectionKeySource::GetProtectionKey(const KeyFileHeader&) {
  return std::nullopt;
}

bool ConfirmNewPassword(KeysUi&, HWND, const SecureString&) { return false; }

TransportKeyQuestion TransportPasswordQuestion(KeysUi&, bool) {
  return [] { return std::optional<Key256>(); };
}

std::optional<std::string> AskTransportFileToSave(KeysUi&, HWND) { return std::nullopt; }

void AttachButtonTips(KeysUi&, HWND, std::initializer_list<ButtonTip>) {}

}  // namespace qvx::keyui
