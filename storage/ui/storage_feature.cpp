// Plugs the password storage into the tray program.
#include "storage/ui/storage_feature.h"

#include <cstring>
#include <memory>

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

// "From storage" in the password prompts and the key pair wizard, a private
// key's password from its association before the prompt asks, and the box
// that keeps a typed key password in the storage with an association.
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
  // The key dialogs reach the storage through the same hooks.
  HookIntoPrompts(app.textHooks(), storage);
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
