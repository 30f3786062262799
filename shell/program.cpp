// Quorvix.exe assembled: the settings store and message boxes first, then the
// password storage, the key dialogs over it, the installer steps, and the
// tray program with the commands of each part bound to its router.
//
//   settings, messages, screen privacy
//     -> password storage (storage/ui)            needs settings, messages
//     -> key dialogs (keys/ui)                     need the storage: "From
//                                                  storage", key passwords
//     -> setup (startinstall / install)            needs messages, the first
//                                                  login and key pair
//     -> tray App + commands (shell)               need all of the above
#include "shell/program.h"

#include <chrono>

#include "keys/ui/key_file_command.h"
#include "keys/ui/key_pair_wizard.h"
#include "keys/ui/keys_ui.h"
#include "platform/files.h"
#include "platform/settings.h"
#include "platform/system.h"
#include "resources/shell_ids.h"
#include "setup/install_step.h"
#include "setup/wizard.h"
#include "shell/app.h"
#include "shell/crypt_commands.h"
#include "shell/model/start_args.h"
#include "shell/rsa_text_commands.h"
#include "shell/text_capture.h"
#include "storage/ui/password_storage.h"
#include "win32ui/message_box.h"

namespace qvx::shell {

namespace {

// The installed copy's first start: the password storage login, then the key
// pair wizard, each with "&Skip".
class FirstRun final : public setup::FirstRunSteps {
 public:
  FirstRun(storage::ui::PasswordStorageUi& storage, keys::ui::KeysUi& keys)
      : storage_(storage), keys_(keys) {}
  void FirstStorageLogin() override { storage_.LoginForInstallation(); }
  void FirstKeyPair() override { keys::ui::RunInstallerKeyPairWizard(keys_); }

 private:
  storage::ui::PasswordStorageUi& storage_;
  keys::ui::KeysUi& keys_;
};

// "LoginAtStartup": the storage login over the tray's main window.
class StorageLoginAtStart final : public StartupLogin {
 public:
  explicit StorageLoginAtStart(storage::ui::PasswordStorageUi& storage) : storage_(storage) {}
  void LoginAtStartup(HWND main_window) override { storage_.EnsureLogin(main_window); }

 private:
  storage::ui::PasswordStorageUi& storage_;
};

// The "&Password storage..." command and its hot key: the storage window for
// browsing, with no owner.
void BindStorageCommands(CommandRouter& router, storage::ui::PasswordStorageUi& storage) {
  router.BindCommand(IDM_PASSWORD_STORAGE, [&storage] { storage.Browse(nullptr); });
  router.BindHotKey(HotKeyId::PasswordStorage, [&storage] { storage.Browse(nullptr); });
}

bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int RunProgram(HINSTANCE instance, const std::vector<std::string>& args) {
  const StartRequest request = ParseStartArguments(args, PathExists);

  win32ui::MessageBoxes messages(instance);
  const std::unique_ptr<SettingsStore> settings = OpenUserSettings();
  if (!settings) {
    messages.Show(Msg::RegistryError, BoxKind::Error);
    return 0;
  }
  const StoredCapturePolicy privacy;
  const std::string folder = ProgramFolder();

  storage::ui::PasswordStorageUi storage(instance, *settings, messages, NativeFileSystem(), folder,
                                         privacy);
  keys::ui::KeysUi keys(instance, messages, folder, win32ui::PromptServices{storage, privacy},
                     storage);

  if (request.setup_wizard) return setup::RunSetupWizard(instance, messages);
  if (request.install_step) {
    FirstRun first_run(storage, keys);
    if (const auto exit_code = setup::FinishInstallation(messages, first_run)) return *exit_code;
  }
  if (request.key_file) return keys::ui::ShowKeyFileFromCommandLine(keys, *request.key_file);

  StorageLoginAtStart login_at_start(storage);
  App app(instance, *settings, messages, login_at_start);
  BindCryptCommands(app.router(), app, keys);
  BindRsaCommands(app.router(), app, keys);
  BindStorageCommands(app.router(), storage);
  const int exit_code = app.Run(request.autostart);
  // A text operation still under way (a paste whose target is being watched,
  // the user's clipboard being put back) finishes before the process ends,
  // so the clipboard is neither left open nor left half restored.
  (void)app.text_operations()->TryBegin(std::chrono::seconds(5));
  return exit_code;
}

}  // namespace qvx::shell
