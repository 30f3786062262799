// The RSA key dialogs' shared part of the tray program.
#include "keys/ui/keys_ui.h"

#include "platform/files.h"
#include "platform/system.h"
#include "shell/app.h"
#include "shell/password_prompts.h"
#include "shell/win32_util.h"

namespace qvx::keyui {

KeysUi& KeysUi::For(shell::App& app) {
  static KeysUi ui(app, ProgramFolder());
  return ui;
}

KeysUi::KeysUi(shell::App& app, std::string folder)
    : app_(app), store_(std::move(folder), NativeFileSystem()) {}

HINSTANCE KeysUi::instance() const { return app_.instance(); }

shell::MessageBoxes& KeysUi::messages() const { return app_.messages(); }

std::string KeysUi::Text(Msg id) const {
  std::string text = shell::LoadResourceString(instance(), static_cast<UINT>(id));
  return text.empty() ? std::string(MessageText(id)) : text;
}

std::unique_ptr<ProtectionKeySource> KeysUi::ProtectionKeys() const {
  return std::make_unique<shell::PromptedProtectionKeys>(app_.textHooks());
}

}  // namespace qvx::keyui
