// The RSA key part of the tray program: the key pair wizard (command 40049),
// the key manager (40056) and the key file given on the command line.
#include "keys/ui/key_file_command.h"
#include "keys/ui/key_manager_dialog.h"
#include "keys/ui/key_pair_wizard.h"
#include "keys/ui/keys_ui.h"
#include "resources/shell_ids.h"
#include "shell/app.h"
#include "shell/feature.h"

namespace qvx::keyui {

namespace {

// A top-level dialog of this process with that title, if one is open.
HWND OwnDialog(const char* title) {
  HWND found = FindWindowA("#32770", title);
  DWORD process = 0;
  if (found != nullptr) GetWindowThreadProcessId(found, &process);
  return process == GetCurrentProcessId() ? found : nullptr;
}

void Install(shell::App& app) {
  KeysUi& ui = KeysUi::For(app);
  app.router().BindCommand(IDM_KEY_PAIR_WIZARD, [&ui] { RunKeyPairWizard(ui, nullptr); });
  app.router().BindCommand(IDM_KEY_MANAGER, [&ui] {
    // An open key manager comes forward instead of a second one.
    if (HWND open = OwnDialog("Key Manager")) {
      SetForegroundWindow(open);
      return;
    }
    ShowKeyManager(ui);
  });
  app.startHooks().keyFile = [&ui](shell::App&, const std::string& path) {
    return ShowKeyFileFromCommandLine(ui, path);
  };
}

const shell::FeatureRegistration registration("keys", &Install);

}  // namespace

}  // namespace qvx::keyui
