// Plugs the password storage into the tray program.
#include "storage/ui/storage_feature.h"

#include <cstring>
#include <memory>

#include "keys/generate.h"
#include "keys/ui/keys_ui.h"
#include "platform/files.h"
#include "platform/system.h"
#include "resources/shell_ids.h"
#include "shell/app.h"
#include "shell/feature.h"
#include "shell/model/hotkeys.h"
#include "shell/password_prompts.h"

namespace qvx::storage::ui {

namespace {

// One password storage per process: the login is the program's.
std::unique_ptr<PasswordStorageUi>& Storage() {
  static std::unique_ptr<PasswordStorageUi> storage;
  return storage;
}

// A new password is typed a second time in the confirmation box.
class DialogConfirmer final : public PasswordConfirmer {
 public:
  bool ConfirmPassword(const SecureString& first) override {
    return shell::ConfirmPassword(nullptr, first);
  }
};

std::uint32_t PasswordStorageHotKeyId() {
  for (const auto& action : shell::HotKeyActions()) {
    if (std::strcmp(action.name, "password_manager") == 0) return action.hotKeyId;
  }
  return 4;
}

// "From storage" and the key-password associations in the password prompts.
void HookIntoPrompts(shell::TextHooks& hooks, PasswordStorageUi* storage) {
  hooks.passwordFromStorage = [storage](HWND prompt) { return storage->Choose(prompt); };
  hooks.associatedKey = [storage](const KeyFileHeader& key) {
    return storage->LookupProtectionKey(key);
  };
  hooks.saveAndAssociate = [storage](const KeyFileHeader& key, const SecureString& password,
                                     const Key256&) {
    storage->SaveAndAssociate(nullptr, key, password.view());
  };
}

// The same in the key dialogs: protection keys of private keys, and the key
// pair wizard's "From storage..." and its box to keep the new key's password.
void HookIntoKeyDialogs(keyui::KeysUiHooks& hooks, PasswordStorageUi* storage) {
  hooks.protectionKeys =
      [storage](
          std::unique_ptr<ProtectionKeySource> prompt) -> std::unique_ptr<ProtectionKeySource> {
    return std::make_unique<AssociatedProtectionKeySource>(*storage, std::move(prompt));
  };
  hooks.storedProtectionKey = [storage](HWND owner) { return storage->Choose(owner); };
  hooks.saveAndAssociate =
      [storage](const SecureString& password) -> std::function<void(const GeneratedKey&)> {
    // The login comes before the key is generated, not after the wait.
    if (!storage->EnsureLogin(nullptr)) return {};
    auto kept = std::make_shared<SecureString>(password);
    return [storage, kept](const GeneratedKey& key) {
      storage->SaveAndAssociate(nullptr, key.header, kept->view());
    };
  };
}

void Install(shell::App& app) {
  static DialogConfirmer confirmer;
  Storage() = std::make_unique<PasswordStorageUi>(
      app.instance(), &app.settingsStore(), app.messages(), NativeFileSystem(), ProgramFolder());
  PasswordStorageUi* storage = Storage().get();
  storage->SetConfirmer(&confirmer);
  // Browsing has no owner window and hands nothing back.
  app.router().BindCommand(IDM_PASSWORD_STORAGE, [storage] { storage->Browse(nullptr); });
  app.router().BindHotKey(PasswordStorageHotKeyId(), [storage] { storage->Browse(nullptr); });
  app.startHooks().loginAtStartup = [storage](shell::App& a) {
    storage->EnsureLogin(a.mainWindow());
  };
  HookIntoPrompts(app.textHooks(), storage);
  HookIntoKeyDialogs(keyui::KeysUi::For(app).hooks(), storage);
}

const shell::FeatureRegistration registration("password storage", &Install);

}  // namespace

PasswordStorageUi& ProgramPasswordStorage(shell::App&) { return *Storage(); }

void RunInstallationLogin(shell::App& app) {
  PasswordStorageUi& storage = ProgramPasswordStorage(app);
  storage.SetSetupInProgress(true);
  struct Restore {
    PasswordStorageUi& storage;
    ~Restore() { storage.SetSetupInProgress(false); }
  } restore{storage};
  storage.EnsureLogin(nullptr);
}

}  // namespace qvx::storage::ui
