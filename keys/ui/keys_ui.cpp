// The RSA key dialogs' shared part of the tray program.
#include "keys/ui/keys_ui.h"

#include "platform/files.h"
#include "win32ui/win32_util.h"

namespace qvx::keys::ui {

KeysUi::KeysUi(HINSTANCE instance, win32ui::MessageBoxes& messages, std::string folder,
               win32ui::PromptServices prompts, ProtectionKeyMemory& key_passwords)
    : instance_(instance),
      messages_(messages),
      store_(std::move(folder), NativeFileSystem()),
      prompts_(prompts),
      key_passwords_(key_passwords) {}

std::string KeysUi::Text(Msg id) const {
  std::string text = win32ui::LoadResourceString(instance_, static_cast<UINT>(id));
  return text.empty() ? std::string(MessageText(id)) : text;
}

std::unique_ptr<ProtectionKeySource> KeysUi::ProtectionKeys() const {
  return std::make_unique<PromptedProtectionKeys>(prompts_, key_passwords_);
}

std::optional<Key256> PromptedProtectionKeys::GetProtectionKey(const KeyFileHeader& header) {
  if (auto key = memory_.RememberedKey(header)) return key;
  to_save_.reset();
  win32ui::PrivateKeyPasswordRequest request;
  request.save = true;
  request.on_save = [this](const SecureString& password, const Key256&) { to_save_ = password; };
  return win32ui::AskPrivateKeyPassword(prompts_, request);
}

void PromptedProtectionKeys::Accepted(const KeyFileHeader& header) {
  if (!to_save_) return;
  const SecureString password = std::move(*to_save_);
  to_save_.reset();
  memory_.Remember(header, password);
}

}  // namespace qvx::keys::ui
