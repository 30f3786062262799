// The RSA key part of the tray program: the key pair wizard (command 40049),
// the key manager (40056), the sign, verify, insert-key and get-key commands
// and their hot keys, the recipient choice of RSA encryption, and the key
// file given on the command line.
#include "keys/ui/key_file_command.h"
#include "keys/ui/key_manager_dialog.h"
#include "keys/ui/key_pair_wizard.h"
#include "keys/ui/key_selection_dialog.h"
#include "keys/ui/keys_ui.h"
#include "keys/ui/rsa_text_commands.h"
#include "resources/shell_ids.h"
#include "shell/app.h"
#include "shell/feature.h"

namespace qvx::keyui {

namespace {

// Hot-key ids of the RSA-keys mode rows; they act on the window's text.
constexpr std::uint32_t kSignHotKey = 5;
constexpr std::uint32_t kVerifyHotKey = 6;
constexpr std::uint32_t kInsertHotKey = 7;
constexpr std::uint32_t kGetHotKey = 8;

// A top-level dialog of this process with that title, if one is open.
HWND OwnDialog(const char* title) {
  HWND found = FindWindowA("#32770", title);
  DWORD process = 0;
  if (found != nullptr) GetWindowThreadProcessId(found, &process);
  return process == GetCurrentProcessId() ? found : nullptr;
}

void Install(shell::App& app) {
  KeysUi& ui = KeysUi::For(app);
  shell::CommandRouter& router = app.router();

  router.BindCommand(IDM_KEY_PAIR_WIZARD, [&ui] { RunKeyPairWizard(ui, nullptr); });
  router.BindCommand(IDM_KEY_MANAGER, [&ui] {
    // An open key manager comes forward instead of a second one.
    if (HWND open = OwnDialog("Key Manager")) {
      SetForegroundWindow(open);
      return;
    }
    ShowKeyManager(ui);
  });

  // Menu commands run on a thread of their own already; hot keys arrive on
  // the main thread and start one.
  const struct {
    std::uint16_t command;
    RsaTextCommand what;
    bool fromWindow;
  } commands[] = {
      {IDM_SIGN_WINDOW, RsaTextCommand::Sign, true},
      {IDM_SIGN_CLIPBOARD, RsaTextCommand::Sign, false},
      {IDM_VERIFY_WINDOW, RsaTextCommand::Verify, true},
      {IDM_VERIFY_CLIPBOARD, RsaTextCommand::Verify, false},
      {IDM_INSERT_KEY_WINDOW, RsaTextCommand::InsertMyKey, true},
      {IDM_INSERT_KEY_CLIPBOARD, RsaTextCommand::InsertMyKey, false},
      {IDM_GET_KEY_WINDOW, RsaTextCommand::GetOtherKey, true},
      {IDM_GET_KEY_CLIPBOARD, RsaTextCommand::GetOtherKey, false},
  };
  for (const auto& c : commands) {
    router.BindCommand(c.command, [&app, &ui, what = c.what, fromWindow = c.fromWindow] {
      StartRsaTextCommand(app, ui, what, fromWindow, true);
    });
  }
  const struct {
    std::uint32_t hotKey;
    RsaTextCommand what;
  } hotKeys[] = {{kSignHotKey, RsaTextCommand::Sign},
                 {kVerifyHotKey, RsaTextCommand::Verify},
                 {kInsertHotKey, RsaTextCommand::InsertMyKey},
                 {kGetHotKey, RsaTextCommand::GetOtherKey}};
  for (const auto& h : hotKeys) {
    router.BindHotKey(h.hotKey, [&app, &ui, what = h.what] {
      StartRsaTextCommand(app, ui, what, true, false);
    });
  }

  // RSA encryption asks for the other person's key.
  app.textHooks().chooseRecipient = [&ui] { return SelectKey(ui, KeyKind::Other); };

  app.startHooks().keyFile = [&ui](shell::App&, const std::string& path) {
    return ShowKeyFileFromCommandLine(ui, path);
  };
}

const shell::FeatureRegistration registration("keys", &Install);

}  // namespace

}  // namespace qvx::keyui
