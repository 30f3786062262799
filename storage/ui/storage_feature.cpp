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

namespace qvx::storage::ui {

namespace {

// One password storage per process: the login is the program's.
std::unique_ptr<PasswordStorageUi>& Storage() {
  static std::unique_ptr<PasswordStorageUi> storage;
  return storage;
}

std::uint32_t PasswordStorageHotKeyId() {
  for (const auto& action : shell::HotKeyActions()) {
    if (std::strcmp(action.name, "password_manager") == 0) return action.hotKeyId;
  }
  return 4;
}

void Install(shell::App& app) {
  Storage() = std::make_unique<PasswordStorageUi>(
      app.instance(), &app.settingsStore(), app.messages(), NativeFileSystem(), ProgramFolder());
  PasswordStorageUi* storage = Storage().get();
  // Browsing has no owner window and hands nothing back.
  app.router().BindCommand(IDM_PASSWORD_STORAGE, [storage] { storage->Browse(nullptr); });
  app.router().BindHotKey(PasswordStorageHotKeyId(), [storage] { storage->Browse(nullptr); });
  app.startHooks().loginAtStartup = [storage](shell::App& a) {
    storage->EnsureLogin(a.mainWindow());
  };
}

const shell::FeatureRegistration registration("password storage", &Install);

}  // namespace

PasswordStorageUi& ProgramPasswordStorage(shell::App&) { return *Storage(); }

}  // namespace qvx::storage::ui
